#include "Middleware/GUI/ScreenTestMode.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Rtc.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Lib/Version.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenDateTime.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/VPFE/Capture.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int screen_testmode::m_nLevel = TESTMODE_LEVEL_CHECK;
int screen_testmode::m_nCursor = 0;
unsigned long screen_testmode::m_nLastKey = 0;
int screen_testmode::m_bFlashLed_Rec = 0;
int screen_testmode::m_bFlashLed_Peak = 0;
int screen_testmode::m_bFlashLed_Camera = 0;
const char* screen_testmode::m_pTmpScreenName = nullptr;
int screen_testmode::m_nReadSector = -1;
int screen_testmode::m_bReadSectorOK = 1;
int screen_testmode::m_nLcdTestDraw = 0;
int screen_testmode::m_nFirstCameraDraw = 0;
unsigned char screen_testmode::m_abSector[TESTMODE_SECTOR_SIZE];

static int s_nContrast = 100;
static int s_nContrastRatio = 100;
static int s_nColorbar = 0;
static const char* const s_Version_Model = "KESTRA7";

static const char* const s_L1Names[TESTMODE_ENTRIES] = {"SW", "CARD", "VOLUME", "LCD", "RTC", "VERSION", "CAMERA", "BG"};

#define TESTMODE_IDENTIFY "CARD/Identify"
#define TESTMODE_CID_PATH "/sys/block/mmcblk0/device/cid"
#define TESTMODE_BRACKETS "[                  ]"
#define TESTMODE_LCD_FILLS 5

static const unsigned short s_awLcdFill[TESTMODE_LCD_FILLS] = {GUI_COLOR_BLACK, 0xF800, 0x07E0, 0x001F, 0xFFFF};

static int s_nLcdCounter = 0;
static int s_nBacklight = 0;  // the LCD page's backlight level, 0 until STOP sets one

int TestModeIsCameraMenu(void)
{
    return screen_testmode::m_nLevel == TESTMODE_LEVEL_PAGE && screen_testmode::m_nCursor == TESTMODE_CAMERA;
}

int screen_testmode::OnInitialize(void) { return 1; }
const char* screen_testmode::GetName(void) { return "testmode"; }

int screen_testmode::OnSetActive(CScreenBase* pPrevious)
{
    SCREEN_SetArrowRepeat(100);
    m_nLevel = TESTMODE_LEVEL_CHECK;
    m_nLastKey = 0;
    m_pTmpScreenName = nullptr;
    m_bReadSectorOK = 1;
    m_nReadSector = -1;
    m_bFlashLed_Rec = 0;
    m_bFlashLed_Peak = 0;
    m_bFlashLed_Camera = 0;
    m_nLcdTestDraw = 0;
    m_nFirstCameraDraw = 0;
    g_bTestCameraMode = 1;
    SetActionMode(ACTION_MODE_MOVIE);
    return 1;
}

// ---- Keys ---------------------------------------------------------------------

int screen_testmode::CheckPageKey(unsigned long dwMask)
{
    if (dwMask & KEY_RECORD)
        m_bFlashLed_Rec = 0;
    else if (dwMask & KEY_F3)
        m_bFlashLed_Peak = 0;
    else if (dwMask & KEY_F2)
        m_bFlashLed_Camera = 0;
    if (dwMask == KEY_MENU && m_nLastKey == KEY_MENU) {
        m_nLastKey = 0;
        m_nLevel = TESTMODE_LEVEL_MENU;
        LED_SetRec(0);
        LED_SetPeak(0);
        LED_SetCamera(0);
        return 1;
    }
    m_nLastKey = dwMask;
    return 1;
}

void screen_testmode::OpenPage(void)
{
    if (m_nCursor == TESTMODE_CAMERA) {
        // The capture device comes up in test camera mode; the picture is
        // shown without the graphics layer.
        unsigned long dwValue;
        for (int i = 0; i < 100 && !VPFE_GetCameraReg(0, &dwValue); ++i)
            SleepMS(10);
        FB_SetEnable(0);
        GRA_EnableMode(0);
        s_nColorbar = 0;
        VPFE_SetColorbar(0);
        m_nFirstCameraDraw = 2;
    } else if (m_nCursor == TESTMODE_LCD) {
        s_nBacklight = 0;
    }
    m_nLevel = TESTMODE_LEVEL_PAGE;
}

int screen_testmode::MenuKey(unsigned long dwMask)
{
    if (dwMask & KEY_UP) {
        if (m_nCursor >= 2)
            m_nCursor -= 2;
    } else if (dwMask & KEY_DOWN) {
        if (m_nCursor < TESTMODE_ENTRIES - 2)
            m_nCursor += 2;
    } else if (dwMask & KEY_LEFT) {
        m_nCursor &= ~1;
    } else if (dwMask & KEY_RIGHT) {
        m_nCursor |= 1;
    } else if (dwMask & KEY_ENTER) {
        OpenPage();
    } else if (dwMask & KEY_MENU) {
        m_nLevel = TESTMODE_LEVEL_CHECK;
        m_nLastKey = 0;
    } else {
        return 0;
    }
    return 1;
}

void screen_testmode::ReadNextSector(void)
{
    // After a failed read the same sector is tried again.
    int nSector = m_bReadSectorOK ? m_nReadSector + 1 : m_nReadSector;
    m_nReadSector = nSector;
    m_bReadSectorOK = 0;
    int hCard = SYS_open("/dev/mmcblk0", O_RDONLY);
    if (hCard < 0)
        return;
    if (SYS_lseek(hCard, static_cast<off_t>(nSector) * TESTMODE_SECTOR_SIZE, SEEK_SET) >= 0 &&
        SYS_read(hCard, m_abSector, TESTMODE_SECTOR_SIZE) == TESTMODE_SECTOR_SIZE)
        m_bReadSectorOK = 1;
    SYS_close(hCard);
}

static int Clamp(int nValue, int nLow, int nHigh)
{
    return nValue < nLow ? nLow : nValue > nHigh ? nHigh : nValue;
}

int screen_testmode::PageKey(unsigned long dwMask)
{
    if (dwMask & KEY_MENU) {
        if (m_nCursor == TESTMODE_LCD) {
            m_nLcdTestDraw = 0;
            if (s_nBacklight)
                LED_SetBacklight(static_cast<int>(GetParameter("/Setup/DIMMER", nullptr)));
        } else if (m_nCursor == TESTMODE_CAMERA) {
            s_nColorbar = 0;
            VPFE_SetColorbar(0);
            FB_SetEnable(1);
            GRA_EnableMode(1);
        }
        m_nLevel = TESTMODE_LEVEL_MENU;
        return 1;
    }
    switch (m_nCursor) {
    case TESTMODE_CARD:
        if (dwMask & KEY_MODE) {
            m_pTmpScreenName = TESTMODE_IDENTIFY;
        } else if (dwMask & KEY_PLAY) {
            ReadNextSector();
        } else if (dwMask & KEY_RECORD) {
            if (g_ScreenManager.Confirm("\nFormat Card. Are You Sure ?\n", KEY_F1, "YES", KEY_F3, "NO"))
                FormatSdCard();
        } else {
            return 0;
        }
        return 1;
    case TESTMODE_LCD:
        if (dwMask & KEY_LEFT)
            s_nContrast = Clamp(s_nContrast - 1, 0, 100);
        else if (dwMask & KEY_RIGHT)
            s_nContrast = Clamp(s_nContrast + 1, 0, 100);
        else if (dwMask & KEY_DOWN)
            s_nContrastRatio = Clamp(s_nContrastRatio - 1, 0, 100);
        else if (dwMask & KEY_UP)
            s_nContrastRatio = Clamp(s_nContrastRatio + 1, 0, 100);
        else if (dwMask & KEY_STOP) {
            s_nBacklight = s_nBacklight % 4 + 1;
            LED_SetBacklight(s_nBacklight);
        } else if (dwMask & KEY_DISPLAY)
            m_nLcdTestDraw = (m_nLcdTestDraw + 1) % TESTMODE_LCD_FILLS;
        else
            return 0;
        return 1;
    case TESTMODE_CAMERA:
        if (!(dwMask & KEY_MODE))
            return 0;
        s_nColorbar = 1 - s_nColorbar;
        VPFE_SetColorbar(s_nColorbar);
        return 1;
    default:
        return 0;
    }
}

int screen_testmode::OnButtonPress(unsigned long dwMask)
{
    if (m_pTmpScreenName) {
        m_pTmpScreenName = nullptr;
        return 1;
    }
    switch (m_nLevel) {
    case TESTMODE_LEVEL_CHECK:
        return CheckPageKey(dwMask);
    case TESTMODE_LEVEL_MENU:
        return MenuKey(dwMask);
    default:
        return PageKey(dwMask);
    }
}

int screen_testmode::OnButtonLongPress(unsigned long dwMask)
{
    if (m_nLevel != TESTMODE_LEVEL_CHECK)
        return 0;
    if (dwMask & KEY_RECORD)
        m_bFlashLed_Rec = 1;
    else if (dwMask & KEY_F3)
        m_bFlashLed_Peak = 1;
    else if (dwMask & KEY_F2)
        m_bFlashLed_Camera = 1;
    else
        return 0;
    return 1;
}

int screen_testmode::OnDraw50ms(int& bDrawn)
{
    bDrawn = 0;
    if (m_nLevel != TESTMODE_LEVEL_CHECK)
        return 0;
    int bBlink = GetTime() % 500 < 250;
    LED_SetRec(m_bFlashLed_Rec ? bBlink : g_ScreenManager.GetButtonState(KEY_RECORD));
    LED_SetPeak(m_bFlashLed_Peak ? bBlink : g_ScreenManager.GetButtonState(KEY_F3));
    LED_SetCamera(m_bFlashLed_Camera ? bBlink : g_ScreenManager.GetButtonState(KEY_F2));
    return 0;
}

// ---- Drawing ------------------------------------------------------------------

static void DrawText(int x, int y, const char* sz)
{
    GRA_DrawStringS(x, y, sz, GUI_COLOR_WHITE, g_pFont_a20, 0);
}

// A key on its key-cap frame (black on the cap), then what it does.
static void DrawKeyLine(int y, const char* szKey, const char* szAction)
{
    int nWidth, nHeight;
    GRA_CalcStringS(&nWidth, &nHeight, szKey, g_pFont_a20, nullptr);
    GRA_DrawStringS(20, y, szKey, GUI_COLOR_BLACK, g_pFont_a20, 0);
    DrawText(20 + nWidth, y, szAction);
}

// "LABEL[                  ]" right-aligned at x = 240, the value centred
// between the brackets.
static void DrawBracketRow(int y, const char* szLabel, const char* szValue)
{
    char szRow[64];
    snprintf(szRow, sizeof(szRow), "%s%s", szLabel, TESTMODE_BRACKETS);
    int nRow, nLabel, nClose, nHeight;
    char szLabelOpen[32];
    snprintf(szLabelOpen, sizeof(szLabelOpen), "%s[", szLabel);
    GRA_CalcStringS(&nRow, &nHeight, szRow, g_pFont_a20, nullptr);
    GRA_CalcStringS(&nLabel, &nHeight, szLabelOpen, g_pFont_a20, nullptr);
    GRA_CalcStringS(&nClose, &nHeight, "]", g_pFont_a20, nullptr);
    int x = 240 - nRow;
    GRA_DrawStringSR(240, y, szRow, GUI_COLOR_WHITE, g_pFont_a20);
    GRA_DrawStringSC(x + nLabel, y, nRow - nLabel - nClose, szValue, GUI_COLOR_WHITE, g_pFont_a20);
}

void screen_testmode::DrawCheckPage(void)
{
    DrawHeader("TEST MODE");
    char szValue[32];
    KEY_GetName(szValue, static_cast<int>(g_ScreenManager.m_dwButtonState), 0);
    DrawBracketRow(70, "KEY", szValue);
    snprintf(szValue, sizeof(szValue), "%d", g_Msp430_nBatteryVolt);
    DrawBracketRow(100, "POWER", szValue);
    DrawBatteryIcon(268, 105);
    DrawBracketRow(130, "CARD", (KEY_Get(0, nullptr) & KEY_SD_DETECT) ? "IN" : "OUT");
}

void screen_testmode::DrawMenu(void)
{
    DrawHeader("TEST MENU");
    for (int i = 0; i < TESTMODE_ENTRIES; ++i) {
        int x = (i % 2) ? 172 : 28;
        int y = 50 + 40 * (i / 2);
        unsigned short wColor = GUI_COLOR_WHITE;
        if (i == m_nCursor) {
            GRA_TileBlt(x - 8, y - 4, 128, 28, g_pBmp_selected);
            wColor = GUI_COLOR_BLACK;
        }
        GRA_DrawStringS(x, y, s_L1Names[i], wColor, g_pFont_a20, 0);
    }
}

// Card identification register: manufacturer, OEM, product name, serial
// number and date, and the card's size as the block device reports it.
void screen_testmode::DrawIdentify(void)
{
    DrawHeader(TESTMODE_IDENTIFY);
    int hCard = SYS_open("/dev/mmcblk0", O_RDONLY);
    if (hCard < 0) {
        GRA_DrawStringSC(0, 100, GRA_WIDTH, "SD-CARD ACCESS ERROR", GUI_COLOR_RED, g_pFont_a20);
        return;
    }
    unsigned long dwSectors = 0;
    int nSectorSize = 0;
    SYS_ioctl(hCard, BLKGETSIZE, &dwSectors);
    SYS_ioctl(hCard, BLKSSZGET, &nSectorSize);
    SYS_close(hCard);

    char szHex[40] = "";
    FILE* fp = SYS_fopen(TESTMODE_CID_PATH, "r");
    if (fp) {
        if (!fgets(szHex, sizeof(szHex), fp))
            szHex[0] = 0;
        fclose(fp);
    }
    unsigned char aCid[16];
    Hex2Bytes(aCid, szHex, 0);
    auto shown = [](unsigned char c) { return (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.'; };

    char aszValue[6][48];
    snprintf(aszValue[0], sizeof(aszValue[0]), ":%02X", aCid[0]);
    snprintf(aszValue[1], sizeof(aszValue[1]), ":%04X \"%c%c\"", (aCid[1] << 8) | aCid[2], shown(aCid[1]),
             shown(aCid[2]));
    snprintf(aszValue[2], sizeof(aszValue[2]), ":\"%c%c%c%c%c\"", shown(aCid[3]), shown(aCid[4]), shown(aCid[5]),
             shown(aCid[6]), shown(aCid[7]));
    snprintf(aszValue[3], sizeof(aszValue[3]), ":%08X",
             (static_cast<unsigned>(aCid[9]) << 24) | (aCid[10] << 16) | (aCid[11] << 8) | aCid[12]);
    snprintf(aszValue[4], sizeof(aszValue[4]), ":%03X", ((aCid[13] & 0x0F) << 8) | aCid[14]);
    snprintf(aszValue[5], sizeof(aszValue[5]), ":%lld",
             static_cast<long long>(dwSectors) * static_cast<long long>(nSectorSize));
    static const char* const s_aszLabel[6] = {"MID", "OID", "PNM", "PSN", "MDT", "SIZE"};
    for (int i = 0; i < 6; ++i) {
        DrawText(20, 40 + 28 * i, s_aszLabel[i]);
        DrawText(90, 40 + 28 * i, aszValue[i]);
    }
}

void screen_testmode::DrawPage(void)
{
    char szLine[64];
    switch (m_nCursor) {
    case TESTMODE_SW: {
        static const char* const s_aszName[] = {"HOLD", "SPEAKER", "PHONE", "EXT IN", "CAMERA"};
        static const unsigned long s_adwBit[] = {KEY_HOLD, KEY_SPEAKER, KEY_PHONE_DETECT, KEY_MIC_DETECT,
                                                 KEY_CAMERA_SW};
        unsigned long dwKeys = KEY_Get(0, nullptr);
        for (int i = 0; i < 5; ++i) {
            int y = 50 + 30 * i;
            DrawText(20, y, s_aszName[i]);
            DrawText(140, y, TESTMODE_BRACKETS);
            int nWidth, nHeight;
            GRA_CalcStringS(&nWidth, &nHeight, TESTMODE_BRACKETS, g_pFont_a20, nullptr);
            GRA_DrawStringSC(140, y, nWidth, (dwKeys & s_adwBit[i]) ? "ON" : "OFF", GUI_COLOR_WHITE, g_pFont_a20);
        }
        break;
    }
    case TESTMODE_CARD:
        DrawKeyLine(50, "\a  MODE  \a", " Identify");
        DrawKeyLine(80, "\a  PLAY  \a", " Read One");
        DrawKeyLine(110, "\a  REC  \a", " Format");
        if (m_nReadSector >= 0) {
            snprintf(szLine, sizeof(szLine), "Read [ %d ] Sector", m_nReadSector);
            DrawText(20, 150, szLine);
            DrawText(20, 180, m_bReadSectorOK ? "Read Ok" : "Read Failed!");
        }
        break;
    case TESTMODE_VOLUME:
        DrawText(20, 100, "INPUT");
        snprintf(szLine, sizeof(szLine), "[ %d ]", g_Msp430_nInputVolume);
        DrawText(140, 100, szLine);
        break;
    case TESTMODE_LCD:
        // The fill covers the whole panel; the texts are edged to read on any colour.
        GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, s_awLcdFill[m_nLcdTestDraw]);
        DrawHeader("LCD");
        snprintf(szLine, sizeof(szLine), "VOL   : %d", s_nContrast);
        GRA_DrawStringF(20, 50, szLine, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a20, 0);
        snprintf(szLine, sizeof(szLine), "Ratio : %d", s_nContrastRatio);
        GRA_DrawStringF(20, 80, szLine, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a20, 0);
        GRA_DrawStringF(20, 120, "ABCDEFG1234567", GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a20, 0);
        snprintf(szLine, sizeof(szLine), "%02d", s_nLcdCounter);
        GRA_DrawStringF(20, 160, szLine, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a20, 0);
        s_nLcdCounter = (s_nLcdCounter + 1) % 100;
        break;
    case TESTMODE_RTC: {
        int nYear, nMonth, nDay, nHour, nMinute, nSecond;
        if (!RTC_Read(&nYear, &nMonth, &nDay, &nHour, &nMinute, &nSecond)) {
            RTC_Write(2012, 7, 1, 10, 0, 0);
            nYear = 2012, nMonth = 7, nDay = 1, nHour = 10, nMinute = 0, nSecond = 0;
        }
        snprintf(szLine, sizeof(szLine), "TIME : %02d %02d %02d", nHour, nMinute, nSecond);
        DrawText(20, 80, szLine);
        snprintf(szLine, sizeof(szLine), "DATE : %02d %02d %02d", nYear % 100, nMonth, nDay);
        DrawText(20, 120, szLine);
        break;
    }
    case TESTMODE_VERSION: {
        snprintf(szLine, sizeof(szLine), "Model : %s", s_Version_Model);
        DrawText(20, 50, szLine);
        char szVersion[32];
        GetVersionText(szVersion, sizeof(szVersion), g_szVersionSystem);
        snprintf(szLine, sizeof(szLine), "ver     : %s", szVersion);
        DrawText(20, 80, szLine);
        char szPath[512];
        GetMyPath(szPath, sizeof(szPath));
        struct stat st;
        if (SYS_stat(szPath, &st) == 0) {
            struct tm tmFile;
            localtime_r(&st.st_mtime, &tmFile);
            strftime(szLine, sizeof(szLine), "Date   : %b %d %Y", &tmFile);
            DrawText(20, 110, szLine);
            strftime(szLine, sizeof(szLine), "Time   : %H:%M:%S", &tmFile);
            DrawText(20, 140, szLine);
        }
        break;
    }
    case TESTMODE_CAMERA:
        return;
    default:
        DrawText(20, 100, " ?");
        break;
    }
}

int screen_testmode::OnDraw500ms(void)
{
    if (m_nLevel == TESTMODE_LEVEL_PAGE && m_nCursor == TESTMODE_CAMERA) {
        // The graphics layer is off; the first draws make it transparent too.
        if (m_nFirstCameraDraw > 0) {
            GRA_EnableMode(1);
            GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, 0xF81F);
            GRA_EnableMode(0);
            --m_nFirstCameraDraw;
        }
        return 0;
    }
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    if (m_pTmpScreenName) {
        DrawIdentify();
        return 0;
    }
    switch (m_nLevel) {
    case TESTMODE_LEVEL_CHECK:
        DrawCheckPage();
        break;
    case TESTMODE_LEVEL_MENU:
        DrawMenu();
        break;
    default:
        DrawHeader(s_L1Names[m_nCursor]);
        DrawPage();
        break;
    }
    return 0;
}

CScreenBase* CreateScreen_testmode(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_testmode::OnInitialize;
    s_table.GetName = screen_testmode::GetName;
    s_table.OnSetActive = screen_testmode::OnSetActive;
    s_table.OnButtonPress = screen_testmode::OnButtonPress;
    s_table.OnButtonRepeat = screen_testmode::OnButtonPress;
    s_table.OnButtonLongPress = screen_testmode::OnButtonLongPress;
    s_table.OnDraw500ms = screen_testmode::OnDraw500ms;
    s_table.OnDraw50ms = screen_testmode::OnDraw50ms;
    s_table.OnInitialize();
    return &s_table;
}
