// The firmware update screen: installs new firmware from the card's
// "/UTILITY" folder into the flash, reached only at power-on.
#ifndef MIDDLEWARE_GUI_SCREENFWUPDATE_H
#define MIDDLEWARE_GUI_SCREENFWUPDATE_H

#include "Middleware/GUI/ScreenBase.h"

#define FWUPDATE_MAX_FILES 100
#define FWUPDATE_ROWS 6
#define FWUPDATE_STEPS 15

enum
{
    FWUPDATE_LEVEL_LIST = 0,
    FWUPDATE_LEVEL_CONFIRM = 1,
    FWUPDATE_LEVEL_UPDATING = 2,
    FWUPDATE_LEVEL_DONE = 3,
};

struct FWUPDATE_FILE
{
    int bFolder;
    char szName[256];
};

class screen_fwupdate
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnButtonPress(unsigned long dwMask);
    static int OnDraw500ms(void);

    static void EnumFiles(const char* szVDir);
    static int isExistFiles(const char* szName, int bQuiet);
    static int GetUpdatefile(const char* szPath, const char* szDir);
    // The version x 100 that a package's 32-byte header names, or -1 when it
    // names another product.
    static int HeaderVersion(const unsigned char* pHeader);
    // The version x 100 that a candidate folder's name gives: its third field
    // (the first ends at the first "_" or ".", the others at "."); 0 when the
    // name has none or the field is no number a package could carry.
    static int FolderVersion(const char* szName);

    static int m_nLevel;
    static char m_CurrentDir[256];
    static FWUPDATE_FILE m_aFiles[FWUPDATE_MAX_FILES];
    static int m_nFiles;
    static int m_nScrollRange;
    static int m_nCursor;   // highlighted row 0-5, -1 for an empty list
    static int m_nScroll;   // first entry shown
    static char m_OldVer[16];
    static char m_NewVer[16];
    static int m_UpdateCount;   // next flashing step, 0-15
    static int m_RestartCount;  // draws since completion

private:
    static void CheckCandidate(void);
    static void RunStep(void);
    static void Fail(const char* szMessage);
    static void DrawList(void);
    static void DrawCandidate(void);
};

#endif
