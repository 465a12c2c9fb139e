#include "Lib/NVRAM.h"

#include "Lib/Common.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct NVRAM_ENTRY
{
    char szKey[NVRAM_TEXT_SIZE];    // empty for a comment entry
    char szValue[NVRAM_TEXT_SIZE];  // a comment entry keeps its whole line here
};

static NVRAM_ENTRY s_aEntry[NVRAM_MAX_ENTRIES];
static int s_nEntries = 0;
static int s_bInitialized = 0;

static const char s_szLocalPrefix[] = "/LOCAL/";

static int IsLocalText(const char* sz)
{
    return strncmp(sz, s_szLocalPrefix, sizeof(s_szLocalPrefix) - 1) == 0;
}

static int IsSettingLine(const char* szLine)
{
    unsigned char c = static_cast<unsigned char>(szLine[0]);
    return c > ' ' && c < 0x7F && c != '#' && strchr(szLine, '=') != nullptr;
}

// szWhat names the line or key for the message when the table is full.
static NVRAM_ENTRY* AppendEntry(const char* szWhat)
{
    if (s_nEntries >= NVRAM_MAX_ENTRIES) {
        fprintf(stderr, "NVRAM: %s: the table holds %d entries, not stored\n", szWhat, NVRAM_MAX_ENTRIES);
        return nullptr;
    }
    NVRAM_ENTRY* pEntry = &s_aEntry[s_nEntries++];
    pEntry->szKey[0] = 0;
    pEntry->szValue[0] = 0;
    return pEntry;
}

static NVRAM_ENTRY* FindEntry(const char* szKey)
{
    if (!szKey || !szKey[0])
        return nullptr;
    for (int i = 0; i < s_nEntries; ++i)
        if (strcmp(s_aEntry[i].szKey, szKey) == 0)
            return &s_aEntry[i];
    return nullptr;
}

// Copies a comment line into an entry, shortened where needed at the start
// of a UTF-8 character: half a character would make the saved store damaged.
static void CopyShortened(char* szOut, const char* szLine)
{
    size_t nLength = strlen(szLine);
    if (nLength >= NVRAM_TEXT_SIZE) {
        nLength = NVRAM_TEXT_SIZE - 1;
        while (nLength > 0 && (static_cast<unsigned char>(szLine[nLength]) & 0xC0) == 0x80)
            --nLength;
    }
    memcpy(szOut, szLine, nLength);
    szOut[nLength] = 0;
}

static void StoreLine(const char* szFile, int nLine, char* szLine)
{
    char szWhere[300];
    snprintf(szWhere, sizeof(szWhere), "%s line %d", szFile, nLine);
    if (!IsSettingLine(szLine)) {
        if (strlen(szLine) >= NVRAM_TEXT_SIZE)
            fprintf(stderr, "NVRAM: %s line %d: comment longer than %d characters, shortened\n", szFile, nLine,
                    NVRAM_TEXT_SIZE - 1);
        NVRAM_ENTRY* pEntry = AppendEntry(szWhere);
        if (pEntry)
            CopyShortened(pEntry->szValue, szLine);
        return;
    }

    char* pEq = strchr(szLine, '=');
    *pEq = 0;
    const char* szKey = szLine;
    const char* szValue = pEq + 1;
    if (strlen(szKey) >= NVRAM_TEXT_SIZE || strlen(szValue) >= NVRAM_TEXT_SIZE) {
        // A shortened key or value would be another setting: leave it out.
        fprintf(stderr, "NVRAM: %s line %d: key or value longer than %d characters, setting ignored\n", szFile,
                nLine, NVRAM_TEXT_SIZE - 1);
        return;
    }
    NVRAM_ENTRY* pEntry = AppendEntry(szWhere);
    if (!pEntry)
        return;
    strcpy(pEntry->szKey, szKey);
    strcpy(pEntry->szValue, szValue);

    // A number past an int's range is no value of any setting: handed over
    // as text, it matches no choice and the item keeps its value.
    if (IsDigit(szValue) && fabs(atof(szValue)) < 2147483648.0)
        SetParameter(szKey, static_cast<float>(atof(szValue)));
    else
        SetParameter(szKey, szValue);
}

static int ReadFile(const char* szFile)
{
    FILE* fp = SYS_fopen(szFile, "r");
    if (!fp)
        return 0;

    char szLine[NVRAM_LINE_SIZE];
    int nLine = 0;
    while (fgets(szLine, sizeof(szLine), fp)) {
        ++nLine;
        size_t nLen = strlen(szLine);
        if (nLen == sizeof(szLine) - 1 && szLine[nLen - 1] != '\n') {
            int c = fgetc(fp);
            if (c != EOF && c != '\n') {
                fprintf(stderr, "NVRAM: %s line %d: longer than %d characters, the rest of it ignored\n", szFile,
                        nLine, NVRAM_LINE_SIZE - 1);
                while ((c = fgetc(fp)) != EOF && c != '\n') {
                }
            }
        }
        szLine[strcspn(szLine, "\r\n")] = 0;
        StoreLine(szFile, nLine, szLine);
    }
    fclose(fp);
    return 1;
}

// A store holds text: ASCII (control characters make comment lines) and
// UTF-8. A NUL byte or bytes that are no UTF-8 (erased flash reads 0xFF, a
// file half overwritten) mean that the file is damaged.
static int IsDamaged(const char* szFile)
{
    FILE* fp = SYS_fopen(szFile, "rb");
    if (!fp)
        return 0;
    int nFollowing = 0;  // continuation bytes the current UTF-8 sequence still needs
    int c;
    while ((c = getc(fp)) != EOF) {
        if (nFollowing > 0) {
            if ((c & 0xC0) != 0x80)
                break;
            --nFollowing;
        } else if (c != 0 && c < 0x80) {
        } else if (c >= 0xC2 && c <= 0xF4) {
            nFollowing = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
        } else {
            break;
        }
    }
    int bDamaged = c != EOF || nFollowing > 0 || ferror(fp);
    fclose(fp);
    return bDamaged;
}

// Settings the default file names for this store and the table lacks come
// back from it: a card whose store lost lines would otherwise keep lacking them.
static void HealFromDefaults(const char* szFile, const char* szDefault, int bLocal)
{
    FILE* fp = SYS_fopen(szDefault, "r");
    if (!fp)
        return;
    char szLine[NVRAM_LINE_SIZE];
    char szNames[400] = "";
    size_t nNames = 0;
    int nHealed = 0;
    while (fgets(szLine, sizeof(szLine), fp)) {
        szLine[strcspn(szLine, "\r\n")] = 0;
        if (!IsSettingLine(szLine))
            continue;
        char* pEq = strchr(szLine, '=');
        *pEq = 0;
        if (IsLocalText(szLine) != bLocal || strlen(szLine) >= NVRAM_TEXT_SIZE ||
            strlen(pEq + 1) >= NVRAM_TEXT_SIZE || FindEntry(szLine))
            continue;
        if (s_nEntries >= NVRAM_MAX_ENTRIES) {
            fprintf(stderr, "NVRAM: %s: the table is full, %s and later defaults not restored\n", szFile, szLine);
            break;
        }
        *pEq = '=';
        StoreLine(szDefault, 0, szLine);
        *pEq = 0;
        ++nHealed;
        if (nNames < sizeof(szNames))
            nNames += static_cast<size_t>(snprintf(szNames + nNames, sizeof(szNames) - nNames, "%s%s",
                                                   nHealed > 1 ? ", " : "", szLine));
    }
    fclose(fp);
    if (nHealed)
        fprintf(stderr, "NVRAM: %s lacked %d setting%s, restored from %s: %s%s\n", szFile, nHealed,
                nHealed > 1 ? "s" : "", szDefault, szNames, nNames >= sizeof(szNames) ? "..." : "");
}

static void LoadStore(const char* szFile, const char* szDefault, int bLocal)
{
    if (IsDamaged(szFile)) {
        // Kept for inspection; the defaults take its place.
        char szKept[128];
        snprintf(szKept, sizeof(szKept), "%s" NVRAM_DAMAGED_SUFFIX, szFile);
        int bKept = SYS_rename(szFile, szKept) == 0;
        fprintf(stderr, "NVRAM: %s is damaged (not text): %s, the defaults of %s take its place\n", szFile,
                bKept ? szKept : "cannot keep it", szDefault);
        if (!bKept)
            SYS_unlink(szFile);
    }
    if (!ReadFile(szFile)) {
        if (!CopyFile(szDefault, szFile)) {
            fprintf(stderr, "NVRAM: cannot create %s from %s\n", szFile, szDefault);
            return;
        }
        if (!ReadFile(szFile)) {
            fprintf(stderr, "NVRAM: cannot read %s\n", szFile);
            return;
        }
    }
    HealFromDefaults(szFile, szDefault, bLocal);
}

void NVRAM_Load(void)
{
    s_nEntries = 0;
    s_bInitialized = 0;
    LoadStore(NVRAM_GLOBAL_FILE, NVRAM_GLOBAL_DEFAULT, 0);
    LoadStore(NVRAM_LOCAL_FILE, NVRAM_LOCAL_DEFAULT, 1);
    s_bInitialized = 1;
}

int NVRAM_Reset(void)
{
    if (!CopyFile(NVRAM_GLOBAL_DEFAULT, NVRAM_GLOBAL_FILE))
        return 0;
    if (!CopyFile(NVRAM_LOCAL_DEFAULT, NVRAM_LOCAL_FILE))
        return 0;
    SYS_sync();
    return 1;
}

static int Save(int bLocal, const char* szTemp, const char* szFile)
{
    FILE* fp = SYS_fopen(szTemp, "w");
    if (!fp)
        return 0;
    for (int i = 0; i < s_nEntries; ++i) {
        const NVRAM_ENTRY& entry = s_aEntry[i];
        int bComment = entry.szKey[0] == 0;
        int bEntryLocal = IsLocalText(bComment ? entry.szValue : entry.szKey);
        if (bEntryLocal != bLocal)
            continue;
        if (bComment)
            fprintf(fp, "%s\n", entry.szValue);
        else
            fprintf(fp, "%s=%s\n", entry.szKey, entry.szValue);
    }
    fclose(fp);

    char szCmd[256];
    snprintf(szCmd, sizeof(szCmd), "mv -f %s %s", szTemp, szFile);
    System(szCmd);
    SYS_sync();
    return 1;
}

int NVRAM_GlobalSave(void)
{
    return Save(0, NVRAM_GLOBAL_TEMP, NVRAM_GLOBAL_FILE);
}

int NVRAM_LocalSave(void)
{
    return Save(1, NVRAM_LOCAL_TEMP, NVRAM_LOCAL_FILE);
}

float NVRAM_Get(const char* szKey, char* szOut)
{
    const NVRAM_ENTRY* pEntry = FindEntry(szKey);
    if (!pEntry) {
        if (szOut)
            szOut[0] = 0;
        return 0;
    }
    if (szOut)
        strcpy(szOut, pEntry->szValue);
    return static_cast<float>(atof(pEntry->szValue));
}

int NVRAM_Set(const char* szKey, const char* szValue, int bSave)
{
    if (!s_bInitialized || !szKey || !szValue)
        return 0;
    if (strlen(szKey) >= NVRAM_TEXT_SIZE || strlen(szValue) >= NVRAM_TEXT_SIZE) {
        fprintf(stderr, "NVRAM: %s: key or value longer than %d characters, not stored\n", szKey,
                NVRAM_TEXT_SIZE - 1);
        return 0;
    }
    NVRAM_ENTRY* pEntry = FindEntry(szKey);
    if (pEntry) {
        if (strcmp(pEntry->szValue, szValue) == 0)
            return 0;
        strcpy(pEntry->szValue, szValue);
    } else {
        pEntry = AppendEntry(szKey);
        if (!pEntry)
            return 0;
        strcpy(pEntry->szKey, szKey);
        strcpy(pEntry->szValue, szValue);
    }
    if (bSave && IsLocalText(szKey))
        NVRAM_LocalSave();
    return 0;
}

int NVRAM_GetCount(void)
{
    return s_nEntries;
}

int NVRAM_IsInitialized(void)
{
    return s_bInitialized;
}
