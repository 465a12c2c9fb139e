#include "Middleware/GUI/ScreenInfo.h"

#include "DrvLib/Key.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Version.h"
#include "Media/FileTree.h"
#include "Media/RemainMedia.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenDateTime.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "player/Player.h"

#include <stdio.h>
#include <string.h>

CScreenBase* screen_info::m_pLastActive = nullptr;
int screen_info::m_nTotalFiles = 0;
int screen_info::m_nTotalFolders = 0;

#define INFO_LABEL_X 4
#define INFO_VALUE_X 90
#define INFO_DIVIDER_X 86
#define INFO_TEXT_SIZE 256

static const int s_anRowY[5] = {28, 54, 80, 106, 132};
static const int s_anLineY[5] = {51, 77, 103, 129, 155};

// One scan per folder level, kept for the whole run: a tree holds 9999 entries.
static CFileTree s_aTree[INFO_FOLDER_LEVELS + 1];

int screen_info::OnInitialize(void) { return 1; }
const char* screen_info::GetName(void) { return "info"; }

void screen_info::SubSerachTotalFileCount(const char* szFolder, int& nFiles, int& nFolders, int nLevel)
{
    static const tagFilterExt s_AllRecordings = {{"MOV", "WAV", "JPG", "JPEG"}};
    CFileTree& tree = s_aTree[nLevel];
    tree.ScanDir(szFolder, &s_AllRecordings, 1);
    nFiles += tree.GetFileCount();
    nFolders += tree.GetDirCount();
    if (nLevel >= INFO_FOLDER_LEVELS)
        return;
    for (int i = 0; i < tree.GetTotalCount(); ++i) {
        if (!tree.IsDir(i))
            continue;
        char szPath[FILE_TREE_PATH_SIZE];
        tree.GetFilePath(i, szPath);
        SubSerachTotalFileCount(szPath, nFiles, nFolders, nLevel + 1);
    }
}

int screen_info::OnSetActive(CScreenBase* pPrevious)
{
    m_pLastActive = pPrevious;
    if (g_nInfoType == INFO_PAGE_CARD) {
        m_nTotalFiles = 0;
        m_nTotalFolders = 0;
        SubSerachTotalFileCount("/MY_FOLDER", m_nTotalFiles, m_nTotalFolders);
        g_RemainMedia.Update();
    }
    return 1;
}

int screen_info::OnButtonPress(unsigned long dwMask)
{
    if (dwMask & (KEY_MENU | KEY_LEFT)) {
        // The menu expects its arrows to repeat, and stays where it was.
        SCREEN_SetArrowRepeat(100);
        if (m_pLastActive)
            g_ScreenManager.SetActive(m_pLastActive->GetName(), 0);
        else
            g_ScreenManager.SetActive("menu", 1);
        return 1;
    }
    if (dwMask & KEY_F3) {
        g_bMenuInputSetting = 0;
        g_bMenuRecSetting = 0;
        g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
        g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
        g_ScreenManager.SetButtonAutoRepeat(KEY_W, g_bRecorder ? 100 : 0);
        g_ScreenManager.SetButtonAutoRepeat(KEY_T, g_bRecorder ? 100 : 0);
        g_ScreenManager.SetActive("player", 0);
        return 1;
    }
    return 0;
}

static int TextWidth(const char* sz, unsigned char* pFont)
{
    int nWidth, nHeight;
    GRA_CalcStringS(&nWidth, &nHeight, sz, pFont, nullptr);
    return nWidth;
}

// A label in the 24-pixel font when it fits left of the divider; a long one
// ("System Version") in a smaller font, on two lines if need be, so that it
// never runs into the value.
static void DrawLabel(int y, const char* szLabel)
{
    const int nRoom = INFO_DIVIDER_X - INFO_LABEL_X - 2;
    unsigned char* apFont[] = {g_pFont_a24, g_pFont_a20, g_pFont_a16};
    for (unsigned char* pFont : apFont) {
        if (TextWidth(szLabel, pFont) <= nRoom) {
            int yFont = pFont == g_pFont_a24 ? y : pFont == g_pFont_a20 ? y + 3 : y + 5;
            GRA_DrawStringF(INFO_LABEL_X, yFont, szLabel, GUI_COLOR_WHITE, GUI_COLOR_BLACK, pFont, nRoom);
            return;
        }
    }
    const char* szBreak = strrchr(szLabel, ' ');
    char szFirst[64];
    int nFirst = szBreak ? static_cast<int>(szBreak - szLabel) : static_cast<int>(strlen(szLabel));
    snprintf(szFirst, sizeof(szFirst), "%.*s", nFirst, szLabel);
    GRA_DrawStringF(INFO_LABEL_X, y - 2, szFirst, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a16, nRoom);
    if (szBreak)
        GRA_DrawStringF(INFO_LABEL_X, y + 10, szBreak + 1, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a16, nRoom);
}

static void DrawRow(int nRow, const char* szLabel, const char* szValue)
{
    int y = s_anRowY[nRow];
    DrawLabel(y, szLabel);
    GRA_DrawStringF(INFO_VALUE_X, y, szValue, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a24, GRA_WIDTH - INFO_VALUE_X);
}

static void DrawRules(int nRows)
{
    int nLines = nRows > 4 ? 5 : 4;
    for (int i = 0; i < nLines; ++i)
        GRA_BitBltT(0, s_anLineY[i], g_pBmp_dotline_h);
    GRA_BitBltT(INFO_DIVIDER_X, 26, g_pBmp_dotline_v);
}

void screen_info::DrawFilePage(void)
{
    DrawHeader("INFORMATION (FILE)");
    static const char* const s_aszType[] = {"MOV", "WAV", "JPEG"};
    int nMode = GetActionMode();
    const char* szType = s_aszType[nMode >= 0 && nMode <= 2 ? nMode : 0];

    char szVideo[INFO_TEXT_SIZE] = "";
    char szAudio[INFO_TEXT_SIZE] = "";
    char szTitle[INFO_TEXT_SIZE] = "";
    char szDate[INFO_TEXT_SIZE] = "";
    char szSize[64];
    unsigned long dwSize = 0;
    if (!g_bRecorder && PL_IsOpen()) {
        PL_GetInfoStr(szVideo, szAudio);
        PL_GetTitle(szTitle);
        PL_GetDateStr(szDate);
        dwSize = PL_GetFileSize();
    }
    IntToString(static_cast<int>(dwSize), szSize);

    int nRow = 0;
    if (szVideo[0] && szAudio[0]) {
        DrawRow(nRow++, szType, szVideo);
        DrawRow(nRow++, "", szAudio);
    } else {
        DrawRow(nRow++, szType, szVideo[0] ? szVideo : szAudio);
    }
    DrawRow(nRow++, "TITLE", szTitle);
    DrawRow(nRow++, "DATE", szDate);
    DrawRow(nRow++, "SIZE", szSize);
    DrawRules(nRow);
}

void screen_info::DrawCardPage(void)
{
    DrawHeader("INFORMATION (CARD)");
    char szValue[64];
    snprintf(szValue, sizeof(szValue), "%d", m_nTotalFiles);
    DrawRow(0, "TOTAL FILE", szValue);
    snprintf(szValue, sizeof(szValue), "%d", m_nTotalFolders);
    DrawRow(1, "TOTAL FOLDER", szValue);
    Int64ToString(g_RemainMedia.GetTotalSize(), szValue);
    DrawRow(2, "TOTAL SIZE", szValue);
    Int64ToString(g_RemainMedia.GetRemainSize(), szValue);
    DrawRow(3, "REMAIN SIZE", szValue);
    DrawRules(4);
}

void screen_info::DrawSystemPage(void)
{
    DrawHeader("INFORMATION (SYSTEM)");
    char szValue[NVRAM_TEXT_SIZE];
    GetParameter("/Setup/AUTO OFF", szValue);
    DrawRow(0, "AUTO OFF", szValue);
    GetParameter("/Setup/BATTERY", szValue);
    DrawRow(1, "BATTERY", szValue);
    GetVersionText(szValue, sizeof(szValue), g_szVersionSystem);
    DrawRow(2, "System Version", szValue);
    DrawRules(3);
}

int screen_info::OnDraw500ms(void)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    DrawButton(2, "HOME");
    if (g_nInfoType == INFO_PAGE_FILE)
        DrawFilePage();
    else if (g_nInfoType == INFO_PAGE_CARD)
        DrawCardPage();
    else
        DrawSystemPage();
    return 0;
}

CScreenBase* CreateScreen_info(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_info::OnInitialize;
    s_table.GetName = screen_info::GetName;
    s_table.OnSetActive = screen_info::OnSetActive;
    s_table.OnButtonPress = screen_info::OnButtonPress;
    s_table.OnButtonRepeat = screen_info::OnButtonPress;
    s_table.OnDraw500ms = screen_info::OnDraw500ms;
    s_table.OnInitialize();
    return &s_table;
}
