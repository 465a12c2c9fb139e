#include "Middleware/GUI/AppMain.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Rtc.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/Recovery.h"
#include "Middleware/CODEC/Jpeg.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "player/Player.h"

#include <stdio.h>

DWORD g_dwPowerOffTime = 0;
int g_FW_UPDATE = 0;
int g_FW_UPDATE_DEBUG = 0;
const char* g_strInitMode = "player";

#define APP_PASS_MS 50
#define APP_BATTERY_EMPTY_MS 15000
#define APP_DIMMER_WAKE_MS 5000
#define APP_HOLD_MESSAGE_MS 2000
#define APP_RECOVERED_MESSAGE_MS 3000

// Kept across the nested instances of the loop.
static int s_bHdmiSeen = -1;      // HDMI state seen last; -1 until the first pass
static int s_nInputVolume = -1;   // input volume last applied to the recording level

static int SettingInt(const char* szKey)
{
    return static_cast<int>(GetParameter(szKey, nullptr));
}

// State of one running instance of the loop.
struct MAIN_LOOP
{
    int bRedraw;
    int nCounter;
    unsigned long dwLastKeys;
    DWORD dwBacklightStart;
    DWORD dwAutoOffStart;
    int bBacklightOff;
    DWORD dwLoopStart;
};

static void AutoPowerOff(MAIN_LOOP& loop, DWORD dwNow)
{
    int nMinutes = SettingInt("/Setup/AUTO OFF");
    if (nMinutes <= 0)
        return;
    if (!g_bRecorder && (PL_IsPlaying() || PL_GetSlideShowing()))
        loop.dwAutoOffStart = dwNow;
    else if (g_bRecorder && REC_IsRecording())
        loop.dwAutoOffStart = dwNow;
    else if (DeltaTime(loop.dwAutoOffStart, dwNow) > static_cast<DWORD>(nMinutes) * 60000U)
        PowerOff();
}

static void DimmerWakeEnd(DWORD dwNow)
{
    if (!g_bDimmerBacklightOn)
        return;
    int nDimmer = SettingInt("/Setup/DIMMER");
    if (nDimmer != 0) {
        LED_SetBacklight(nDimmer);
        g_bDimmerBacklightOn = 0;
    } else if (DeltaTime(g_dwDimmerPreTime, dwNow) > APP_DIMMER_WAKE_MS) {
        LED_SetBacklight(0);
        g_bDimmerBacklightOn = 0;
    }
}

static void BacklightTimeout(MAIN_LOOP& loop, DWORD dwNow)
{
    if (g_Msp430_bAdapterConnect) {
        if (loop.bBacklightOff) {
            LED_SetBacklight(SettingInt("/Setup/DIMMER"));
            loop.dwBacklightStart = dwNow;
            loop.bBacklightOff = 0;
        }
        return;
    }
    int nSeconds = SettingInt("/Setup/BACKLIGHT");
    if (nSeconds > 0 && DeltaTime(loop.dwBacklightStart, dwNow) > static_cast<DWORD>(nSeconds) * 1000U) {
        LED_SetBacklight(0);
        loop.bBacklightOff = 1;
    }
}

static void Draw500ms(MAIN_LOOP& loop)
{
    loop.bRedraw = g_ScreenManager.OnDraw500ms(loop.bRedraw);
    DWORD dwNow = GetTime();
    AutoPowerOff(loop, dwNow);
    DimmerWakeEnd(dwNow);
    BacklightTimeout(loop, dwNow);
}

static void DrawNoCard(unsigned long dwKeys)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    if (dwKeys & KEY_SD_DETECT) {
        if (g_FW_UPDATE)
            DrawHeader("F/W UPDATE");
        GRA_DrawStringSC(0, 100, GRA_WIDTH, "SDCARD CHECKING...", GUI_COLOR_WHITE, g_pFont_a20);
    } else {
        GRA_DrawStringSC(0, 100, GRA_WIDTH, "--- NO SDCARD ---", GUI_COLOR_RED, g_pFont_a20);
    }
    FB_Flip();
}

void AppMainLoop(void)
{
    MAIN_LOOP loop;
    DWORD dwStart = GetTime();
    loop.bRedraw = 0;
    loop.nCounter = 0;
    loop.dwLastKeys = 0;
    loop.dwBacklightStart = dwStart;
    loop.dwAutoOffStart = dwStart;
    loop.bBacklightOff = 0;
    loop.dwLoopStart = dwStart;
    g_dwDimmerPreTime = dwStart;
    if (s_bHdmiSeen < 0)
        s_bHdmiSeen = g_bDispHdmi;

    while (!g_bQuit) {
        // Input volume knob: the recording level follows it in the recorder.
        MSP430_UpdateF1();
        if (g_bRecorder && g_Msp430_nInputVolume != s_nInputVolume) {
            SND_SetRecVolume(g_Msp430_nInputVolume);
            s_nInputVolume = g_Msp430_nInputVolume;
        }

        int bBlocked = 0;
        unsigned long dwKeys = KEY_Get(1, &bBlocked);
        if (g_ScreenManager.UpdateButtonState(dwKeys))
            loop.bRedraw = 1;

        if (dwKeys != loop.dwLastKeys) {
            DWORD dwNow = GetTime();
            loop.dwBacklightStart = dwNow;
            loop.dwAutoOffStart = dwNow;
            if (loop.bBacklightOff) {
                LED_SetBacklight(SettingInt("/Setup/DIMMER"));
                loop.bBacklightOff = 0;
            }
            loop.dwLastKeys = dwKeys;
        }

        // The box this instance runs for is answered or timed out.
        if (g_ScreenManager.m_nBoxState == BOX_CONFIRM && g_ScreenManager.m_nBoxResult != -1) {
            g_ScreenManager.m_nBoxState = BOX_NONE;
            return;
        }
        if (g_ScreenManager.m_nBoxState == BOX_TIMER &&
            DeltaTime(loop.dwLoopStart, GetTime()) >= g_ScreenManager.m_dwBoxTimeout) {
            g_ScreenManager.m_nBoxState = BOX_NONE;
            g_ScreenManager.m_nBoxResult = 0;
            return;
        }

        if (g_bPowerOffReq) {
            if (g_dwPowerOffTime == 0) {
                g_dwPowerOffTime = GetTime();
                g_ScreenManager.Error("Battery Empty");
                loop.bRedraw = 1;
            }
            if (DeltaTime(g_dwPowerOffTime, GetTime()) > APP_BATTERY_EMPTY_MS)
                PowerOff();
        }

        if (g_bDispHdmi != s_bHdmiSeen) {
            s_bHdmiSeen = g_bDispHdmi;
            loop.bRedraw = 1;
        }

        if (g_bUsbMode) {
            GRA_BitBlt(0, 0, g_pBmp_usb_bg);
            FB_SetEnable(1);
            FB_Flip();
            SleepMS(APP_PASS_MS);
            loop.bRedraw = 1;
            continue;
        }

        if (g_bSdCardFormatReq) {
            g_bSdCardFormatReq = 0;
            g_bSdCardFormatting = 1;
            if (g_ScreenManager.Confirm("--- FORMAT ERROR ---\nFormat this card. Are You Sure ?", KEY_F1, "Yes",
                                        KEY_F3, "No"))
                FormatSdCard();
            g_bSdCardFormatting = 0;
        } else if (g_bSdCardFormatting) {
            GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
            g_ScreenManager.DrawConfirmBox();
            loop.bRedraw = 1;
            FB_Flip();
        } else if (!g_bSdCard) {
            DrawNoCard(dwKeys);
            loop.bRedraw = 1;
        } else if (g_nRecoveredFiles > 0 && g_ScreenManager.m_nBoxState == BOX_NONE) {
            char szText[64];
            snprintf(szText, sizeof(szText), "\nRecovered %d file(s)\n\n", g_nRecoveredFiles);
            g_nRecoveredFiles = 0;
            g_ScreenManager.ConfirmTimer(szText, APP_RECOVERED_MESSAGE_MS);
            loop.bRedraw = 1;
        } else if (bBlocked && g_ScreenManager.m_nBoxState != BOX_TIMER) {
            g_ScreenManager.ConfirmTimer("\nHOLD ON!\n\n", APP_HOLD_MESSAGE_MS);
            loop.bRedraw = 1;
        } else if (loop.bRedraw || loop.nCounter == 0) {
            Draw500ms(loop);
            loop.nCounter = 9;
        } else {
            if (loop.nCounter & 1)
                loop.bRedraw = g_ScreenManager.OnDraw50ms();
            else
                loop.bRedraw = g_ScreenManager.OnDraw100ms();
            --loop.nCounter;
        }

        SleepMS(APP_PASS_MS);
    }
}

// ---- The thread -------------------------------------------------------------------

struct INIT_STEP
{
    int (*pfnInit)(void);
    void (*pfnExit)(void);
    const char* szFailure;
};

static int InitHdmi(void) { return HDIM_Init(); }

static const INIT_STEP s_aInitStep[] = {
    {LED_Init, LED_Exit, "LED_Init() failed.\n"},
    {RTC_Init, RTC_Exit, "RTC_Init() failed.\n"},
    {MSP430_Init, MSP430_Exit, "MSP430_Init() failed.\n"},
    {KEY_Init, KEY_Exit, "KEY_Init() failed.\n"},
    {FB_Init, FB_Exit, "FB_Init() failed.\n"},
    {GRA_Init, nullptr, "GRA_Init() failed.\n"},
    {GUI_Init, nullptr, "GUI_Init() failed.\n"},
    {PL_Init, nullptr, "PL_Init() failed.\n"},
    {InitHdmi, nullptr, "HDIM_Init() failed.\n"},
};

#define INIT_STEPS (static_cast<int>(sizeof(s_aInitStep) / sizeof(s_aInitStep[0])))
#define INIT_STEP_PLAYER 7

// Returns the number of steps that succeeded.
static int InitDevices(void)
{
    for (int i = 0; i < INIT_STEPS; ++i) {
        if (!s_aInitStep[i].pfnInit()) {
            perror(s_aInitStep[i].szFailure);
            return i;
        }
    }
    return INIT_STEPS;
}

static void ExitDevices(int nDone)
{
    for (int i = nDone - 1; i >= 0; --i) {
        if (s_aInitStep[i].pfnExit)
            s_aInitStep[i].pfnExit();
    }
}

static void RegisterScreens(void)
{
    CScreenBase* (*const apfnCreate[])(void) = {
        CreateScreen_popup,    CreateScreen_browse,   CreateScreen_player,
        CreateScreen_menu,     CreateScreen_testmode, CreateScreen_datetime,
        CreateScreen_filename, CreateScreen_info,     CreateScreen_fwupdate,
    };
    for (auto pfnCreate : apfnCreate)
        g_ScreenManager.Add(pfnCreate());
}

static void PresetClockIfInvalid(void)
{
    if (!RTC_IsValid())
        RTC_Write(2012, 7, 1, 10, 0, 0);
}

static void ChooseFirstScreen(unsigned long dwKeys)
{
    const unsigned long dwTestMode = KEY_STOP | KEY_DISPLAY;
    const unsigned long dwFwUpdate = KEY_PLAY | KEY_RECORD | KEY_F3;
    if ((dwKeys & dwTestMode) == dwTestMode) {
        PresetClockIfInvalid();
        g_ScreenManager.SetActive("testmode", 1);
    } else if ((dwKeys & dwFwUpdate) == dwFwUpdate) {
        printf(" ================= Start FW UPDATE ==============\n");
        g_FW_UPDATE = 1;
        g_FW_UPDATE_DEBUG = 0;
        g_ScreenManager.SetActive("fwupdate", 1);
    } else {
        KEY_EnableHold(1);
        if (!RTC_IsValid()) {
            RTC_Write(2012, 7, 1, 10, 0, 0);
            g_ScreenManager.SetActive("datetime", 1);
        } else {
            g_ScreenManager.SetActive(g_strInitMode, 1);
        }
    }
}

void* AppMain(void* pArg)
{
    int nDone = InitDevices();
    if (nDone < INIT_STEPS) {
        // Without a user interface the rest of the system still runs: the
        // player threads are parties of both meeting points.
        if (nDone < INIT_STEP_PLAYER && !PL_Init())
            perror("PL_Init() failed.\n");
        Rendezvous_meet(g_hRendezvousInit);
        Rendezvous_meet(g_hRendezvousCleanup);
        ExitDevices(nDone);
        return nullptr;
    }

    SND_ValInit();
    unsigned long dwKeys = KEY_Get(1, nullptr);
    LED_SetBacklight(SettingInt("/Setup/DIMMER"));
    g_bCameraFlip = (dwKeys & KEY_CAMERA_SW) ? 0 : 1;
    RegisterScreens();
    Rendezvous_meet(g_hRendezvousInit);

    ChooseFirstScreen(dwKeys);
    AppMainLoop();

    JPEG_Exit();
    FB_Exit();
    KEY_Exit();
    MSP430_Exit();
    RTC_Exit();
    LED_Exit();
    SND_ValExit();
    Rendezvous_meet(g_hRendezvousCleanup);
    return nullptr;
}
