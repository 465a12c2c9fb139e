// The player/recorder screen as a player: its keys, the speed and I/O loop
// popups, cue and review, moving between files, repeat and slide shows,
// delete and divide, the player's stop hooks and the sound dub.
#include "Middleware/GUI/ScreenPlayer.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Media/MovCopy.h"
#include "Media/MovRecorder.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "player/Player.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#define TEMP_DUB_PATH SDCARD_ROOT "/.tmp.wav"
#define SEEK_TAP_MS 300
#define LOOP_MIN_MS 1000

// Slide-show times in ms by the SLIDE SHOW setting (n >= 2: n x 1000 - 400).
static const int s_nSlideShowTime[11] = {0, 550, 1600, 2600, 3600, 4600, 5600, 6600, 7600, 8600, 9600};

static int SettingInt(const char* szKey)
{
    return static_cast<int>(GetParameter(szKey, nullptr));
}

static int IsSound96k(void)
{
    return GetActionMode() == ACTION_MODE_SOUND && g_nAudioPlayFreq == 96000;
}

// A file the player could not open: the message comes with the full redraw.
static int IsUnplayable(void)
{
    if (PL_GetErrorCode() == 2) {
        g_ScreenManager.Alert("Non-Supported");
        return 1;
    }
    return !PL_IsOpen();
}

// One black picture on the video output in use.
static void BlankVideoOutput(void)
{
    Buffer_Handle hBuf = nullptr;
    if (g_bDispHdmi) {
        if (DisplayHdmiGet(&hBuf) == Dmai_EOK && hBuf) {
            Buffer_BlackFill(hBuf);
            DisplayHdmiPut(hBuf);
        }
        return;
    }
    if (!g_hDisplayFree || Fifo_getPoll(g_hDisplayFree, &hBuf, 100) != Dmai_EOK || !hBuf)
        return;
    BufferGfx_Dimensions dim = {0, 0, 320, 240, 640};
    BufferGfx_setDimensions(hBuf, &dim);
    Buffer_BlackFill(hBuf);
    Fifo_put(g_hDisplayIn, hBuf);
}

void SPL_SetSeekSpeed(int nSpeed, int bResume)
{
    screen_player::SetSeekSpeed(nSpeed, bResume);
}

void screen_player::SetSeekSpeed(int nSpeed, int bResume)
{
    PL_SetSeekSpeed(nSpeed, bResume);
    if (nSpeed == 0)
        m_nSeekSpeedType = 0;
}

// The picture at nMs: a stopped movie shows its new frame.
void screen_player::MoveTo(int nMs)
{
    if (nMs == PL_GetPos() && !PL_IsStop())
        return;
    if (GetActionMode() == ACTION_MODE_MOVIE && PL_IsStop()) {
        PL_SetPos(nMs);
        g_bKeepStop = 1;
        PL_Play();
        PL_WaitKeepStop();
    } else {
        PL_SetPos(nMs);
    }
}

// ---- Key preparation and the popups ------------------------------------------------

int screen_player::OnButtonPress_Play(unsigned long& dwKey)
{
    if (g_PlaylistCtrl.GetCount() == 0)
        dwKey &= ~(KEY_RIGHT | KEY_LEFT | KEY_ENTER | KEY_W | KEY_T | KEY_F2 | KEY_F3);
    const int nMode = GetActionMode();
    int bRedraw = 0;
    if (m_bSpeedPopup && nMode != ACTION_MODE_PHOTO)
        bRedraw |= OnButtonPress_SpeedPopup(dwKey);
    else if (m_bIoPopup)
        bRedraw |= OnButtonPress_IoPopup(dwKey);
    else if (g_bDivideMode)
        bRedraw |= OnButtonPress_Divide(dwKey);
    if (!dwKey)
        return bRedraw;

    if (nMode == ACTION_MODE_PHOTO)
        bRedraw |= OnButtonPress_PhotoModePlay(dwKey);
    else
        bRedraw |= OnButtonPress_MovieAndAudioModePlay(dwKey);
    if (!dwKey)
        return bRedraw;
    return bRedraw | OnButtonPress_GeneralPlay(dwKey);
}

static void CloseSpeedPopup(void)
{
    screen_player::m_bSpeedPopup = 0;
    g_ScreenManager.SetButtonAutoRepeat(KEY_LEFT, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_RIGHT, 0);
}

int screen_player::OnButtonPress_SpeedPopup(unsigned long& dwKey)
{
    float fSpeed = GetParameter("/PB Control/SPEED", nullptr);
    const int bEnabled = SettingInt("/GLOBAL/ENABLE SPEED") != 0;
    if (dwKey & (KEY_LEFT | KEY_RIGHT)) {
        // Tenths counted as integers: 0.1 steps of a float drift.
        int nTenths = static_cast<int>(lroundf(fSpeed * 10.0f));
        if ((dwKey & KEY_LEFT) && nTenths > 5)
            --nTenths;
        if ((dwKey & KEY_RIGHT) && nTenths < 15)
            ++nTenths;
        dwKey &= ~(KEY_LEFT | KEY_RIGHT);
        fSpeed = nTenths / 10.0f;
        SetParameter("/PB Control/SPEED", fSpeed);
        if (bEnabled)
            g_VsaFilter.SetSpeed(fSpeed);
        return 1;
    }
    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        SetParameter("/GLOBAL/ENABLE SPEED", bEnabled ? 0.0f : 1.0f);
        g_VsaFilter.SetSpeed(bEnabled ? 1.0f : fSpeed);
        return 1;
    }
    dwKey &= ~KEY_F2;
    if (dwKey & KEY_F3) {
        dwKey &= ~KEY_F3;
        CloseSpeedPopup();
        return 1;
    }
    return 0;
}

int screen_player::OnButtonPress_IoPopup(unsigned long& dwKey)
{
    const int nPos = PL_GetPos();
    const int nSecond = nPos / 1000 * 1000;
    const int nDuration = PL_GetDuration();
    const int nIn = g_ctrlIoRepeat.GetStartPos();
    const int nOut = g_ctrlIoRepeat.GetEndPos();

    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        if (nOut < 0 || nPos <= nOut - LOOP_MIN_MS)
            g_ctrlIoRepeat.SetStartPos(nSecond);
        else if (nPos < nOut)
            g_ScreenManager.Alert("I/O Too Short");
        return 1;
    }
    if (dwKey & KEY_F2) {
        dwKey &= ~KEY_F2;
        if (nIn >= 0 && nPos > nIn) {
            if (nPos - nIn >= LOOP_MIN_MS)
                g_ctrlIoRepeat.SetEndPos(nSecond);
            else
                g_ScreenManager.Alert("I/O Too Short");
        }
        return 1;
    }
    if (dwKey & KEY_ENTER) {
        dwKey &= ~KEY_ENTER;
        if (g_ctrlIoRepeat.GetLoopEnable()) {
            g_ctrlIoRepeat.DisableLoop();
        } else {
            if (nIn < 0)
                g_ctrlIoRepeat.SetStartPos(0);
            if (nOut < 0)
                g_ctrlIoRepeat.SetEndPos(nDuration);
            g_ctrlIoRepeat.EnableLoop();
            MoveTo(g_ctrlIoRepeat.GetStartPos());
        }
        return 1;
    }
    if (dwKey & KEY_F3) {
        dwKey &= ~KEY_F3;
        g_ctrlIoRepeat.EndSetting();
        m_bIoPopup = 0;
        return 1;
    }
    if (dwKey & (KEY_LEFT | KEY_RIGHT)) {
        const int nInP = nIn >= 0 ? nIn : 0;
        const int nOutP = nOut >= 0 ? nOut : nDuration;
        int nTarget = -1;
        if (dwKey & KEY_LEFT) {
            if (nPos <= nInP + 999)
                nTarget = 0;
            else if (nPos <= nOutP + 999)
                nTarget = nInP;
            else if (nPos <= nDuration + 999)
                nTarget = nOutP;
        } else {
            if (nPos < nInP - LOOP_MIN_MS)
                nTarget = nInP - LOOP_MIN_MS > 0 ? nInP - LOOP_MIN_MS : 0;
            else if (nPos < nOutP - LOOP_MIN_MS)
                nTarget = nOutP - LOOP_MIN_MS > nInP ? nOutP - LOOP_MIN_MS : nInP;
            else if (nPos <= nDuration)
                nTarget = nOutP > nDuration - LOOP_MIN_MS ? nOutP : nDuration - LOOP_MIN_MS;
        }
        dwKey &= ~(KEY_LEFT | KEY_RIGHT);
        if (nTarget >= 0)
            MoveTo(nTarget);
        return 1;
    }
    return 0;
}

int screen_player::OnButtonPress_Divide(unsigned long& dwKey)
{
    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        return DivideFile();
    }
    dwKey &= ~KEY_F2;
    if (dwKey & KEY_F3) {
        dwKey &= ~KEY_F3;
        g_bDivideMode = 0;
        return 1;
    }
    return 0;
}

// ---- Movie and audio mode ------------------------------------------------------------

// The next cue/review speed in frames per step from the current one.
static int NextSeekSpeed(int nType, int nCurrent, int bCue, int nFirst)
{
    static const int s_anFrom1[7] = {0, 5, 10, 50, -5, -10, -50};
    const int anCue1[7] = {nFirst, 10, 50, 50, 0, -5, -10};
    const int anRev1[7] = {-nFirst, 0, 5, 10, -10, -50, -50};
    static const int s_anFrom2[7] = {0, 10, 100, 1000, -10, -100, -1000};
    static const int s_anCue2[7] = {10, 100, 1000, 1000, 0, -10, -100};
    static const int s_anRev2[7] = {-10, 0, 10, 100, -100, -1000, -1000};
    const int* pnFrom = nType == 1 ? s_anFrom1 : s_anFrom2;
    const int* pnTo = nType == 1 ? (bCue ? anCue1 : anRev1) : (bCue ? s_anCue2 : s_anRev2);
    for (int i = 0; i < 7; ++i) {
        if (pnFrom[i] == nCurrent)
            return pnTo[i];
    }
    return 0;
}

int screen_player::CueReview(unsigned long dwKey)
{
    if (IsUnplayable())
        return 1;
    const int bCue = (dwKey & KEY_T) != 0;
    m_dwSeekStartTime = GetTime();
    if (m_nSeekSpeedType == 0)
        m_nSeekSpeedType = PL_IsPlaying() ? 1 : 2;
    int nFirst = SettingInt("/Play Option/CUE/REV SPEED");
    int nSpeed = NextSeekSpeed(m_nSeekSpeedType, PL_GetSeekSpeed(), bCue, nFirst);
    int bStart = m_nSeekSpeedType == 2 && !PL_IsPlaying();
    SetSeekSpeed(nSpeed, 1);
    if (bStart && nSpeed != 0)
        PL_Play();
    if (nSpeed == 0)
        DisableDrawOsd();
    else
        EnableDrawOsd();
    return 1;
}

// LEFT and RIGHT between the loop points; 0 when the key goes on to the
// general handling.
int screen_player::MoveToLoopPoint(unsigned long dwKey)
{
    int nIn = g_ctrlIoRepeat.GetStartPos();
    int nOut = g_ctrlIoRepeat.GetEndPos();
    if (nIn < 0 && nOut < 0)
        return 0;
    if (nIn < 0)
        nIn = nOut;
    if (nOut < 0)
        nOut = nIn;
    const int nPos = PL_GetPos();
    const int nDuration = PL_GetDuration();
    int nTarget = -1;
    if (dwKey & KEY_LEFT) {
        if (nPos <= nIn + 999) {
            g_ctrlIoRepeat.DisableLoop();
            return 0;
        }
        if (nPos <= nOut + 999)
            nTarget = nIn;
        else if (nPos <= nDuration + 999)
            nTarget = nOut;
    } else {
        if (nPos >= nOut - LOOP_MIN_MS && nPos <= nDuration) {
            g_ctrlIoRepeat.DisableLoop();
            return 0;
        }
        if (nPos < nIn - LOOP_MIN_MS)
            nTarget = nIn - LOOP_MIN_MS > 0 ? nIn - LOOP_MIN_MS : 0;
        else
            nTarget = nOut - LOOP_MIN_MS > nIn ? nOut - LOOP_MIN_MS : nIn;
    }
    if (nTarget >= 0 && nTarget != nPos)
        MoveTo(nTarget);
    return 1;
}

int screen_player::OnButtonPress_MovieAndAudioModePlay(unsigned long& dwKey)
{
    const int nMode = GetActionMode();
    const int nCount = g_PlaylistCtrl.GetCount();
    int bRedraw = 0;
    if (m_bOsdDrawEnable && (dwKey & (KEY_F1 | KEY_F2 | KEY_F3 | KEY_UP | KEY_DOWN)))
        FB_SetEnable(1);

    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        if (nCount > 0 && m_bOsdDrawEnable && PL_IsOpen()) {
            g_ctrlIoRepeat.StartSetting();
            m_bIoPopup = 1;
            m_nVolumePopup = 0;
            bRedraw = 1;
        }
    }
    if (dwKey & KEY_F3) {
        dwKey &= ~KEY_F3;
        if (m_bOsdDrawEnable && !IsSound96k()) {
            m_bSpeedPopup = 1;
            g_ScreenManager.SetButtonAutoRepeat(KEY_LEFT, 100);
            g_ScreenManager.SetButtonAutoRepeat(KEY_RIGHT, 100);
            bRedraw = 1;
        }
    }
    if (dwKey & (KEY_T | KEY_W)) {
        bRedraw |= CueReview(dwKey);
        dwKey &= ~(KEY_T | KEY_W);
    }
    if (dwKey & KEY_PLAY) {
        dwKey &= ~KEY_PLAY;
        if (!IsUnplayable() && !PL_IsStopping()) {
            if (PL_GetSeekSpeed() != 0) {
                SetSeekSpeed(0, 1);
                DisableDrawOsd();
            } else if (PL_IsPlaying() || PL_IsPausing()) {
                PL_Pause();
                if (PL_IsPlaying())
                    DisableDrawOsd();
                else
                    EnableDrawOsd();
            } else {
                PL_Play();
                DisableDrawOsd();
            }
        }
        bRedraw = 1;
    }
    if (dwKey & KEY_STOP) {
        dwKey &= ~KEY_STOP;
        if (PL_GetSeekSpeed() != 0) {
            SetSeekSpeed(0, 0);
            PL_StopAudioRenderer();
        }
        if (nCount > 0) {
            if (PL_IsPlaying()) {
                PL_Pause();
            } else if (PL_IsPausing()) {
                if (g_ctrlIoRepeat.GetLoopEnable() && g_ctrlIoRepeat.GetStartPos() != 0)
                    g_ctrlIoRepeat.DisableLoop();
                PL_Stop(STOP_BY_USER);
                PL_WaitKeepStop();
            }
        }
        EnableDrawOsd();
        bRedraw = 1;
    }
    if ((dwKey & (KEY_LEFT | KEY_RIGHT)) && MoveToLoopPoint(dwKey)) {
        dwKey &= ~(KEY_LEFT | KEY_RIGHT);
        bRedraw = 1;
    }
    if ((dwKey & KEY_DISPLAY) && (!PL_IsOpen() || (nMode == ACTION_MODE_SOUND && !PL_IsImage())))
        dwKey &= ~KEY_DISPLAY;
    if ((dwKey & KEY_RECORD) && PL_IsStop()) {
        if (g_bDispHdmi != g_bHdmi) {
            dwKey &= ~KEY_RECORD;  // the display is switching
        } else if (g_Msp430_nBatteryLevel > 1) {
            if (nMode == ACTION_MODE_MOVIE) {
                BlankVideoOutput();
                g_bMovieRecHDMI = g_bDispHdmi;
            } else {
                g_bAudioRecHDMI = g_bDispHdmi;
            }
        }
    }
    return bRedraw;
}

// ---- Photo mode ------------------------------------------------------------------

int screen_player::OnButtonPress_PhotoModePlay(unsigned long& dwKey)
{
    if (m_bOsdDrawEnable && (dwKey & (KEY_F1 | KEY_F2 | KEY_F3)))
        FB_SetEnable(1);
    if (dwKey & KEY_F1) {
        dwKey &= ~KEY_F1;
        int nTimer = SettingInt("/Rec Option/SELF TIMER");
        nTimer = nTimer == 0 ? 2 : nTimer == 2 ? 10 : 0;
        SetParameter("/Rec Option/SELF TIMER", static_cast<float>(nTimer));
        return 1;
    }
    if (dwKey & KEY_PLAY) {
        dwKey &= ~KEY_PLAY;
        if (g_PlaylistCtrl.GetCount() > 0 && PL_IsStop()) {
            PL_Play();
            int nSetting = SettingInt("/Play Option/SLIDE SHOW");
            if (nSetting < 1)
                nSetting = 1;
            if (nSetting > 10)
                nSetting = 10;
            m_nSlideShowTimer = s_nSlideShowTime[nSetting];
            m_dwPreSlideShowCheckTime = GetTime();
        }
        return 1;
    }
    if (dwKey & KEY_STOP) {
        dwKey &= ~KEY_STOP;
        m_nSelfTimer = 0;
        m_nSlideShowTimer = 0;
        if (!PL_IsStop()) {
            PL_Stop(STOP_BY_SYSTEM);
            EnableDrawOsd();
            FB_SetEnable(1);
        } else {
            if (g_bDispHdmi)
                HDMI_AV_Mute_ON();
            g_bRecorder = 1;
            g_ScreenManager.SetActive("player", 1);
        }
        return 1;
    }
    if ((dwKey & KEY_DISPLAY) && !PL_IsOpen())
        dwKey &= ~KEY_DISPLAY;
    if ((dwKey & KEY_RECORD) && PL_IsStop()) {
        if (g_bDispHdmi != g_bHdmi) {
            dwKey &= ~KEY_RECORD;
        } else if (g_Msp430_nBatteryLevel > 1) {
            g_bPhotoRecHDMI = g_bDispHdmi;
            BlankVideoOutput();
        }
    }
    return 0;
}

void screen_player::SlideShowStep(void)
{
    if (m_nSlideShowTimer <= 0 || GetActionMode() != ACTION_MODE_PHOTO)
        return;
    DWORD dwNow = GetTime();
    DWORD dwStep = DeltaTime(m_dwPreSlideShowCheckTime, dwNow);
    if (dwStep > 200)
        dwStep = 200;
    m_dwPreSlideShowCheckTime = dwNow;
    m_nSlideShowTimer -= static_cast<int>(dwStep);
    if (m_nSlideShowTimer > 0)
        return;
    m_nSlideShowTimer = 0;
    PL_Stop(STOP_BY_END);  // the end hook moves to the next photo
    if (!PL_IsStop()) {
        int nSetting = SettingInt("/Play Option/SLIDE SHOW");
        m_nSlideShowTimer = s_nSlideShowTime[nSetting < 1 ? 1 : nSetting > 10 ? 10 : nSetting];
        m_dwPreSlideShowCheckTime = GetTime();
    }
}

// ---- Keys of every play mode -------------------------------------------------------

int screen_player::OnButtonPress_GeneralPlay(unsigned long& dwKey)
{
    if (dwKey & KEY_F2) {
        dwKey &= ~KEY_F2;
        printf("g_dwGetKey=0x%lx\n", KEY_Get(0, nullptr));
        if (m_bOsdDrawEnable)
            return DeleteFile();
        return 0;
    }
    if (dwKey & (KEY_LEFT | KEY_RIGHT)) {
        int bLeft = (dwKey & KEY_LEFT) != 0;
        dwKey &= ~(KEY_LEFT | KEY_RIGHT);
        if (g_bAfterRecording) {
            m_bStopAfterRecReq = 1;
            return 0;
        }
        if (bLeft && PL_GetPos() > 1000) {
            MoveTo(0);
            return 1;
        }
        return StepFile(bLeft ? -1 : 1);
    }
    if (dwKey & KEY_RECORD) {
        dwKey &= ~KEY_RECORD;
        if (PL_IsStop())
            return GoToRecorder();
        return 0;
    }
    if (dwKey & KEY_MODE) {
        dwKey &= ~KEY_MODE;
        if (PL_IsStop())
            return ChangeMode();
        return 0;
    }
    if (dwKey & KEY_MENU) {
        dwKey &= ~KEY_MENU;
        if (!m_bOsdDrawEnable)
            return 0;
        if (g_bDispHdmi) {
            g_bMenuPlayHDMI = 1;
            HDMI_AV_Mute_ON();
            g_bHdmiOffReq = 1;
            WaitHdmiOff();
        }
        m_nVolumePopup = 0;
        CloseSpeedPopup();
        if (m_bIoPopup)
            g_ctrlIoRepeat.EndSetting();
        m_bIoPopup = 0;
        g_ScreenManager.SetActive("menu", 1);
        g_bHdmiOffReq = 0;
        return 1;
    }
    return 0;
}

// Waits until the state control has switched HDMI off and the LCD on.
void screen_player::WaitHdmiOff(void)
{
    for (int i = 0; i < 1500 && (g_bDispHdmi || !DisplayisLCD_Enable()); ++i)
        SleepMS(10);
}

int screen_player::GoToRecorder(void)
{
    if (g_Msp430_nBatteryLevel < 2) {
        g_ScreenManager.Error("BATTERY LOW !");
        return 1;
    }
    if (g_bDispHdmi)
        HDMI_AV_Mute_ON();
    PL_Stop(STOP_BY_SYSTEM);
    PL_Close();
    if (g_bDispHdmi) {
        g_bHdmiOffReq = 1;
        WaitHdmiOff();
    }
    g_bRecorder = 1;
    SleepMS(500);
    g_bHdmiOffReq = 0;
    FB_SetEnable(1);
    g_ScreenManager.SetActive("player", 1);
    return 1;
}

int screen_player::ChangeMode(void)
{
    PL_Stop(STOP_BY_SYSTEM);
    PL_Close();
    if (g_bDispHdmi) {
        HDMI_AV_Mute_ON();
        g_bSetAV_MuteOFF_Flag = 1;
        EnableDrawOsd();
    }
    int nMode = GetActionMode();
    int nNext = nMode == ACTION_MODE_PHOTO ? ACTION_MODE_MOVIE
                : nMode == ACTION_MODE_SOUND ? ACTION_MODE_PHOTO
                                             : ACTION_MODE_SOUND;
    if (nNext == ACTION_MODE_MOVIE)
        BlankVideoOutput();
    SetActionMode(nNext);
    g_bKeepStop = 1;
    g_bPhotoCaptured = 0;
    m_nSlideShowTimer = 0;
    SetParameter("/GLOBAL/LastMode", static_cast<float>(nNext));
    g_PlaylistCtrl.LoadPlaylist();
    g_PlaylistCtrl.ScanPlaylist();
    g_PlaylistCtrl.SetCurrentIndex(0);
    m_curFile[0] = 0;
    if (g_PlaylistCtrl.GetCount() > 0) {
        ShowCurrent();
    } else {
        g_bKeepStop = 0;
        g_nVideoPlayWidth = 640;
        DisplayisChangeHdmiImageSize();
    }
    FB_SetEnable(1);
    m_bIsFirstDraw = 0;
    m_nAllDraw = 2;
    return 1;
}

// Opens the list's current file after a change of index: it plays on (with
// a running cue or review) when bPlay, else it shows its first frame.
// bFromEnd starts 1000 ms before its end (review into the previous file).
// From the play threads (bWait 0) nothing waits for the kept frame.
static void OpenAfterChange(int bPlay, int nSeek, int bFromEnd, int bWait)
{
    if (!screen_player::OpenCurrent()) {
        g_bKeepStop = 0;
        return;
    }
    int nStart = 0;
    if (bFromEnd) {
        int nDuration = PL_GetDuration();
        nStart = nDuration > 1000 ? nDuration - 1000 : 0;
    }
    if (bPlay) {
        g_bKeepStop = 0;
        if (nSeek)
            PL_SetSeekSpeed(nSeek, 1);
        if (nStart && GetActionMode() != ACTION_MODE_SOUND)
            PL_SetPos(nStart);
        PL_Play();
        if (nStart && GetActionMode() == ACTION_MODE_SOUND)
            PL_SetPos(nStart);
        if (!nSeek)
            screen_player::DisableDrawOsd();
    } else {
        g_bKeepStop = 1;
        PL_Play();
        if (bWait)
            PL_WaitKeepStop();
    }
}

int screen_player::StepFile(int nStep)
{
    const int nCount = g_PlaylistCtrl.GetCount();
    if (nCount == 0)
        return 0;
    const int nMode = GetActionMode();
    const int nRepeat = SettingInt("/Play Option/REPEAT");
    int nSeek = PL_GetSeekSpeed();
    int bPlay = PL_IsPlaying();
    int bStop = 0;
    int bFromEnd = 0;
    int nIndex = g_PlaylistCtrl.GetCurrentIndex() + nStep;
    if (nStep < 0) {
        if (nIndex < 0)
            nIndex = nCount - 1;
        bFromEnd = nSeek < 0 && !g_bStepSeek;
    } else if (nIndex >= nCount) {
        nIndex = 0;
        int bWrap = nMode == ACTION_MODE_PHOTO || nRepeat == 1;
        if (!bWrap && !(nRepeat == 0 && PL_GetStopReason() != STOP_BY_END))
            bStop = 1;
    }

    m_bFileChanging = 1;
    g_PlaylistCtrl.ClearTempFile();
    if (g_bStepSeek || (bStop && nSeek)) {
        SetSeekSpeed(0, 0);
        PL_StopAudioRenderer();
        nSeek = 0;
        bStop = 1;
    }
    if (bStop)
        PL_StopAudioRenderer();
    g_PlaylistCtrl.SetCurrentIndex(nIndex);
    OpenAfterChange((bPlay || nSeek) && !bStop, nSeek, bFromEnd, 1);
    m_bFileChanging = 0;
    m_bIsFirstDraw = 0;
    m_nAllDraw = 2;
    return 1;
}

// ---- Delete and divide -----------------------------------------------------------------

static void ReplaceExt(char* szOut, size_t nSize, const char* szPath, const char* szTail)
{
    const char* pDot = strrchr(szPath, '.');
    const char* pSlash = strrchr(szPath, '/');
    int nBase = (pDot && (!pSlash || pDot > pSlash)) ? static_cast<int>(pDot - szPath) : static_cast<int>(strlen(szPath));
    snprintf(szOut, nSize, "%.*s%s", nBase, szPath, szTail);
}

int screen_player::DeleteFile(void)
{
    char szPath[256];
    char szReal[300];
    g_PlaylistCtrl.GetCurrentFilePath(szPath);
    ToRealPath(szReal, szPath);
    if (IsReadOnlyFile(szReal)) {
        g_ScreenManager.Alert("File Protected");
        return 1;
    }
    if (GetActionMode() == ACTION_MODE_PHOTO)
        m_nSlideShowTimer = 0;
    m_bDeletePopup = 1;
    EnableDrawOsd();
    char szText[320];
    snprintf(szText, sizeof(szText), "--- FILE DELETE ---\nDelete %s\nAre you sure ?", m_curFile);
    if (g_ScreenManager.Confirm(szText, KEY_F1, "YES", KEY_F3, "NO")) {
        PL_Stop(STOP_BY_SYSTEM);
        PL_Close();
        SYS_unlink(szReal);
        SYS_sync();
        g_PlaylistCtrl.DeletePlaylist(szPath);
        g_PlaylistCtrl.SavePlaylist();
        g_PlaylistCtrl.LoadPlaylist();
        RescanSelect(g_PlaylistCtrl.GetCurrentIndex());
        m_curFile[0] = 0;
        if (g_PlaylistCtrl.GetCount() > 0) {
            ShowCurrent();
        } else {
            EnableDrawOsd();
            g_nVideoPlayWidth = 640;
            DisplayisChangeHdmiImageSize();
        }
    } else {
        SleepMS(300);
    }
    m_bDeletePopup = 0;
    m_bIsFirstDraw = 0;
    m_nAllDraw = 2;
    return 1;
}

// A failed copy's message, with what became of the work.
static void CopyFailed(int nCode, const char* szWhat)
{
    const char* szReason = nCode == MOV_EXIT_NO_FILE_NAME   ? "File naming error !"
                           : nCode == MOV_EXIT_CARD_FULL    ? "Card Full !"
                           : nCode == MOV_EXIT_NOT_CREATED  ? "File create error !"
                           : nCode == MOV_EXIT_BATTERY_LOW  ? "BATTERY LOW !"
                                                            : "Copy Error !";
    g_ScreenManager.Error("%s\n%s", szReason, szWhat);
}

int screen_player::DivideFile(void)
{
    EnableDrawOsd();
    int bWasPlaying = PL_IsPlaying();
    if (bWasPlaying)
        PL_Pause();
    const int nPos = PL_GetPos();
    const int nDuration = PL_GetDuration();
    if (nPos < 1000 || nPos > nDuration - 1000) {
        g_ScreenManager.Alert("Can't Divide");
        return 1;
    }
    char szText[320];
    snprintf(szText, sizeof(szText), "--- FILE DIVIDE ---\nDivide %s\nAre you sure ?", m_curFile);
    if (!g_ScreenManager.Confirm(szText, KEY_F1, "YES", KEY_F3, "NO")) {
        if (bWasPlaying && PL_IsPausing())
            PL_Pause();  // play on
        return 1;
    }

    if (PL_GetSeekSpeed() != 0)
        SetSeekSpeed(0, 0);
    PL_Stop(STOP_BY_SYSTEM);
    PL_Close();

    char szPath[256];
    char szSource[300];
    g_PlaylistCtrl.GetCurrentFilePath(szPath);
    ToRealPath(szSource, szPath);
    char szExt[256];
    GetFileExt(szExt, szSource);
    ToUpper(szExt);
    const int bMovie = strcmp(szExt, "MOV") == 0;
    char szFirst[320];
    char szSecond[320];
    ReplaceExt(szFirst, sizeof(szFirst), szSource, bMovie ? "_a.mov" : "_a.wav");
    ReplaceExt(szSecond, sizeof(szSecond), szSource, bMovie ? "_b.mov" : "_b.wav");
    const int nSecond = nPos / 1000;

    int nResult = bMovie ? MovCopy(OnCopyProgress, szFirst, szSource, 0, nSecond, -1, nullptr, 0, 0)
                         : WavCopy(OnCopyProgress, szFirst, szSource, 0, nSecond, -1, nullptr, 0, 0);
    if (nResult == 0)
        nResult = bMovie ? MovCopy(OnCopyProgress, szSecond, szSource, nSecond, -1, -1, nullptr, 0, 0)
                         : WavCopy(OnCopyProgress, szSecond, szSource, nSecond, -1, -1, nullptr, 0, 0);
    if (nResult != 0) {
        // One half alone would pass for a divided file: neither stays.
        printf("nExitCode=%d\n", nResult);
        SYS_unlink(szFirst);
        SYS_unlink(szSecond);
    }
    SYS_sync();
    g_RemainMedia.Update();
    if (nResult != 0)
        CopyFailed(nResult, "File not divided");

    RescanSelect(g_PlaylistCtrl.GetCurrentIndex());
    if (g_PlaylistCtrl.GetCount() > 0)
        ShowCurrent();
    g_bDivideMode = 0;
    m_bIsFirstDraw = 0;
    m_nAllDraw = 2;
    return 1;
}

// ---- Stop hooks --------------------------------------------------------------------

int PL_PreStop(int nReason)
{
    return screen_player::PreStop(nReason);
}

void PL_PostStop(int nReason)
{
    screen_player::PostPlayerStop(nReason);
}

int PL_GetSlideShowing(void)
{
    return screen_player::m_nSlideShowTimer > 0;
}

int screen_player::PreStop(int nReason)
{
    if (g_bAfterRecording || !PL_IsPlaying())
        return 1;
    if (g_ctrlIoRepeat.GetLoopEnable() && !g_bDivideMode) {
        if (nReason == STOP_BY_TOP) {
            int nTarget = g_ctrlIoRepeat.GetEndPos() - LOOP_MIN_MS;
            PL_SetPos(nTarget > 0 ? nTarget : 0);
            return 0;
        }
        if (nReason == STOP_BY_END) {
            PL_SetPos(g_ctrlIoRepeat.GetStartPos() > 0 ? g_ctrlIoRepeat.GetStartPos() : 0);
            return 0;
        }
        return 1;
    }
    // The file stays: dividing it, setting its loop, repeating it alone or
    // deciding whether to delete it.
    if (!g_bDivideMode && !m_bIoPopup && SettingInt("/Play Option/REPEAT") != 2 && !m_bDeletePopup)
        return 1;
    if (g_bStepSeek) {
        SetSeekSpeed(0, 0);
        PL_Stop(STOP_BY_USER);
        return 0;
    }
    if (nReason == STOP_BY_END) {
        PL_SetPos(0);
        return 0;
    }
    if (nReason == STOP_BY_TOP) {
        int nDuration = PL_GetDuration();
        PL_SetPos(nDuration > LOOP_MIN_MS ? nDuration - LOOP_MIN_MS : 0);
        return 0;
    }
    return 1;
}

void screen_player::PostPlayerStop(int nReason)
{
    if (g_bAfterRecording) {
        m_bStopAfterRecReq = 1;
        return;
    }
    m_bFileChanging = 1;
    const int nMode = GetActionMode();
    const int nCount = g_PlaylistCtrl.GetCount();
    if (nReason == STOP_BY_END && nCount > 0) {
        g_PlaylistCtrl.ClearTempFile();
        int nIndex = g_PlaylistCtrl.GetCurrentIndex() + 1;
        int bWrap = nMode == ACTION_MODE_PHOTO || SettingInt("/Play Option/REPEAT") == 1;
        if (nIndex >= nCount && !bWrap) {
            // The end of the list: the first file, held on its first frame.
            if (PL_GetSeekSpeed() != 0)
                SetSeekSpeed(0, 0);
            PL_StopAudioRenderer();
            g_PlaylistCtrl.SetCurrentIndex(0);
            OpenAfterChange(0, 0, 0, 0);
        } else {
            if (nIndex >= nCount)
                nIndex = 0;
            int bTap = g_bStepSeek;
            int nSeek = bTap ? 0 : PL_GetSeekSpeed();
            if (bTap)
                SetSeekSpeed(0, 0);
            g_PlaylistCtrl.SetCurrentIndex(nIndex);
            OpenAfterChange(!bTap, nSeek, 0, 0);
        }
    } else if (nReason == STOP_BY_TOP && nCount > 0) {
        if (!g_bStepSeek) {
            int nSeek = PL_GetSeekSpeed();
            int nIndex = g_PlaylistCtrl.GetCurrentIndex() - 1;
            if (nIndex < 0)
                nIndex = nCount - 1;
            g_PlaylistCtrl.ClearTempFile();
            g_PlaylistCtrl.SetCurrentIndex(nIndex);
            OpenAfterChange(1, nSeek, nSeek < 0, 0);
        } else {
            SetSeekSpeed(0, 0);
            if (nMode == ACTION_MODE_SOUND) {
                PL_Stop(STOP_BY_USER);
            } else {
                g_bKeepStop = 1;
                PL_Play();
            }
        }
    }
    if (m_bSpeedPopup && IsSound96k())
        CloseSpeedPopup();
    m_bFileChanging = 0;
    m_bIsFirstDraw = 0;
    m_nAllDraw = 2;
}

// ---- Sound dub -----------------------------------------------------------------------

// The file just opened is dubbed: the capture records the new sound into
// ".tmp.wav" in the file's own format while it plays.
void screen_player::StartAfterRec(void)
{
    g_bAfterRecMode = 0;
    char szPath[256];
    g_PlaylistCtrl.GetCurrentFilePath(szPath);
    ToRealPath(s_szAfterRecPath, szPath);
    SetParameter("/REC Quality/SAMPLE RATE", static_cast<float>(g_nAudioPlayFreq));
    SetParameter("/REC Quality/SOUND FORMAT", static_cast<float>(g_nAudioPlayBits));
    SetParameter("/Input Setting/INPUT TYPE", static_cast<float>(g_nAudioPlayChannels));
    g_bAfterRecording = 1;
    PL_StopAudioRenderer();
    for (int i = 0; i < 500 && !g_bAudioCaptureRunning && !g_bQuit; ++i)
        SleepMS(10);
}

// When the copy that finishes a dub fails, the new sound is kept as a sound
// file of the folder (a rename: it needs no space); the box says where.
static void KeepDubSound(int nCode, const char* szDir)
{
    char szName[256];
    char szKept[560];
    if (GetNextFileName(szName, szDir, "wav")) {
        snprintf(szKept, sizeof(szKept), "%s/%s", szDir, szName);
        if (SYS_rename(TEMP_DUB_PATH, szKept) == 0) {
            SaveFileNumber();
            SYS_sync();
            char szWhat[300];
            snprintf(szWhat, sizeof(szWhat), "New sound kept as\n%s", szName);
            CopyFailed(nCode, szWhat);
            return;
        }
    }
    CopyFailed(nCode, "New sound kept as .tmp.wav");
}

void screen_player::StopAfterRec(void)
{
    g_bAfterRecording = 0;
    for (int i = 0; i < 100 && g_bWavWriterRunning; ++i)
        SleepMS(100);

    const int bMovie = GetActionMode() == ACTION_MODE_MOVIE;
    char szDir[256];
    snprintf(szDir, sizeof(szDir), "%s", s_szAfterRecPath);
    char* pSlash = strrchr(szDir, '/');
    if (pSlash)
        *pSlash = 0;
    char szName[256];
    int nResult = 0;
    if (!GetNextFileName(szName, szDir, bMovie ? "mov" : "wav")) {
        nResult = MOV_EXIT_NO_FILE_NAME;
    } else {
        SaveFileNumber();
        // The picture stays while the copy runs.
        FB_GetVram(m_VramSv);
        FB_Flip();
        FB_SetVram(m_VramSv);
        FB_Flip();
        FB_SetVram(m_VramSv);

        char szTarget[560];
        snprintf(szTarget, sizeof(szTarget), "%s/%s", szDir, szName);
        nResult = bMovie ? MovCopy(OnCopyProgress, szTarget, s_szAfterRecPath, 0, -1, -1, TEMP_DUB_PATH, 0, 100)
                         : WavCopy(OnCopyProgress, szTarget, s_szAfterRecPath, 0, -1, -1, TEMP_DUB_PATH, 0, 100);
    }
    if (nResult == 0) {
        SYS_unlink(TEMP_DUB_PATH);
        SYS_sync();
        FB_SetVram(m_VramSv);
        FB_Flip();
        FB_SetVram(m_VramSv);
    } else {
        printf("nExitCode=%d\n", nResult);
        g_RecorderMov.SetExitCode(MOV_EXIT_STOPPED);
        SYS_sync();
        KeepDubSound(nResult, szDir);
        m_nAllDraw = 2;
    }
    g_RemainMedia.Update();

    RescanSelect(g_PlaylistCtrl.GetCurrentIndex());
    if (!g_bRecorder && g_PlaylistCtrl.GetCount() > 0)
        ShowCurrent();
    m_bIsFirstDraw = 0;
    m_nAllDraw = 2;
}

// ---- Release and long press -------------------------------------------------------------

int screen_player::OnButtonRelease(unsigned long dwMask)
{
    if (g_bRecorder || !(dwMask & (KEY_T | KEY_W)))
        return 0;
    if (PL_GetSeekSpeed() == 0 || g_bStepSeek)
        return 0;
    if (DeltaTime(m_dwSeekStartTime, GetTime()) >= SEEK_TAP_MS) {
        SetSeekSpeed(0, 1);
        DisableDrawOsd();
    } else {
        // A tap: cue or review goes on slowly until another key changes it.
        g_bStepSeek = 1;
        int nSpeed = m_nSeekSpeedType == 1 ? 5 : 10;
        PL_SetSeekSpeed((dwMask & KEY_W) ? -nSpeed : nSpeed, 1);
    }
    return 1;
}

int screen_player::OnButtonLongPress(unsigned long dwMask)
{
    if (g_bRecorder || !(dwMask & KEY_PLAY))
        return 0;
    if (m_bSpeedPopup || m_bIoPopup || m_nVolumePopup || g_bDivideMode || g_bAfterRecording)
        return 0;
    g_ScreenManager.SetActive("browse", 1);
    return 1;
}
