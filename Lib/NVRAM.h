// Settings store: key/value text pairs in a global (flash) and a local
// (card) file, held in one table.
#ifndef LIB_NVRAM_H
#define LIB_NVRAM_H

#define NVRAM_MAX_ENTRIES 64
#define NVRAM_TEXT_SIZE 128      // key and value, NUL included
#define NVRAM_LINE_SIZE 1024     // lines are read up to 1023 characters

#define NVRAM_GLOBAL_FILE "/mnt/mtd5/NVRAM.txt"
#define NVRAM_LOCAL_FILE "/sdcard/.NVRAM.txt"
#define NVRAM_GLOBAL_DEFAULT "./NVRAM_G.txt"
#define NVRAM_LOCAL_DEFAULT "./NVRAM_L.txt"
#define NVRAM_GLOBAL_TEMP "/tmp/NVRAM.txt"
#define NVRAM_LOCAL_TEMP "/tmp/.NVRAM.txt"
// A store that is not text is kept beside itself under this suffix.
#define NVRAM_DAMAGED_SUFFIX ".damaged"

void NVRAM_Load(void);
int NVRAM_Reset(void);
int NVRAM_GlobalSave(void);
int NVRAM_LocalSave(void);
float NVRAM_Get(const char* szKey, char* szOut);
int NVRAM_Set(const char* szKey, const char* szValue, int bSave);

// Inspection, for the information screens and tests.
int NVRAM_GetCount(void);
int NVRAM_IsInitialized(void);

#endif
