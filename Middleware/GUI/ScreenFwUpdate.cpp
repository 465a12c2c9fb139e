#include "Middleware/GUI/ScreenFwUpdate.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/NVRAM.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Lib/Version.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/StateControl.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int screen_fwupdate::m_nLevel = FWUPDATE_LEVEL_LIST;
char screen_fwupdate::m_CurrentDir[256] = "/UTILITY";
FWUPDATE_FILE screen_fwupdate::m_aFiles[FWUPDATE_MAX_FILES];
int screen_fwupdate::m_nFiles = 0;
int screen_fwupdate::m_nScrollRange = 0;
int screen_fwupdate::m_nCursor = -1;
int screen_fwupdate::m_nScroll = 0;
char screen_fwupdate::m_OldVer[16] = "";
char screen_fwupdate::m_NewVer[16] = "";
int screen_fwupdate::m_UpdateCount = 0;
int screen_fwupdate::m_RestartCount = 0;

#define FWUPDATE_PACKED_DIR "/tmp"
#define FWUPDATE_HEADER_SIZE 32
#define FWUPDATE_PRODUCT "KESTRA7 "
#define FWUPDATE_LOW_BATTERY 4
#define FWUPDATE_DONE_DRAWS 11
#define FWUPDATE_ROW_HEIGHT 27
#define FWUPDATE_COMMAND_SIZE 2048

// "%s/NAME" stands for the image NAME in the image folder.
static const char* const s_DoCommand[FWUPDATE_STEPS] = {
    "flash_eraseall /dev/mtd2",
    "nandwrite -n -p /dev/mtd2 %s/uImage",
    "nanddump -n -o -b -f /sdcard/UTILITY/uImage_rd.img /dev/mtd2",
    "cmp /sdcard/UTILITY/uImage_rd.img %s/uImage",
    "rm /sdcard/UTILITY/uImage_rd.img",
    "flash_eraseall /dev/mtd4",
    "dd if=%s/mtd4_app.img of=/dev/mtd4 bs=131072",
    "nanddump -n -o -b -f /sdcard/UTILITY/mtd4_app_rd.img /dev/mtd4",
    "cmp /sdcard/UTILITY/mtd4_app_rd.img %s/mtd4_app.img",
    "rm /sdcard/UTILITY/mtd4_app_rd.img",
    "flash_eraseall /dev/mtd5",
    "flash_eraseall /dev/mtd1",
    "nandwrite -n -p /dev/mtd1 %s/mtd1_param.img",
    "flash_eraseall /dev/mtd3",
    "dd if=%s/mtd3_fs.img of=/dev/mtd3 bs=131072",
};

static const char* const s_DoMessage[FWUPDATE_STEPS + 1] = {
    "Erasing...", "Writing",    "Reading",    "Comperer", "Erasing...", "Erasing...", "Writing", "Reading",
    "Comperer",   "Erasing...", "Erasing...", "Erasing...", "Writing",  "Erasing...", "Writing", "Last Process...",
};

// The read-back copies the verification leaves on the card.
static const char* const s_aszReadBack[] = {"/sdcard/UTILITY/uImage_rd.img", "/sdcard/UTILITY/mtd4_app_rd.img"};

#define FWUPDATE_FIRST_ROOTFS_STEP 13

static char s_szImageDir[512] = FWUPDATE_PACKED_DIR;  // the folder that holds the images
static int s_bCardSeen = 0;

static void DrawText(int x, int y, const char* sz, unsigned short wColor)
{
    GRA_DrawStringS(x, y, sz, wColor, g_pFont_a20, GRA_WIDTH - x - 4);
}

// Builds a step's command: the image path goes in quoted, as the candidate
// folder's name comes from the card. A verification compares the image's
// own bytes: the read-back copy holds the whole partition.
static int BuildCommand(char* szOut, int nSize, const char* szTemplate)
{
    const char* pImage = strstr(szTemplate, "%s/");
    if (!pImage)
        return snprintf(szOut, static_cast<size_t>(nSize), "%s", szTemplate) < nSize;
    const char* pName = pImage + 3;
    size_t nName = strcspn(pName, " ");
    char szPath[768];
    snprintf(szPath, sizeof(szPath), "%s/%.*s", s_szImageDir, static_cast<int>(nName), pName);
    char szQuoted[FWUPDATE_COMMAND_SIZE];
    if (!ShellQuote(szQuoted, sizeof(szQuoted), szPath))
        return 0;
    char szCompare[64] = "";
    const char* szHead = szTemplate;
    if (strncmp(szTemplate, "cmp ", 4) == 0) {
        snprintf(szCompare, sizeof(szCompare), "cmp -n %lld ", GetFileSize(szPath));
        szHead += 4;
    }
    int n = snprintf(szOut, static_cast<size_t>(nSize), "%s%.*s%s%s", szCompare, static_cast<int>(pImage - szHead),
                     szHead, szQuoted, pName + nName);
    return n >= 0 && n < nSize;
}

static int CompareFiles(const void* a, const void* b)
{
    const FWUPDATE_FILE* pA = static_cast<const FWUPDATE_FILE*>(a);
    const FWUPDATE_FILE* pB = static_cast<const FWUPDATE_FILE*>(b);
    if (pA->bFolder != pB->bFolder)
        return pA->bFolder ? -1 : 1;
    return strcmp(pA->szName, pB->szName);
}

int screen_fwupdate::OnInitialize(void) { return 1; }
const char* screen_fwupdate::GetName(void) { return "fwupdate"; }

void screen_fwupdate::EnumFiles(const char* szVDir)
{
    char szDir[512];
    ToRealPath(szDir, szVDir);
    m_nFiles = 0;
    DIR* pDir = SYS_opendir(szDir);
    if (pDir) {
        while (struct dirent* pEnt = readdir(pDir)) {
            if (strcmp(pEnt->d_name, ".") == 0 || strcmp(pEnt->d_name, "..") == 0)
                continue;
            printf("ent->d_name=%s\n", pEnt->d_name);
            if (m_nFiles >= FWUPDATE_MAX_FILES)
                continue;
            char szPath[768];
            snprintf(szPath, sizeof(szPath), "%s/%s", szDir, pEnt->d_name);
            struct stat st;
            int bFolder = SYS_stat(szPath, &st) == 0 && S_ISDIR(st.st_mode);
            if (!bFolder && !strstr(pEnt->d_name, "KS"))
                continue;
            m_aFiles[m_nFiles].bFolder = bFolder;
            snprintf(m_aFiles[m_nFiles].szName, sizeof(m_aFiles[m_nFiles].szName), "%s", pEnt->d_name);
            ++m_nFiles;
        }
        closedir(pDir);
    }
    qsort(m_aFiles, static_cast<size_t>(m_nFiles), sizeof(m_aFiles[0]), CompareFiles);
    m_nScrollRange = m_nFiles;
    m_nScroll = 0;
    m_nCursor = m_nFiles > 0 ? 0 : -1;
}

int screen_fwupdate::OnSetActive(CScreenBase* pPrevious)
{
    snprintf(m_CurrentDir, sizeof(m_CurrentDir), "/UTILITY");
    m_nFiles = 0;
    m_nLevel = FWUPDATE_LEVEL_LIST;
    EnumFiles(m_CurrentDir);
    s_bCardSeen = g_bSdCard;
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
    return 1;
}

int screen_fwupdate::isExistFiles(const char* szName, int bQuiet)
{
    char szPath[768];
    snprintf(szPath, sizeof(szPath), "%s/%s", s_szImageDir, szName);
    struct stat st;
    if (SYS_stat(szPath, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        return 1;
    // An empty image is as unusable as a missing one, and the user is told so.
    if (!bQuiet)
        g_ScreenManager.Error("Update File");
    return 0;
}

int screen_fwupdate::GetUpdatefile(const char* szPath, const char* szDir)
{
    int nProgress = 0;
    char szQuoted[FWUPDATE_COMMAND_SIZE];
    char szCmd[FWUPDATE_COMMAND_SIZE + 128];
    if (!ShellQuote(szQuoted, sizeof(szQuoted), szPath)) {
        g_ScreenManager.Error("Update Error");
        return 0;
    }
    snprintf(szCmd, sizeof(szCmd), "time dd if=%s bs=32 skip=1 of=/tmp/tmp.tar.gz", szQuoted);
    int nResult = vsystem3(nProgress, szCmd);
    if (nResult != 0) {
        printf("  (%s)\n    -> ERROR(0x%x)!!\n", szCmd, nResult);
        g_ScreenManager.Error("Update Error");
        return 0;
    }
    ShellQuote(szQuoted, sizeof(szQuoted), szDir);
    snprintf(szCmd, sizeof(szCmd), "time tar zxvf /tmp/tmp.tar.gz -C %s", szQuoted);
    nResult = vsystem3(nProgress, szCmd);
    if (nResult != 0) {
        printf("  (%s)\n    -> ERROR(0x%x)!!\n", szCmd, nResult);
        g_ScreenManager.Error("Checksum");
        return 0;
    }
    return 1;
}

int screen_fwupdate::FolderVersion(const char* szName)
{
    const char* p = szName + strcspn(szName, "_.");
    if (!*p)
        return 0;
    ++p;
    p = strchr(p, '.');
    if (!p)
        return 0;
    // Leading digits, as many as a package header's 16 bits hold: more would
    // overflow and could pass for a small version.
    long nVersion = 0;
    for (++p; *p >= '0' && *p <= '9'; ++p) {
        nVersion = nVersion * 10 + (*p - '0');
        if (nVersion > 0xFFFF)
            return 0;
    }
    return static_cast<int>(nVersion);
}

int screen_fwupdate::HeaderVersion(const unsigned char* pHeader)
{
    if (memcmp(pHeader, FWUPDATE_PRODUCT, 8) != 0)
        return -1;
    return pHeader[8] | (pHeader[9] << 8);
}

static void VersionText(char* szOut, size_t nSize, int nVersion)
{
    snprintf(szOut, nSize, "%d.%02d", nVersion / 100, nVersion % 100);
}

void screen_fwupdate::CheckCandidate(void)
{
    const FWUPDATE_FILE& file = m_aFiles[m_nScroll + m_nCursor];
    int nOld = GetVersionNumber(g_szVersionSystem);
    VersionText(m_OldVer, sizeof(m_OldVer), nOld);
    printf("g_szVersionSystem=%s\n", g_szVersionSystem);
    printf("Old=%s\n", m_OldVer);

    char szPath[512];
    ToRealPath(szPath, m_CurrentDir, file.szName);
    int nNew;
    if (file.bFolder) {
        nNew = FolderVersion(file.szName);
        VersionText(m_NewVer, sizeof(m_NewVer), nNew);
    } else {
        FILE* fp = SYS_fopen(szPath, "rb");
        if (!fp) {
            printf("Headerfile open Error(%s)\n", szPath);
            g_ScreenManager.Error("Update Error");
            return;
        }
        unsigned char aHeader[FWUPDATE_HEADER_SIZE];
        size_t nRead = fread(aHeader, 1, sizeof(aHeader), fp);
        fclose(fp);
        if (nRead != sizeof(aHeader)) {
            printf("Headerfile read Error\n");
            g_ScreenManager.Error("Update Error");
            return;
        }
        nNew = HeaderVersion(aHeader);
        if (nNew < 0) {
            printf("Headerfile Diff ProductName Error(%.8s)\n", reinterpret_cast<const char*>(aHeader));
            g_ScreenManager.Error("Product");
            return;
        }
        VersionText(m_NewVer, sizeof(m_NewVer), nNew);
        printf("NewVer=%s\n", m_NewVer);
    }

    if (nOld > nNew) {
        g_ScreenManager.Error("Old Version");
        return;
    }

    if (file.bFolder) {
        snprintf(s_szImageDir, sizeof(s_szImageDir), "%s", szPath);
    } else {
        snprintf(s_szImageDir, sizeof(s_szImageDir), "%s", FWUPDATE_PACKED_DIR);
        struct stat st;
        if (SYS_stat(FWUPDATE_PACKED_DIR, &st) == 0) {
            const char* szCmd = "rm -f " FWUPDATE_PACKED_DIR "/*";
            int nResult = vsystem(szCmd);
            if (nResult != 0) {
                printf("  (%s)   -> ERROR(0x%x)!!\n", szCmd, nResult);
                g_ScreenManager.Error("Update Error");
                return;
            }
        } else {
            SYS_mkdir(FWUPDATE_PACKED_DIR, 0777);
        }
        vsystem("umount " FWUPDATE_PACKED_DIR);
        vsystem("mount -t tmpfs -o size=24M tmpfs " FWUPDATE_PACKED_DIR);
        if (!GetUpdatefile(szPath, FWUPDATE_PACKED_DIR))
            return;
        SYS_sync();
    }

    if (!isExistFiles("mtd4_app.img", 0) || !isExistFiles("uImage", 0) || !isExistFiles("mtd1_param.img", 0))
        return;
    m_UpdateCount = 0;
    m_nLevel = FWUPDATE_LEVEL_CONFIRM;
}

int screen_fwupdate::OnButtonPress(unsigned long dwMask)
{
    switch (m_nLevel) {
    case FWUPDATE_LEVEL_LIST:
        if (dwMask & KEY_UP) {
            if (m_nCursor > 0)
                --m_nCursor;
            else if (m_nScroll > 0)
                --m_nScroll;
        } else if (dwMask & KEY_DOWN) {
            if (m_nCursor >= 0 && m_nScroll + m_nCursor + 1 < m_nFiles) {
                if (m_nCursor < FWUPDATE_ROWS - 1)
                    ++m_nCursor;
                else
                    ++m_nScroll;
            }
        } else if (dwMask & KEY_F2) {
            if (m_nCursor >= 0)
                CheckCandidate();
        } else {
            return 0;
        }
        return 1;
    case FWUPDATE_LEVEL_CONFIRM:
        if (dwMask & KEY_ENTER)
            m_nLevel = FWUPDATE_LEVEL_UPDATING;
        else if (dwMask & KEY_F3)
            m_nLevel = FWUPDATE_LEVEL_LIST;
        else
            return 0;
        return 1;
    default:
        return 0;  // a running update cannot be cancelled
    }
}

// A step whose command failed: nothing more is written, and the running
// firmware (still the old one) goes back to the list.
void screen_fwupdate::Fail(const char* szMessage)
{
    for (const char* szReadBack : s_aszReadBack)
        SYS_unlink(szReadBack);
    m_nLevel = FWUPDATE_LEVEL_LIST;
    g_ScreenManager.Error("%s", szMessage);
}

void screen_fwupdate::RunStep(void)
{
    int nStep = m_UpdateCount;
    const char* szTemplate = s_DoCommand[nStep];
    int bSkip = szTemplate[0] == '#' || (nStep >= FWUPDATE_FIRST_ROOTFS_STEP && !isExistFiles("mtd3_fs.img", 1));
    if (bSkip) {
        printf("skip %d line\n", nStep);
        SleepMS(500);
    } else {
        char szCmd[FWUPDATE_COMMAND_SIZE + 128];
        if (!BuildCommand(szCmd, sizeof(szCmd), szTemplate)) {
            Fail("Update Error");
            return;
        }
        printf("command=%s\n", szCmd);
        int nResult = vsystem(szCmd);
        SYS_sync();
        // Every command's own status counts: a failed write or verification
        // must never end in "Update Complete".
        if (nResult != 0) {
            printf("  (%s)   -> ERROR(0x%x)!!\n", szCmd, nResult);
            Fail("Update Error");
            return;
        }
    }
    ++m_UpdateCount;
    if (m_UpdateCount >= FWUPDATE_STEPS) {
        m_RestartCount = 0;
        m_nLevel = FWUPDATE_LEVEL_DONE;
    }
}

void screen_fwupdate::DrawList(void)
{
    DrawButton(1, "F/W UPDATE");
    DrawScrollBar(303, 34, m_nFiles, FWUPDATE_ROWS, m_nScroll);
    GRA_BitBltT(4, 32, g_pBmp_dir[0]);
    char szFolder[256];
    GetFileName(szFolder, m_CurrentDir);
    DrawText(27, 29, szFolder, GUI_COLOR_WHITE);
    if (m_nFiles == 0) {
        GRA_DrawStringSC(0, 100, GRA_WIDTH, "No File", GUI_COLOR_WHITE, g_pFont_a20);
        return;
    }
    if (m_nCursor >= 0)
        GRA_TileBlt(52, 52 + FWUPDATE_ROW_HEIGHT * m_nCursor, 248, 26, g_pBmp_selected);
    for (int nRow = 0; nRow < FWUPDATE_ROWS && m_nScroll + nRow < m_nFiles; ++nRow) {
        unsigned short wColor = nRow == m_nCursor ? GUI_COLOR_BLACK : GUI_COLOR_WHITE;
        GRA_DrawStringS(54, 54 + FWUPDATE_ROW_HEIGHT * nRow, m_aFiles[m_nScroll + nRow].szName, wColor, g_pFont_a20,
                        244);
    }
}

// The candidate and its versions, on the confirmation and the update pages.
void screen_fwupdate::DrawCandidate(void)
{
    if (m_nCursor >= 0)
        DrawText(54, 54, m_aFiles[m_nScroll + m_nCursor].szName, GUI_COLOR_WHITE);
    char szVersions[48];
    snprintf(szVersions, sizeof(szVersions), "%s --> %s", m_OldVer, m_NewVer);
    DrawText(54, 81, szVersions, GUI_COLOR_WHITE);
}

int screen_fwupdate::OnDraw500ms(void)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    DrawHeader("F/W UPDATE");
    switch (m_nLevel) {
    case FWUPDATE_LEVEL_LIST:
        if (g_Msp430_nBatteryLevel < FWUPDATE_LOW_BATTERY) {
            // Flashing on a weak battery could leave the device unbootable.
            GRA_DrawStringSC(0, 100, GRA_WIDTH, "Low Battery !!", GUI_COLOR_WHITE, g_pFont_a24);
            FB_Flip();
            SleepMS(5000);
            vsystem("reboot");
            for (;;)
                SleepMS(100);
        }
        // A card that becomes usable after the screen opened is listed then.
        if (g_bSdCard && !s_bCardSeen)
            EnumFiles(m_CurrentDir);
        s_bCardSeen = g_bSdCard;
        DrawList();
        break;
    case FWUPDATE_LEVEL_CONFIRM:
        DrawCandidate();
        DrawText(54, 108, "Are you sure ?", GUI_COLOR_WHITE);
        GRA_DrawStringS(27, 135, "\a ENTER \a", GUI_COLOR_BLACK, g_pFont_a20, 0);
        DrawText(80, 135, ":Update Execute", GUI_COLOR_WHITE);
        DrawButton(2, "CANCEL");
        break;
    case FWUPDATE_LEVEL_UPDATING: {
        DrawCandidate();
        DrawText(54, 108, s_DoMessage[m_UpdateCount], GUI_COLOR_WHITE);
        char szCount[32];
        snprintf(szCount, sizeof(szCount), " [%02d /%d] ", m_UpdateCount, FWUPDATE_STEPS - 1);
        DrawText(54, 135, szCount, GUI_COLOR_WHITE);
        GRA_FrameRect(70, 183, 184, 22, GUI_COLOR_WHITE);
        GRA_FillRect(71, 184, 182 * m_UpdateCount / FWUPDATE_STEPS, 20, GUI_COLOR_HEADER);
        RunStep();
        // After a failure the list is drawn anew at once.
        return m_nLevel == FWUPDATE_LEVEL_LIST;
    }
    default:
        if (m_nCursor >= 0)
            DrawText(54, 54, m_aFiles[m_nScroll + m_nCursor].szName, GUI_COLOR_WHITE);
        DrawText(54, 108, "Update Complete", GUI_COLOR_WHITE);
        if (++m_RestartCount >= FWUPDATE_DONE_DRAWS) {
            NVRAM_Load();
            PowerOff();
        }
        break;
    }
    return 0;
}

CScreenBase* CreateScreen_fwupdate(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_fwupdate::OnInitialize;
    s_table.GetName = screen_fwupdate::GetName;
    s_table.OnSetActive = screen_fwupdate::OnSetActive;
    s_table.OnButtonPress = screen_fwupdate::OnButtonPress;
    s_table.OnButtonRepeat = screen_fwupdate::OnButtonPress;
    s_table.OnDraw500ms = screen_fwupdate::OnDraw500ms;
    s_table.OnInitialize();
    return &s_table;
}
