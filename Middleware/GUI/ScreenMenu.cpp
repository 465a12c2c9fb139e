#include "Middleware/GUI/ScreenMenu.h"

#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/InputAudioFilter.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int g_bMenuInputSetting = 0;
int g_bMenuRecSetting = 0;
int g_nInfoType = 0;
int g_bPlaylist = 0;

int screen_menu::m_nLevel = MENU_LEVEL_GROUPS;
int screen_menu::m_nAllDraw = 2;
int screen_menu::m_nDrawnLevel = -1;
int screen_menu::m_nDrawnGroup = -1;
int screen_menu::m_nDrawnCursor = -1;
int screen_menu::m_nDrawnScroll = -1;

#define GROUP_INPUT_SETTING 0
#define GROUP_REC_OPTION 1
#define GROUPS_PER_COLUMN 4

#define ROW_TOP 26
#define ROW_HEIGHT 26
#define VALUE_X 190
#define SEPARATOR_X 186

#define COLOR_TILE_FRAME 0xFEA0     // gold frame round the selected group
#define COLOR_DROP_FRAME 0xC618     // outer frame of a drop-down list
#define COLOR_DROP_INNER 0x4A69     // its inner frame
#define COLOR_DROP_FILL 0x10A3      // its background


// ---- Tree helpers ---------------------------------------------------------------

int screen_menu::GetItemCount(const MENU_GROUP* pGroup)
{
    int n = 0;
    while (n < MENU_MAX_ITEMS && pGroup->aItem[n].szName)
        ++n;
    return n;
}

int screen_menu::GetChoiceIndex(const MENU_ITEM* pItem)
{
    int nChoices = MENU_GetChoiceCount(pItem);
    if (nChoices == 0)
        return -1;
    if (!strchr(pItem->aszChoice[0], ':')) {
        int nIndex = static_cast<int>(pItem->fValue);
        if (nIndex < 0 || nIndex >= nChoices || static_cast<float>(nIndex) != pItem->fValue)
            return -1;
        return nIndex;
    }
    for (int i = 0; i < nChoices; ++i) {
        if (MENU_GetChoiceValue(pItem, i) == pItem->fValue)
            return i;
    }
    return -1;
}

static void ItemKey(char* szKey, size_t nSize, const MENU_GROUP* pGroup, const MENU_ITEM* pItem)
{
    snprintf(szKey, nSize, "/%s/%s", pGroup->szName, pItem->szName);
}

static int SettingInt(const char* szKey)
{
    return static_cast<int>(GetParameter(szKey, nullptr));
}

struct RANGE
{
    float fMin;
    float fMax;
    float fStep;
};

static RANGE ItemRange(const MENU_ITEM* pItem)
{
    RANGE range = {0, 0, 1};
    if (MENU_GetChoiceCount(pItem) >= 3) {
        range.fMin = static_cast<float>(atof(pItem->aszChoice[0]));
        range.fMax = static_cast<float>(atof(pItem->aszChoice[1]));
        range.fStep = static_cast<float>(atof(pItem->aszChoice[2]));
    }
    if (range.fStep <= 0)
        range.fStep = 1;
    return range;
}

// A value on the range's grid: steps of 0.1 added up as floats drift, and
// the ends must still be reached exactly.
static float SnapToRange(const RANGE& range, double dValue)
{
    double dSteps = floor((dValue - range.fMin) / range.fStep + 0.5);
    double dSnapped = range.fMin + dSteps * range.fStep;
    if (dSnapped > range.fMax)
        dSnapped = range.fMax;
    if (dSnapped < range.fMin)
        dSnapped = range.fMin;
    return static_cast<float>(dSnapped);
}

// Speed control does not apply to a 96 kHz sound file being played.
static int IsSpeedLocked(void)
{
    return GetActionMode() == ACTION_MODE_SOUND && !g_bRecorder && g_nAudioPlayFreq == 96000;
}

// ---- Screen operations ----------------------------------------------------------------

int screen_menu::OnInitialize(void) { return 1; }
const char* screen_menu::GetName(void) { return "menu"; }

void screen_menu::ResetAllDraw(void)
{
    m_nAllDraw = 2;
}

int screen_menu::OnSetActive(CScreenBase* pPrevious)
{
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_LEFT, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_RIGHT, 100);
    MENU_INFO* pMenu = GetMenuInfo();
    if (g_bMenuInputSetting) {
        pMenu->nSelectedGroup = GROUP_INPUT_SETTING;
        m_nLevel = MENU_LEVEL_ITEMS;
    } else if (g_bMenuRecSetting) {
        pMenu->nSelectedGroup = GROUP_REC_OPTION;
        m_nLevel = MENU_LEVEL_ITEMS;
    } else {
        m_nLevel = MENU_LEVEL_GROUPS;
    }
    return 1;
}

int screen_menu::OnKillActive(CScreenBase* pNext)
{
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_LEFT, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_RIGHT, 0);
    return 0;
}

int screen_menu::IsDirect(void)
{
    return g_bMenuInputSetting || g_bMenuRecSetting;
}

void screen_menu::ExitToPlayer(void)
{
    g_bMenuInputSetting = 0;
    g_bMenuRecSetting = 0;
    g_ScreenManager.SetActive("player", 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_W, g_bRecorder ? 100 : 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_T, g_bRecorder ? 100 : 0);
}

MENU_GROUP* screen_menu::SelectedGroup(void)
{
    MENU_INFO* pMenu = GetMenuInfo();
    if (pMenu->nSelectedGroup < 0 || pMenu->nSelectedGroup >= MENU_MAX_GROUPS)
        pMenu->nSelectedGroup = 0;
    return &pMenu->aGroup[pMenu->nSelectedGroup];
}

MENU_ITEM* screen_menu::HighlightedItem(void)
{
    MENU_GROUP* pGroup = SelectedGroup();
    int nIndex = pGroup->nScroll + pGroup->nCursor;
    if (nIndex < 0 || nIndex >= GetItemCount(pGroup))
        return nullptr;
    return &pGroup->aItem[nIndex];
}

// ---- Keys -----------------------------------------------------------------------------

int screen_menu::OnButtonPress(unsigned long dwMask)
{
    int bRedraw;
    if (m_nLevel == MENU_LEVEL_GROUPS)
        bRedraw = PressGroups(dwMask);
    else if (m_nLevel == MENU_LEVEL_ITEMS)
        bRedraw = PressItems(dwMask);
    else
        bRedraw = PressEditor(dwMask);
    if (dwMask & KEY_F3) {
        ExitToPlayer();
        return 1;
    }
    return bRedraw;
}

int screen_menu::PressGroups(unsigned long dwMask)
{
    MENU_INFO* pMenu = GetMenuInfo();
    int& nGroup = pMenu->nSelectedGroup;
    int nRow = nGroup % GROUPS_PER_COLUMN;
    if (dwMask & KEY_UP) {
        if (nRow > 0)
            --nGroup;
    } else if (dwMask & KEY_DOWN) {
        if (nRow < GROUPS_PER_COLUMN - 1)
            ++nGroup;
    } else if (dwMask & KEY_LEFT) {
        if (nGroup >= GROUPS_PER_COLUMN)
            nGroup -= GROUPS_PER_COLUMN;
    } else if (dwMask & KEY_RIGHT) {
        if (nGroup < GROUPS_PER_COLUMN)
            nGroup += GROUPS_PER_COLUMN;
    } else if (dwMask & KEY_ENTER) {
        MENU_GROUP* pGroup = SelectedGroup();
        if (GetItemCount(pGroup) == 0) {
            if (strcmp(pGroup->szName, "PLAY LIST") == 0) {
                g_bPlaylist = 1;
                g_ScreenManager.SetActive("browse", 1);
                return 0;
            }
            if (strcmp(pGroup->szName, "BROWSE") == 0) {
                g_bPlaylist = 0;
                g_ScreenManager.SetActive("browse", 1);
                return 0;
            }
            return 1;
        }
        m_nLevel = MENU_LEVEL_ITEMS;
    } else if (dwMask & KEY_MENU) {
        ExitToPlayer();
    }
    return 1;
}

int screen_menu::PressItems(unsigned long dwMask)
{
    MENU_GROUP* pGroup = SelectedGroup();
    int nItems = GetItemCount(pGroup);
    if (dwMask & KEY_UP) {
        if (pGroup->nCursor > 0)
            --pGroup->nCursor;
        else if (pGroup->nScroll > 0)
            --pGroup->nScroll;
    } else if (dwMask & KEY_DOWN) {
        if (pGroup->nScroll + pGroup->nCursor + 1 < nItems) {
            if (pGroup->nCursor < MENU_ROWS - 1)
                ++pGroup->nCursor;
            else
                ++pGroup->nScroll;
        }
    } else if (dwMask & (KEY_ENTER | KEY_RIGHT)) {
        MENU_ITEM* pItem = HighlightedItem();
        if (!pItem)
            return 1;
        if (pItem->nType == MENU_TYPE_ACTION)
            return RunAction(pGroup, pItem);
        if (g_bRecorder &&
            (strcmp(pItem->szName, "AUTO REC MODE") == 0 || strcmp(pItem->szName, "AUTO REC LEVEL") == 0))
            return 0;
        if (GetActionMode() == ACTION_MODE_PHOTO && strcmp(pItem->szName, "REPEAT") == 0)
            return 0;
        m_nLevel = MENU_LEVEL_EDIT;
    } else if (dwMask & (KEY_LEFT | KEY_MENU)) {
        if (IsDirect())
            ExitToPlayer();
        else
            m_nLevel = MENU_LEVEL_GROUPS;
    }
    return 1;
}

int screen_menu::PressEditor(unsigned long dwMask)
{
    MENU_GROUP* pGroup = SelectedGroup();
    MENU_ITEM* pItem = HighlightedItem();
    if (!pItem) {
        m_nLevel = MENU_LEVEL_ITEMS;
        return 1;
    }
    if (dwMask & (KEY_UP | KEY_DOWN)) {
        if (pItem->nType == MENU_TYPE_RANGE) {
            RANGE range = ItemRange(pItem);
            // A tenth of a step absorbs the float error of the stored value.
            float fTolerance = range.fStep / 10;
            if ((dwMask & KEY_DOWN) && pItem->fValue > range.fMin + fTolerance)
                ApplyValue(pGroup, pItem, SnapToRange(range, static_cast<double>(pItem->fValue) - range.fStep));
            else if ((dwMask & KEY_UP) && pItem->fValue < range.fMax - fTolerance)
                ApplyValue(pGroup, pItem, SnapToRange(range, static_cast<double>(pItem->fValue) + range.fStep));
        } else if (pItem->nType == MENU_TYPE_LIST || pItem->nType == MENU_TYPE_PAGES) {
            int nIndex = GetChoiceIndex(pItem);
            int nChoices = MENU_GetChoiceCount(pItem);
            if ((dwMask & KEY_UP) && nIndex > 0)
                ApplyValue(pGroup, pItem, MENU_GetChoiceValue(pItem, nIndex - 1));
            else if ((dwMask & KEY_DOWN) && nIndex + 1 < nChoices)
                ApplyValue(pGroup, pItem, MENU_GetChoiceValue(pItem, nIndex + 1));
        }
    } else if (dwMask & KEY_ENTER) {
        if (pItem->nType == MENU_TYPE_PAGES)
            RunAction(pGroup, pItem);
        m_nLevel = MENU_LEVEL_ITEMS;
    } else if (dwMask & KEY_LEFT) {
        m_nLevel = MENU_LEVEL_ITEMS;
    } else if (dwMask & KEY_MENU) {
        if (IsDirect())
            ExitToPlayer();
        else
            m_nLevel = MENU_LEVEL_GROUPS;
    }
    return 1;
}

// ---- Actions of the Setup group --------------------------------------------------------

void screen_menu::Initialize(void)
{
    NVRAM_Reset();
    for (int i = 0; i < 10; ++i) {
        SYS_sync();
        SleepMS(10);
    }
    NVRAM_Load();

    if (!g_bDispHdmi)
        LED_SetBacklight(SettingInt("/Setup/DIMMER"));
    MSP430_SetBatteryType(SettingInt("/Setup/BATTERY") != 0 ? 1 : 0);
    g_nZoom = SettingInt("/GLOBAL/ZOOM");
    if (g_nZoom == 0)
        g_nZoom = 100;
    g_nWhiteBalance = SettingInt("/Rec Option/WHITE BALANCE");
    g_nPlaybackVol = SettingInt("/GLOBAL/PLAY VOL");
    SND_SetPlayVolume(g_nPlaybackVol);
    float fSpeed = GetParameter("/PB Control/SPEED", nullptr);
    g_VsaFilter.SetSpeed(IsSpeedLocked() ? 0.0f : fSpeed);
}

int screen_menu::RunAction(MENU_GROUP* pGroup, MENU_ITEM* pItem)
{
    const char* szName = pItem->szName;
    if (strcmp(szName, "FILE NAME") == 0) {
        g_ScreenManager.SetActive("filename", 1);
    } else if (strcmp(szName, "DATE/TIME") == 0) {
        g_ScreenManager.SetActive("datetime", 1);
    } else if (strcmp(szName, "SD FORMAT") == 0) {
        if (g_ScreenManager.Confirm("\nFormat Card. Are You Sure ?\n", KEY_F1, "YES", KEY_F3, "NO")) {
            FormatSdCard();
            g_RemainMedia.Update();
            g_bDivideMode = 0;
        }
    } else if (strcmp(szName, "INITIALIZE") == 0) {
        if (g_ScreenManager.Confirm("\nReset all settings. Are You Sure ?\n", KEY_F1, "YES", KEY_F3, "NO"))
            Initialize();
    } else if (strcmp(szName, "INFORMATION") == 0) {
        g_nInfoType = GetChoiceIndex(pItem);
        g_ScreenManager.SetActive("info", 1);
    } else {
        printf("*** NOT IMPLEMENT *** %s = %s \n", pGroup->szName, szName);
    }
    return 1;
}

// ---- Applying a value --------------------------------------------------------------------

static int LowCutLevel(const char* szLabel)
{
    static const char* const s_aszLabel[] = {"OFF", "40Hz", "80Hz", "120Hz"};
    for (int i = 0; i < 4; ++i) {
        if (strcmp(szLabel, s_aszLabel[i]) == 0)
            return i;
    }
    return 0;
}

void screen_menu::ApplyPlayArea(const char* szLabel)
{
    if (!g_bRecorder) {
        PL_Stop(STOP_BY_SYSTEM);
        PL_Close();
    }
    char szPath[256];
    g_PlaylistCtrl.GetCurrentFilePath(szPath);
    screen_player::m_curFile[0] = 0;
    g_PlaylistCtrl.ScanPlaylist();
    int nIndex = g_PlaylistCtrl.SearchIndex(szPath);
    if (nIndex > 0)
        g_PlaylistCtrl.SetCurrentIndex(nIndex);

    int nCount = g_PlaylistCtrl.GetCount();
    if (nCount == 0 && strcmp(szLabel, "PLAY LIST") == 0) {
        g_ScreenManager.OnDraw500ms(1);
        g_ScreenManager.Error("No PLAYLIST");
    }
    if (!g_bRecorder && nCount > 0) {
        g_bKeepStop = 1;
        g_PlaylistCtrl.GetCurrentFilePath(szPath);
        if (PL_Open(szPath)) {
            g_PlaylistCtrl.GetCurrentFileName(screen_player::m_curFile);
            PL_Play();
            PL_WaitKeepStop();
        }
    }
}

void screen_menu::ApplyValue(MENU_GROUP* pGroup, MENU_ITEM* pItem, float fValue)
{
    char szKey[128];
    ItemKey(szKey, sizeof(szKey), pGroup, pItem);
    SetParameter(szKey, fValue);
    char szLabel[128];
    GetParameter(szKey, szLabel);

    const char* szName = pItem->szName;
    static const char* const s_aszCaptureItem[] = {"MIC GAIN",      "LEVEL CONTROL", "INPUT SELECT",
                                                   "PLUG IN POWER", "L/R SWAP",      "INPUT TYPE"};
    for (const char* szCapture : s_aszCaptureItem) {
        if (strcmp(szName, szCapture) == 0) {
            ResetAudioCapture();
            return;
        }
    }

    if (strcmp(szName, "LOW CUT") == 0) {
        char szInput[128];
        GetParameter("/Input Setting/INPUT SELECT", szInput);
        if (!g_bExtAudio || strcmp(szInput, "MIC") == 0)
            g_InputAudioFilter.SetLcfLevel(static_cast<CInputAudioFilter::LCF_LEVEL>(LowCutLevel(szLabel)));
        else
            g_InputAudioFilter.SetLcfLevel(CInputAudioFilter::LCF_OFF);
    } else if (strcmp(szName, "SOUND FORMAT") == 0) {
        g_nAudioBits = static_cast<int>(fValue);
        ResetAudioCapture();
    } else if (strcmp(szName, "SAMPLE RATE") == 0) {
        g_nAudioFreq = static_cast<int>(fValue);
        ResetAudioCapture();
    } else if (strcmp(szName, "IMAGE SIZE") == 0) {
        ResetVideoCapture();
    } else if (strcmp(szName, "WHITE BALANCE") == 0) {
        g_nWhiteBalance = static_cast<int>(fValue);
    } else if (strcmp(szName, "DIMMER") == 0) {
        LED_SetBacklight(static_cast<int>(fValue));
    } else if (strcmp(szName, "BATTERY") == 0) {
        MSP430_SetBatteryType(fValue != 0 ? 1 : 0);
    } else if (strcmp(szName, "SPEED") == 0) {
        if (!IsSpeedLocked() && GetParameter("/GLOBAL/ENABLE SPEED", nullptr) != 0)
            g_VsaFilter.SetSpeed(fValue);
    } else if (strcmp(szName, "PLAY AREA") == 0) {
        ApplyPlayArea(szLabel);
    }
}

// ---- Drawing --------------------------------------------------------------------------

static void GroupTile(int nGroup, int* px, int* py)
{
    *px = 27 + 141 * (nGroup / GROUPS_PER_COLUMN);
    *py = 47 + 43 * (nGroup % GROUPS_PER_COLUMN);
}

void screen_menu::DrawGroups(int bComplete)
{
    if (bComplete) {
        GRA_BitBlt(0, 0, g_pBmp_menu_bg);
        DrawButton(2, "HOME");
    }
    DrawHeader("MENU");
    int nGroup = GetMenuInfo()->nSelectedGroup;
    int x;
    int y;
    if (!bComplete && m_nDrawnGroup >= 0 && m_nDrawnGroup != nGroup) {
        GroupTile(m_nDrawnGroup, &x, &y);
        GRA_BitBlt(x - 1, y - 1, g_pBmp_menu_bg, x - 1, y - 1, 128, 37);
    }
    GroupTile(nGroup, &x, &y);
    GRA_FrameRect(x, y, 126, 35, COLOR_TILE_FRAME);
    GRA_FrameRect(x - 1, y - 1, 128, 37, COLOR_TILE_FRAME);
    m_nDrawnGroup = nGroup;
}

void screen_menu::DrawRow(int nRow, int bComplete)
{
    MENU_GROUP* pGroup = SelectedGroup();
    int y = ROW_TOP + ROW_HEIGHT * nRow;
    GRA_FillRect(0, y, SEPARATOR_X, ROW_HEIGHT - 1, GUI_COLOR_BLACK);
    if (nRow == pGroup->nCursor)
        GRA_TileBlt(0, y, SEPARATOR_X, ROW_HEIGHT - 1, g_pBmp_selected);
    GRA_BitBlt(0, y + ROW_HEIGHT - 1, g_pBmp_dotline_h);
    GRA_BitBlt(SEPARATOR_X, y, g_pBmp_dotline_v, 0, ROW_HEIGHT * nRow, 1, ROW_HEIGHT);

    int nIndex = pGroup->nScroll + nRow;
    if (nIndex >= GetItemCount(pGroup))
        return;
    const MENU_ITEM* pItem = &pGroup->aItem[nIndex];
    GRA_DrawStringS(4, y + 2, pItem->szName, GUI_COLOR_WHITE, g_pFont_a24, SEPARATOR_X - 6);
    if (bComplete && pItem->nType != MENU_TYPE_ACTION) {
        char szKey[128];
        char szValue[128];
        ItemKey(szKey, sizeof(szKey), pGroup, pItem);
        GetParameter(szKey, szValue);
        GRA_DrawStringS(VALUE_X, y + 2, szValue, GUI_COLOR_WHITE, g_pFont_a24, GRA_WIDTH - VALUE_X);
    }
}

void screen_menu::DrawEditor(void)
{
    MENU_GROUP* pGroup = SelectedGroup();
    MENU_ITEM* pItem = HighlightedItem();
    if (!pItem)
        return;
    int nRowY = ROW_TOP + ROW_HEIGHT * pGroup->nCursor;

    if (strcmp(pItem->szName, "WHITE BALANCE") == 0) {
        int nWb = static_cast<int>(pItem->fValue);
        if (nWb >= 0 && nWb < 6)
            GRA_BitBltT(264, 2, g_pBmp_wb_icon[nWb]);
    }

    if (pItem->nType == MENU_TYPE_RANGE) {
        RANGE range = ItemRange(pItem);
        char szKey[128];
        char szValue[128];
        ItemKey(szKey, sizeof(szKey), pGroup, pItem);
        GetParameter(szKey, szValue);
        GRA_FillRect(SEPARATOR_X + 1, nRowY, GRA_WIDTH - SEPARATOR_X - 1, ROW_HEIGHT - 1, GUI_COLOR_BLACK);
        GRA_DrawStringS(191, nRowY + 2, szValue, GUI_COLOR_WHITE, g_pFont_a24, 0);
        float fTolerance = range.fStep / 10;
        if (pItem->fValue < range.fMax - fTolerance)
            GRA_BitBltT(300, nRowY + 3, g_pBmp_arrow_up);
        if (pItem->fValue > range.fMin + fTolerance)
            GRA_BitBltT(300, nRowY + 16, g_pBmp_arrow_down);
    } else if (pItem->nType == MENU_TYPE_LIST || pItem->nType == MENU_TYPE_PAGES) {
        int nChoices = MENU_GetChoiceCount(pItem);
        int nHeight = ROW_HEIGHT * nChoices + 4;
        int nTop = nRowY;
        while (nTop + nHeight > GRA_HEIGHT && nTop - ROW_HEIGHT >= ROW_TOP)
            nTop -= ROW_HEIGHT;
        GRA_Rectangle(187, nTop, 132, nHeight, COLOR_DROP_FRAME, COLOR_DROP_FILL);
        GRA_FrameRect(188, nTop + 1, 130, nHeight - 2, COLOR_DROP_INNER);
        int nCurrent = GetChoiceIndex(pItem);
        if (nCurrent >= 0)
            GRA_TileBlt(189, nTop + 2 + ROW_HEIGHT * nCurrent, 128, ROW_HEIGHT, g_pBmp_selected);
        for (int i = 0; i < nChoices; ++i)
            GRA_DrawStringS(191, nTop + 4 + ROW_HEIGHT * i, MENU_GetChoiceLabel(pItem, i), GUI_COLOR_WHITE,
                            g_pFont_a24, 124);
    }
    GRA_BitBltT(183, nRowY + 6, g_pBmp_arrow_left);
}

void screen_menu::DrawItems(int bComplete)
{
    MENU_GROUP* pGroup = SelectedGroup();
    if (bComplete) {
        GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
        DrawButton(2, "HOME");
    }
    DrawHeader(pGroup->szName);
    for (int nRow = 0; nRow < MENU_ROWS; ++nRow) {
        if (bComplete || nRow == pGroup->nCursor || nRow == m_nDrawnCursor)
            DrawRow(nRow, bComplete);
    }
    if (m_nLevel == MENU_LEVEL_ITEMS) {
        int nItems = GetItemCount(pGroup);
        if (pGroup->nScroll > 0)
            GRA_BitBltT(181, 24, g_pBmp_arrow_up);
        if (pGroup->nScroll + MENU_ROWS < nItems)
            GRA_BitBltT(181, 205, g_pBmp_arrow_down);
        GRA_BitBltT(183, 32 + ROW_HEIGHT * pGroup->nCursor, g_pBmp_arrow_right);
    } else {
        DrawEditor();
    }
    m_nDrawnCursor = pGroup->nCursor;
    m_nDrawnScroll = pGroup->nScroll;
}

int screen_menu::OnDraw500ms(void)
{
    MENU_INFO* pMenu = GetMenuInfo();
    MENU_GROUP* pGroup = SelectedGroup();
    int bComplete = m_nAllDraw > 0 || m_nLevel != m_nDrawnLevel;
    if (m_nAllDraw > 0)
        --m_nAllDraw;

    if (m_nLevel == MENU_LEVEL_GROUPS) {
        DrawGroups(bComplete);
    } else {
        if (g_ScreenManager.m_nBoxState != BOX_NONE)
            return 0;
        if (pMenu->nSelectedGroup != m_nDrawnGroup || pGroup->nScroll != m_nDrawnScroll)
            bComplete = 1;
        DrawItems(bComplete);
        m_nDrawnGroup = pMenu->nSelectedGroup;
    }
    m_nDrawnLevel = m_nLevel;
    return 0;
}

CScreenBase* CreateScreen_menu(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_menu::OnInitialize;
    s_table.GetName = screen_menu::GetName;
    s_table.OnSetActive = screen_menu::OnSetActive;
    s_table.OnKillActive = screen_menu::OnKillActive;
    s_table.OnButtonPress = screen_menu::OnButtonPress;
    s_table.OnButtonRepeat = screen_menu::OnButtonPress;
    s_table.OnDraw500ms = screen_menu::OnDraw500ms;
    s_table.ResetAllDraw = screen_menu::ResetAllDraw;
    s_table.OnInitialize();
    return &s_table;
}
