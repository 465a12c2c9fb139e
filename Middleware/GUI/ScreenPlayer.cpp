// The player/recorder screen: its state, the key dispatch, the recorder's
// keys and timers, and the OSD rules over HDMI pictures.
#include "Middleware/GUI/ScreenPlayer.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Media/MovRecorder.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"

#include <stdio.h>
#include <string.h>

int screen_player::m_nAllDraw = 2;
int screen_player::m_bIsFirstDraw = 0;
int screen_player::m_bFileChanging = 0;
int screen_player::m_bSpeedPopup = 0;
int screen_player::m_bIoPopup = 0;
int screen_player::m_nVolumePopup = 0;
int screen_player::m_bDeletePopup = 0;
int screen_player::m_nSeekSpeedType = 0;
DWORD screen_player::m_dwSeekStartTime = 0;
int screen_player::m_nSelfTimer = 0;
DWORD screen_player::m_dwPreSelfTimerCheckTime = 0;
int screen_player::m_nSlideShowTimer = 0;
DWORD screen_player::m_dwPreSlideShowCheckTime = 0;
int screen_player::m_bStopAfterRecReq = 0;
int screen_player::m_bOsdDrawEnable = 1;
int screen_player::m_bPreFBenable = 1;
int screen_player::m_nClearMode = CLEAR_TRANSPARENT;
int screen_player::m_nDispTitlePos = 0;
char screen_player::m_curDir[256] = "";
char screen_player::m_curFile[256] = "";
char screen_player::s_szAfterRecPath[256] = "";
unsigned char screen_player::m_VramSv[SCREEN_FRAME_BYTES];

#define TEMP_PHOTO_PATH SDCARD_ROOT "/.tmp.jpg"
#define FILE_COUNT_FULL 9999
#define WRITER_WAIT_POLLS 250  // 20 ms apart: 5 s
#define NEW_FILE_WAIT_POLLS 33 // 90 ms apart: about 3 s

static int SettingInt(const char* szKey)
{
    return static_cast<int>(GetParameter(szKey, nullptr));
}

// ---- Lifecycle -----------------------------------------------------------------

int screen_player::OnInitialize(void)
{
    m_dwSeekStartTime = 0;
    g_nPlaybackVol = SettingInt("/GLOBAL/PLAY VOL");
    m_nSelfTimer = 0;
    g_nZoom = SettingInt("/GLOBAL/ZOOM");
    if (g_nZoom == 0)
        g_nZoom = 100;
    SND_SetPlayVolume(g_nPlaybackVol);
    m_nSeekSpeedType = 0;
    return 1;
}

const char* screen_player::GetName(void) { return "player"; }

void screen_player::ResetAllDraw(void) { m_nAllDraw = 2; }

void screen_player::OnTimer(unsigned long dwMask) {}

int screen_player::OnCommand(int nIndex, const char* szText) { return 0; }

int screen_player::OnSetActive(CScreenBase* pPrevious)
{
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_T, g_bRecorder ? 100 : 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_W, g_bRecorder ? 100 : 0);

    m_bSpeedPopup = 0;
    if (m_bIoPopup)
        g_ctrlIoRepeat.EndSetting();
    m_bIoPopup = 0;
    m_nVolumePopup = 0;
    m_nSlideShowTimer = 0;
    g_bPhotoCaptured = 0;
    m_bIsFirstDraw = 0;
    m_bFileChanging = 0;
    m_bStopAfterRecReq = 0;
    m_nClearMode = CLEAR_TRANSPARENT;
    m_bOsdDrawEnable = 1;
    m_bPreFBenable = 1;
    g_RemainMedia.Update();

    if (g_bRecorder) {
        SND_SetPlayVolume(g_nPlaybackVol);
        if (!g_bRecording) {
            g_PlaylistCtrl.GetCurrentDir(m_curDir);
            m_curFile[0] = 0;
        }
        if (GetActionMode() == ACTION_MODE_SOUND) {
            g_nZoom = 100;
        } else {
            g_nZoom = SettingInt("/GLOBAL/ZOOM");
            if (g_nZoom == 0)
                g_nZoom = 100;
        }
        return 0;
    }

    if (g_PlaylistCtrl.GetCount() > 0 && !PL_IsPlaying()) {
        if (g_bBrowsePlayHDMI) {
            // The browse screen has started this file on HDMI already.
            g_bBrowsePlayHDMI = 0;
            g_PlaylistCtrl.GetCurrentFileName(m_curFile);
            g_PlaylistCtrl.GetCurrentFileDir(m_curDir);
            return 0;
        }
        int nMode = GetActionMode();
        if (nMode == ACTION_MODE_PHOTO || (nMode == ACTION_MODE_MOVIE && (KEY_Get(0, nullptr) & KEY_HDMI_DETECT)))
            g_bKeepStop = 1;
        if (g_bAfterRecMode)
            g_bKeepStop = 0;  // a dub plays the file
        if (!OpenCurrent()) {
            g_bKeepStop = 0;
            return 0;
        }
        if (g_bAfterRecMode)
            StartAfterRec();
        if (!g_bKeepStop)
            DisableDrawOsd();
        if (g_bDispHdmi)
            g_bSetAV_MuteOFF_Flag = 1;
        PL_Play();
        PL_WaitKeepStop();
    } else if (g_PlaylistCtrl.GetCount() > 0) {
        g_PlaylistCtrl.GetCurrentFileName(m_curFile);
        g_PlaylistCtrl.GetCurrentFileDir(m_curDir);
    }
    return 0;
}

int screen_player::OnKillActive(CScreenBase* pNext)
{
    m_bIsFirstDraw = 0;
    m_bFileChanging = 0;
    EnableDrawOsd();
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_W, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_T, 0);
    return 0;
}

// ---- The list ------------------------------------------------------------------

int screen_player::OpenCurrent(void)
{
    char szPath[256];
    char szReal[300];
    g_PlaylistCtrl.GetCurrentFilePath(szPath);
    g_PlaylistCtrl.GetCurrentFileName(m_curFile);
    g_PlaylistCtrl.GetCurrentFileDir(m_curDir);
    m_nDispTitlePos = 0;
    if (!szPath[0])
        return 0;
    ToRealPath(szReal, szPath);
    return PL_Open(szReal);
}

int screen_player::ShowCurrent(void)
{
    g_bKeepStop = 1;
    if (!OpenCurrent()) {
        g_bKeepStop = 0;
        return 0;
    }
    PL_Play();
    PL_WaitKeepStop();
    return 1;
}

void screen_player::RescanSelect(int nIndex)
{
    g_PlaylistCtrl.ScanPlaylist();
    int nCount = g_PlaylistCtrl.GetCount();
    if (nIndex >= nCount)
        nIndex = nCount - 1;
    if (nIndex < 0)
        nIndex = 0;
    g_PlaylistCtrl.SetCurrentIndex(nIndex);
}

// ---- Key dispatch ------------------------------------------------------------------

int screen_player::OnButtonRepeat(unsigned long dwMask)
{
    return OnButtonPress(dwMask);
}

int screen_player::OnButtonPress(unsigned long dwMask)
{
    if (g_bUsbMode || g_bSdCardFormatReq || g_bSdCardFormatting || !g_bSdCard)
        return 0;

    unsigned long dwKey = dwMask;
    int bRedraw = 0;
    if (m_nVolumePopup)
        bRedraw |= OnButtonPress_VolumePopup(dwKey);

    if (g_bAfterRecording)
        return bRedraw | OnButtonPress_AfterRec(dwKey);

    if (!g_bRecorder)
        bRedraw |= OnButtonPress_Play(dwKey);
    else
        bRedraw |= OnButtonPress_Rec(dwKey);

    // Whatever is left: the volume popup and the OSD window.
    if (g_ScreenManager.GetActiveScreen() && strcmp(g_ScreenManager.GetActive(), "player") == 0) {
        if (GetActionMode() != ACTION_MODE_PHOTO && (dwKey & (KEY_UP | KEY_DOWN))) {
            dwKey &= ~(KEY_UP | KEY_DOWN);
            m_nVolumePopup = PLAYER_POPUP_TICKS;
            bRedraw = 1;
        }
        if ((dwKey & KEY_DISPLAY) && m_bOsdDrawEnable) {
            dwKey &= ~KEY_DISPLAY;
            FB_ToggleEnable();
        }
    }
    if (bRedraw || dwKey != dwMask)
        g_RemainMedia.Update();
    return bRedraw;
}

int screen_player::OnButtonPress_VolumePopup(unsigned long& dwKey)
{
    dwKey &= ~(KEY_F1 | KEY_F2);
    if (dwKey & KEY_F3) {
        dwKey &= ~KEY_F3;
        m_nVolumePopup = 0;
        return 1;
    }
    int nStep = (dwKey & KEY_UP) ? 1 : (dwKey & KEY_DOWN) ? -1 : 0;
    if (nStep == 0)
        return 0;
    dwKey &= ~(KEY_UP | KEY_DOWN);
    g_nPlaybackVol += nStep;
    if (g_nPlaybackVol > PLAYER_VOLUME_MAX)
        g_nPlaybackVol = PLAYER_VOLUME_MAX;
    if (g_nPlaybackVol < 0)
        g_nPlaybackVol = 0;
    SND_SetPlayVolume(g_nPlaybackVol);
    SetParameter("/GLOBAL/PLAY VOL", static_cast<float>(g_nPlaybackVol));
    m_nVolumePopup = PLAYER_POPUP_TICKS;
    return 0;
}

// During a dub only STOP acts: it finishes the dub (LEFT and RIGHT ask for
// the same at the next tick).
int screen_player::OnButtonPress_AfterRec(unsigned long& dwKey)
{
    if (dwKey & (KEY_LEFT | KEY_RIGHT)) {
        dwKey = 0;
        m_bStopAfterRecReq = 1;
        return 0;
    }
    if (!(dwKey & KEY_STOP))
        return 0;
    dwKey = 0;
    if (PL_IsPlaying())
        PL_Pause();
    StopAfterRec();
    return 1;
}

// ---- Recorder keys -------------------------------------------------------------

int screen_player::OnButtonPress_Rec(unsigned long& dwKey)
{
    if (g_bAfterRecMode) {
        if (dwKey & KEY_RECORD) {
            // The dub starts when the screen opens as the player.
            dwKey = 0;
            g_bRecorder = 0;
            g_bDivideMode = 0;
            g_bKeepStop = 0;
            g_ScreenManager.SetActive("player", 1);
            return 1;
        }
        if (dwKey & KEY_STOP)
            g_bAfterRecMode = 0;
    }
    if (GetActionMode() == ACTION_MODE_PHOTO)
        return OnButtonPress_RecPhoto(dwKey);
    return OnButtonPress_RecMovieAndAudio(dwKey);
}

int screen_player::OnButtonPress_RecMovieAndAudio(unsigned long& dwKey)
{
    const int nMode = GetActionMode();
    const int bRunning = g_bRecording && !g_bRecPause;
    int bRedraw = 0;

    if (dwKey & (bRunning ? (KEY_F1 | KEY_UP | KEY_DOWN) : (KEY_F2 | KEY_F3 | KEY_UP | KEY_DOWN)))
        FB_SetEnable(1);

    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        if (bRunning) {
            // Divide the recording: the writer goes on in a new file.
            g_bFileIncrementReq = 1;
            for (int i = 0; i < NEW_FILE_WAIT_POLLS && g_bFileIncrementReq; ++i)
                SleepMS(90);
            bRedraw = 1;
        } else if (nMode == ACTION_MODE_SOUND) {
            if (g_bPhotoCaptured) {
                SYS_unlink(TEMP_PHOTO_PATH);
                g_bPhotoCaptured = 0;
                FB_SetEnable(1);
            } else if (!IsSnapImageTemp()) {
                int nResult = SnapImageTemp();
                if (nResult != 0)
                    ERR_PRINT("JPEG Snap Error!! [%d]\n", nResult);
            }
            bRedraw = 1;
        }
    }
    if (dwKey & (KEY_F2 | KEY_F3)) {
        int bInput = (dwKey & KEY_F2) != 0;
        dwKey &= ~(KEY_F2 | KEY_F3);
        if (!g_bRecording) {
            if (bInput)
                g_bMenuInputSetting = 1;
            else
                g_bMenuRecSetting = 1;
            g_ScreenManager.SetActive("menu", 1);
            return 1;
        }
    }
    if (dwKey & KEY_RECORD) {
        dwKey &= ~KEY_RECORD;
        if (g_bRecording)
            REC_Pause();
        else if (m_nSelfTimer == 0)
            StartRecordKey(0);
        bRedraw = 1;
    }
    if (dwKey & KEY_STOP) {
        dwKey &= ~KEY_STOP;
        LeaveRecorder(1);
        return 1;
    }
    if (dwKey & (KEY_T | KEY_W)) {
        if (nMode == ACTION_MODE_MOVIE)
            Zoom((dwKey & KEY_T) ? 10 : -10);
        dwKey &= ~(KEY_T | KEY_W);
    }
    if ((dwKey & KEY_DISPLAY) && nMode == ACTION_MODE_SOUND && !g_bPhotoCaptured)
        dwKey &= ~KEY_DISPLAY;  // over the sound background the OSD is all there is
    return bRedraw;
}

int screen_player::OnButtonPress_RecPhoto(unsigned long& dwKey)
{
    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        int nTimer = SettingInt("/Rec Option/SELF TIMER");
        nTimer = nTimer == 0 ? 2 : nTimer == 2 ? 10 : 0;
        SetParameter("/Rec Option/SELF TIMER", static_cast<float>(nTimer));
        FB_SetEnable(1);
        return 1;
    }
    if (dwKey & KEY_RECORD) {
        dwKey &= ~KEY_RECORD;
        if (m_nSelfTimer == 0)
            StartRecordKey(1);
        return 1;
    }
    if (dwKey & KEY_STOP) {
        dwKey &= ~KEY_STOP;
        m_nSelfTimer = 0;
        LED_SetCamera(0);
        g_bKeepStop = 1;
        g_bRecorder = 0;
        g_bDivideMode = 0;
        g_PlaylistCtrl.ScanPlaylist();
        int nCount = g_PlaylistCtrl.GetCount();
        g_PlaylistCtrl.SetCurrentIndex(nCount > 10000 ? 10000 : nCount - 1);
        m_curFile[0] = 0;
        FB_SetEnable(1);
        g_ScreenManager.SetActive("player", 1);
        return 1;
    }
    if (dwKey & (KEY_T | KEY_W)) {
        Zoom((dwKey & KEY_T) ? 10 : -10);
        dwKey &= ~(KEY_T | KEY_W);
    }
    return 0;
}

// RECORD on a ready recorder: the checks, then the self-timer's countdown
// (50 ms without a self-timer) ends in the recording or the photo.
int screen_player::StartRecordKey(int bPhoto)
{
    if (!g_RemainMedia.IsAvaiableSpace()) {
        g_ScreenManager.Error("Card Full !");
        return 0;
    }
    if (!bPhoto && GetActionMode() == ACTION_MODE_MOVIE &&
        (g_nAudioFreq == 96000 || SettingInt("/REC Quality/SAMPLE RATE") == 96000)) {
        g_ScreenManager.Error("  Unsupported Sampling Rate!!");
        return 0;
    }
    if (g_PlaylistCtrl.GetCount() >= FILE_COUNT_FULL) {
        g_ScreenManager.Error("File Full");
        return 0;
    }
    int nSeconds = SettingInt("/Rec Option/SELF TIMER");
    m_nSelfTimer = nSeconds > 0 ? nSeconds * 1000 : 50;
    m_dwPreSelfTimerCheckTime = GetTime();
    return 1;
}

void screen_player::Zoom(int nStep)
{
    int nZoom = g_nZoom + nStep;
    if (nZoom > 400)
        nZoom = 400;
    if (nZoom < 100)
        nZoom = 100;
    // One step at a time: the capture path must have taken the last one.
    if (g_nZoom != g_nDispZoom || nZoom == g_nZoom)
        return;
    g_nZoom = nZoom;
    SetParameter("/GLOBAL/ZOOM", static_cast<float>(nZoom));
}

static void WaitForWriter(int nMode)
{
    int* pbRunning = nMode == ACTION_MODE_MOVIE ? &g_bMovWriterRunning : &g_bWavWriterRunning;
    for (int i = 0; i < WRITER_WAIT_POLLS && *pbRunning; ++i)
        SleepMS(20);
}

// STOP in the recorder, and the end after a full card or a low battery:
// the recording ends, the file just written becomes the player's.
void screen_player::LeaveRecorder(int bStopRecording)
{
    const int nMode = GetActionMode();
    const int bCaptured = g_bPhotoCaptured;
    m_nSelfTimer = 0;
    LED_SetCamera(0);
    LED_SetRec(0);

    char szRemember[520];
    if (g_bRecording && bStopRecording) {
        SND_ADC_Mute(1);
        SleepMS(nMode == ACTION_MODE_MOVIE ? 200 : 150);
        g_bRecording = 0;
        g_bRecPause = 0;
        g_bPhotoCaptured = 0;
        snprintf(szRemember, sizeof(szRemember), "%s/%s", m_curDir, m_curFile);
    } else if (!bStopRecording && m_curFile[0]) {
        snprintf(szRemember, sizeof(szRemember), "%s/%s", m_curDir, m_curFile);
    } else {
        g_PlaylistCtrl.GetCurrentFilePath(szRemember);
    }
    WaitForWriter(nMode);
    if (nMode == ACTION_MODE_SOUND && bCaptured)
        SYS_unlink(TEMP_PHOTO_PATH);
    g_bPhotoCaptured = 0;

    g_bRecorder = 0;
    g_bDivideMode = 0;
    g_bKeepStop = 1;
    g_PlaylistCtrl.ScanPlaylist();
    m_curFile[0] = 0;
    int nCount = g_PlaylistCtrl.GetCount();
    int nIndex = g_PlaylistCtrl.SearchIndex(szRemember);
    if (nCount > 10000)
        nIndex = 10000;
    else if (nIndex < 0)
        nIndex = nCount - 1;
    g_PlaylistCtrl.SetCurrentIndex(nIndex);
    FB_SetEnable(1);
    g_ScreenManager.SetActive("player", 1);
}

// ---- Recorder timers (50 ms tick) ------------------------------------------------

void screen_player::SelfTimerStep(void)
{
    if (m_nSelfTimer <= 0)
        return;
    DWORD dwNow = GetTime();
    DWORD dwStep = DeltaTime(m_dwPreSelfTimerCheckTime, dwNow);
    if (dwStep > 100)
        dwStep = 100;
    m_dwPreSelfTimerCheckTime = dwNow;
    m_nSelfTimer -= static_cast<int>(dwStep);
    if (m_nSelfTimer > 0)
        return;

    m_nSelfTimer = 0;
    LED_SetCamera(0);
    RequestFullRedraw();
    if (GetActionMode() != ACTION_MODE_PHOTO) {
        DrawTime(1);
        REC_Start();
        return;
    }
    if (IsSnapImage())
        return;
    // Nothing of the OSD goes into the picture the person sees taken.
    for (int i = 0; i < 2; ++i) {
        GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GRA_TRANSPARENT);
        FB_Flip();
    }
    int nResult = SnapImage();
    if (nResult != 0)
        ERR_PRINT("JPEG Snap Error!! [%d]\n", nResult);
    LED_SetCamera(0);
}

void screen_player::AutoRecStep(void)
{
    const int nMode = GetActionMode();
    if (!g_bRecorder || nMode == ACTION_MODE_PHOTO || g_bAfterRecMode || g_bAfterRecording)
        return;
    const int nAutoRec = SettingInt("/Rec Option/AUTO REC MODE");
    if (nAutoRec == 0)
        return;
    if (!g_bRecording) {
        if (g_bAutoRecStartReq) {
            g_bAutoRecStartReq = 0;
            if (g_RemainMedia.IsAvaiableSpace() && m_nSelfTimer == 0 && REC_Start())
                RequestFullRedraw();
        }
        return;
    }
    if (nAutoRec == 1) {
        if (g_bAutoRecStartReq) {
            g_bAutoRecStartReq = 0;
            if (g_bRecPause) {
                g_bRecPause = 0;
                RequestFullRedraw();
            }
        }
        if (g_bAutoRecStopReq) {
            g_bAutoRecStopReq = 0;
            if (!g_bRecPause) {
                g_bRecPause = 1;
                RequestFullRedraw();
            }
        }
    } else if (nAutoRec == 2 && g_bAutoRecStopReq) {
        // The file ends; the next start request begins a new one.
        g_bAutoRecStopReq = 0;
        g_bRecording = 0;
        g_bRecPause = 0;
        g_bPhotoCaptured = 0;
        if (nMode == ACTION_MODE_MOVIE) {
            int i = 0;
            for (; i < WRITER_WAIT_POLLS && g_bMovWriterRunning; ++i)
                SleepMS(20);
            if (g_bMovWriterRunning)
                printf("mov save time out! [Auto Rec]\n");
            VideEncStop();
        }
        m_curFile[0] = 0;
        RequestFullRedraw();
    }
}

// The recorder's exit codes reach the user at the full redraw.
int screen_player::CheckRecorderError(void)
{
    int nCode = g_RecorderMov.GetExitCode();
    if (g_RecorderMov.GetCreating() || nCode == MOV_EXIT_STOPPED || nCode == MOV_EXIT_RUNNING)
        return 0;
    printf("nExitCode=%d\n", nCode);
    g_RecorderMov.SetExitCode(MOV_EXIT_STOPPED);
    int bLeave = 0;
    switch (nCode) {
    case MOV_EXIT_NO_FILE_NAME:
        g_ScreenManager.Error("File naming error !");
        break;
    case MOV_EXIT_NOT_CREATED:
        g_ScreenManager.Error("File create error !");
        break;
    case MOV_EXIT_CARD_FULL:
        SYS_sync();
        g_RemainMedia.Update();
        g_ScreenManager.Error("Card Full !");
        bLeave = 1;
        break;
    case MOV_EXIT_BATTERY_LOW:
        g_ScreenManager.Error("BATTERY LOW !");
        bLeave = 1;
        break;
    default:
        break;
    }
    if (bLeave && g_bRecorder)
        LeaveRecorder(0);
    RequestFullRedraw();
    return 1;
}

int screen_player::CheckPlayerError(void)
{
    int nCode = PL_GetErrorCode();
    if (nCode == 0 || PL_GetDispErrorPopup())
        return 0;
    PL_SetDispErrorPopup();
    if (nCode == 1)
        g_ScreenManager.Alert("File Not Found\nPLAYLIST");
    else
        g_ScreenManager.Alert("Non-Supported");
    RequestFullRedraw();
    return 1;
}

// ---- OSD over HDMI pictures ------------------------------------------------------

void screen_player::DisableDrawOsd(void)
{
    if (!g_bDispHdmi || !m_bOsdDrawEnable)
        return;
    if (GetActionMode() == ACTION_MODE_SOUND && !PL_IsImage())
        return;  // a sound file without a picture keeps its screen
    printf("+++ DisableDrawOsd()\n");
    m_bPreFBenable = FB_GetEnable();
    FB_SetEnable(0);
    GRA_EnableMode(0);
    m_bOsdDrawEnable = 0;
}

void screen_player::EnableDrawOsd(void)
{
    if (m_bOsdDrawEnable)
        return;
    printf("+++ EnableDrawOsd()\n");
    FB_SetEnable(m_bPreFBenable);
    GRA_EnableMode(1);
    m_bOsdDrawEnable = 1;
}

void PL_EnableDrawOsd(void)
{
    screen_player::EnableDrawOsd();
}

// ---- Copy progress ---------------------------------------------------------------

int screen_player::OnCopyProgress(int nPercent)
{
    static int s_nCalls = 0;
    if (s_nCalls++ % 10 == 0) {
        RestoreRect(297, 1, 23, 15);
        DrawBatteryIcon(297, 1);
        DrawProgressBar(64, 120, 192, 24, nPercent);
        FB_Flip();
    }
    return 1;
}

CScreenBase* CreateScreen_player(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_player::OnInitialize;
    s_table.GetName = screen_player::GetName;
    s_table.OnSetActive = screen_player::OnSetActive;
    s_table.OnKillActive = screen_player::OnKillActive;
    s_table.OnButtonPress = screen_player::OnButtonPress;
    s_table.OnButtonRelease = screen_player::OnButtonRelease;
    s_table.OnButtonLongPress = screen_player::OnButtonLongPress;
    s_table.OnButtonRepeat = screen_player::OnButtonRepeat;
    s_table.OnDraw500ms = screen_player::OnDraw500ms;
    s_table.OnDraw100ms = screen_player::OnDraw100ms;
    s_table.OnDraw50ms = screen_player::OnDraw50ms;
    s_table.ResetAllDraw = screen_player::ResetAllDraw;
    s_table.OnTimer = screen_player::OnTimer;
    s_table.OnCommand = screen_player::OnCommand;
    s_table.OnInitialize();
    return &s_table;
}
