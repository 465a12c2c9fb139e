// Everything that changes under the user's hands without a key press: the
// battery, the detect lines, the card slot, the USB and HDMI cables. The
// thread never draws; it raises flags for the main loop and calls the
// player and the playlist control directly.
#include "Middleware/GUI/StateControl.h"

#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/PlaylistCtrl.h"
#include "Media/Recovery.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/GUI/ScreenTestMode.h"
#include "Middleware/VPBE/Display.h"
#include "DrvLib/FrameBuffer.h"
#include "player/Player.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>

int g_bSdCard = 0;
int g_bSdCardFormatReq = 0;
int g_bSdCardFormatting = 0;
int g_bUsbMode = 0;
int g_bExtAudio = 0;
int g_bHdmi = 0;
int g_bCameraFlip = 0;
int g_bSyncReq = 0;
int g_bPowerOffReq = 0;
int g_bHdmiOffReq = 0;

#define HDMI_POLL_MS 100
#define HDMI_POLLS 150
#define HDMI_SLOW_POLLS 10

static int s_nMountWait = 0;        // passes left after a mount attempt
static int s_nUsbOnCount = 0;       // idle passes with the USB cable in
static int s_bUsbPowerOffSent = 0;
static int s_bLastExtAudio = 0;
static int s_bLastSpeaker = 0;
static int s_bLastRecording = 0;
static int s_bChgHdmiReal = 0;      // HDMI went off because the cable was pulled in the player

void StateControlReset(void)
{
    s_nMountWait = 0;
    s_nUsbOnCount = 0;
    s_bUsbPowerOffSent = 0;
    s_bLastExtAudio = 0;
    s_bLastSpeaker = 0;
    s_bLastRecording = 0;
    s_bChgHdmiReal = 0;
}

static int IsActiveScreen(const char* szName)
{
    const char* szActive = g_ScreenManager.GetActive();
    return szActive && strcmp(szActive, szName) == 0;
}

// ---- Battery, detect lines, LED ------------------------------------------------

static void ChkBattery(void)
{
    MSP430_UpdateStatus();
    if (g_Msp430_nBatteryLevel == 0) {
        SleepMS(100);
        PowerOffReq(1);
    }
}

static void ChkExtAudio(unsigned long dwKeys)
{
    g_bExtAudio = (dwKeys & KEY_MIC_DETECT) ? 1 : 0;
    if (g_bExtAudio != s_bLastExtAudio) {
        ResetAudioCapture();
        s_bLastExtAudio = g_bExtAudio;
    }
}

// The speaker plays only in the player, without headphones and not on HDMI.
static void ChkSpeaker(unsigned long dwKeys)
{
    int bOn = !(dwKeys & KEY_SPEAKER) && !g_bRecorder && !g_bAfterRecording && (dwKeys & KEY_PHONE_DETECT) &&
              !g_bHdmi;
    if (bOn != s_bLastSpeaker) {
        SND_SetMixer("Speaker Ctrl", bOn ? "On" : "Off");
        s_bLastSpeaker = bOn;
    }
}

static void ChkRecordingLed(void)
{
    int bRecording = g_bRecording ? 1 : 0;
    if (bRecording != s_bLastRecording) {
        LED_SetCamera(bRecording);
        s_bLastRecording = bRecording;
    }
}

// ---- Card -------------------------------------------------------------------------

// Only cards formatted by this device are used: 32 KB clusters or more, the
// partition writable, and the boot sector's OEM name the device's mark.
// (The card space has been measured.)
static int IsDeviceCard(void)
{
    if (g_RemainMedia.GetClusterSize() < STATE_MIN_CLUSTER) {
        printf("ChkSdCard(): cluster size %u\n", static_cast<unsigned>(g_RemainMedia.GetClusterSize()));
        return 0;
    }
    int hFd = SYS_open(SDCARD_PARTITION, O_RDWR);
    if (hFd < 0) {
        printf("ChkSdCard(): %s\n%s\n", SDCARD_PARTITION, strerror(errno));
        return 0;
    }
    unsigned char aSector[512];
    ssize_t nRead = SYS_read(hFd, aSector, sizeof(aSector));
    SYS_close(hFd);
    if (nRead != static_cast<ssize_t>(sizeof(aSector)))
        return 0;
    if (memcmp(aSector + 3, SDCARD_OEM_NAME, 8) != 0) {
        printf("ChkSdCard(): not formatted by this device\n");
        return 0;
    }
    return 1;
}

static int IsFolder(const char* szVPath)
{
    char szReal[300];
    ToRealPath(szReal, szVPath);
    struct stat st;
    return SYS_stat(szReal, &st) == 0 && S_ISDIR(st.st_mode);
}

// The player comes back to the folder and the file of the last run on
// this card; elsewhere the list starts at the recording folder.
static void RestorePosition(void)
{
    int bPlayer = !g_bRecorder && IsActiveScreen("player");
    if (bPlayer) {
        g_bKeepStop = 1;
        char szDir[NVRAM_TEXT_SIZE] = "";
        GetParameter("/LOCAL/CurrentDir", szDir);
        if (szDir[0] && IsFolder(szDir)) {
            g_PlaylistCtrl.Init(szDir);
            if (g_PlaylistCtrl.GetCount() == 0)
                g_bKeepStop = 0;
            char szLast[NVRAM_TEXT_SIZE] = "";
            GetParameter("/LOCAL/LastFile", szLast);
            int nIndex = szLast[0] ? g_PlaylistCtrl.SearchIndex(szLast) : -1;
            if (nIndex >= 0)
                g_PlaylistCtrl.SetCurrentIndex(nIndex);
            return;
        }
    }
    g_PlaylistCtrl.Init("/MY_FOLDER");
    if (g_PlaylistCtrl.GetCount() > 0)
        g_bKeepStop = 1;
    else if (bPlayer)
        g_bKeepStop = 0;  // no first frame to keep
}

static void CardGone(void)
{
    PL_Stop(STOP_BY_SYSTEM);
    PL_Close();
    if (IsMount(SDCARD_PARTITION)) {
        System("umount " SDCARD_PARTITION);
        System("rm -rf " SDCARD_MOUNT_POINT);
    }
    NVRAM_GlobalSave();
    g_bSdCard = 0;
    s_nMountWait = 0;
}

static void CardArrived(void)
{
    if (!IsMount(SDCARD_PARTITION)) {
        if (s_nMountWait == 0) {
            for (int i = 0; i < 3; ++i)
                SYS_sync();
            System("umount " SDCARD_PARTITION);
            System("mount " SDCARD_PARTITION " " SDCARD_MOUNT_POINT);
            s_nMountWait = STATE_MOUNT_WAIT;
            return;
        }
        if (--s_nMountWait == 0) {
            g_bSdCardFormatting = 0;
            g_bSdCardFormatReq = 1;
        }
        return;
    }
    g_RemainMedia.Update();
    if (g_RemainMedia.GetTotalSize() == 0) {
        // A mount whose file system cannot be examined (a card pulled as it
        // was checked, or left over from one) is undone: the card is
        // mounted again, or offered for formatting when that fails.
        printf("ChkSdCard(): the mount cannot be examined\n");
        System("umount " SDCARD_PARTITION);
        return;
    }
    if (!IsDeviceCard()) {
        // Not for a card that went while it was checked.
        if (KEY_Get(0, nullptr) & KEY_SD_DETECT)
            g_bSdCardFormatReq = 1;
        return;
    }
    SYS_mkdir(SDCARD_ROOT "/MY_FOLDER", 0777);
    SYS_mkdir(SDCARD_ROOT "/UTILITY", 0777);
    SYS_sync();
    // Recordings a power loss cut short are mended before anything lists
    // the card's files.
    RCV_RecoverCard();
    g_RemainMedia.Update();
    NVRAM_Load();
    RestorePosition();
    if (IsActiveScreen("player"))
        g_ScreenManager.SetActive("player", 1);
    g_bSdCard = 1;
    s_nMountWait = 0;
}

void ChkSdCard(unsigned long dwKeys)
{
    if (g_bUsbMode)
        return;
    int bDetect = (dwKeys & KEY_SD_DETECT) ? 1 : 0;
    if (!bDetect && !g_bSdCard) {
        // A question for a card that has gone is not asked; a card that was
        // refused is not left mounted; the next card starts afresh.
        g_bSdCardFormatReq = 0;
        s_nMountWait = 0;
        if (IsMount(SDCARD_PARTITION))
            System("umount " SDCARD_PARTITION);
        return;
    }
    if (bDetect == g_bSdCard)
        return;
    if (!bDetect)
        CardGone();
    else if (!g_bSdCardFormatReq && !g_bSdCardFormatting)
        CardArrived();
}

// ---- USB storage --------------------------------------------------------------------

void ChkUsb(unsigned long dwKeys)
{
    int bCable = (dwKeys & KEY_USB_DETECT) ? 1 : 0;
    if (!bCable)
        s_nUsbOnCount = 0;
    if (bCable == g_bUsbMode)
        return;
    if (bCable) {
        int bIdle = PL_IsStop() && !REC_IsRecording() && !g_bAfterRecording && g_bSdCard;
        if (!bIdle) {
            s_nUsbOnCount = 0;
            return;
        }
        if (++s_nUsbOnCount < STATE_USB_PASSES)
            return;
        printf("******* USB ON \n");
        PL_Stop(STOP_BY_SYSTEM);
        PL_Close();
        PreRecExitVal();
        g_bUsbMode = 1;
        g_bSdCard = 0;
        SYS_sync();
        System("echo 1 > /proc/sys/vm/drop_caches");
        System("umount " SDCARD_PARTITION);
        System("modprobe g_file_storage file=" SDCARD_DEVICE " removable=1");
        return;
    }
    if (!s_bUsbPowerOffSent) {
        s_bUsbPowerOffSent = 1;
        printf("******* USB OFF \n");
        System("rmmod g_file_storage");
        PowerOffReq(0);
    }
    s_nUsbOnCount = 0;
}

// ---- HDMI ---------------------------------------------------------------------------

static int ResumeRequested(void)
{
    return g_bMovieRecHDMI || g_bPhotoRecHDMI || g_bAudioRecHDMI || g_bMenuPlayHDMI;
}

static int CurrentIsSoundFile(void)
{
    char szExt[256];
    g_PlaylistCtrl.GetCurrentFileExt(szExt);
    ToUpper(szExt);
    return strcmp(szExt, "WAV") == 0;
}

// A sound file plays on by itself; a picture is shown held on its first frame.
static void ShowOrPlay(int bSoundFile)
{
    if (bSoundFile) {
        g_bSetAV_MuteOFF_Flag = 1;
        g_bKeepStop = 0;
    } else {
        g_bKeepStop = 1;
        PL_Play();
    }
}

// The wanted output: 1 HDMI, 0 LCD.
static int WantHdmi(int bCable)
{
    int bAllowed = !g_bRecorder && (IsActiveScreen("player") || IsActiveScreen("testmode")) && !g_bAfterRecording &&
                   !g_bHdmiOffReq;
    if (!g_bHdmi) {
        if (!bCable || !bAllowed)
            return 0;
        printf("******* HDMI ON Check Start\n");
        int nSink = 0;
        if (HDMI_CheckEDID(&nSink) && nSink == 1) {
            printf("******* HDMI ON\n");
            return 1;
        }
        return 0;
    }
    if (bCable && bAllowed)
        return 1;
    if (!bCable && bAllowed) {
        printf("******* HDMI OFF(bHdmi== 0) \n");
        s_bChgHdmiReal = 1;
    } else {
        printf("******* HDMI OFF \n");
        s_bChgHdmiReal = 0;
    }
    return 0;
}

static void WaitForDisplay(void)
{
    int nPolls = 0;
    if (g_bDispHdmi != g_bHdmi) {
        SleepMS(HDMI_POLL_MS);
        while (g_bDispHdmi != g_bHdmi && nPolls < HDMI_POLLS && !g_bQuit) {
            SleepMS(HDMI_POLL_MS);
            ++nPolls;
        }
    }
    if (nPolls > HDMI_SLOW_POLLS || g_bDispHdmi != g_bHdmi)
        printf("******* HDMI/LCD Change Timeout!!\n");
    else
        printf("******* HDMI/LCD Change=%d !!\n", nPolls);
}

// Playback after the hand-over: the current file again, and what the
// player screen asked to resume on HDMI.
static void ResumePlayback(int bCable)
{
    int bReopen = (!g_bRecorder && !ResumeRequested() && !s_bChgHdmiReal) || (!bCable && s_bChgHdmiReal);
    if (bReopen && g_PlaylistCtrl.GetCount() > 0) {
        printf("******* HDMI/LCD Change=PL_Open() !!\n");
        char szPath[256];
        char szReal[300];
        g_PlaylistCtrl.GetCurrentFilePath(szPath);
        ToRealPath(szReal, szPath);
        if (PL_Open(szReal))
            ShowOrPlay(GetActionMode() == ACTION_MODE_SOUND && CurrentIsSoundFile());
    }
    if (!g_bHdmi)
        return;
    int bSound = GetActionMode() == ACTION_MODE_SOUND;
    if (g_bMenuPlayHDMI || s_bChgHdmiReal) {
        ShowOrPlay(bSound && CurrentIsSoundFile());
        g_bMenuPlayHDMI = 0;
    }
    if (g_bMovieRecHDMI || g_bPhotoRecHDMI) {
        ShowOrPlay(0);
        g_bMovieRecHDMI = 0;
        g_bPhotoRecHDMI = 0;
    }
    if (g_bAudioRecHDMI) {
        ShowOrPlay(CurrentIsSoundFile());
        g_bAudioRecHDMI = 0;
    }
}

void ChkHdmi(unsigned long dwKeys)
{
    int bCable = (dwKeys & KEY_HDMI_DETECT) ? 1 : 0;
    int bWant = WantHdmi(bCable);
    if (bWant == g_bHdmi)
        return;

    printf("******* HDMI/LCD Change Start\n");
    if (PL_GetSeekSpeed() != 0) {
        PL_SetSeekSpeed(0, 0);
        PL_StopAudioRenderer();
    }
    PL_Stop(STOP_BY_SYSTEM);
    int bTestMode = IsActiveScreen("testmode");
    if (!bTestMode && ((!ResumeRequested() && !g_bHdmi && !s_bChgHdmiReal) || (!bCable && s_bChgHdmiReal))) {
        printf("******* HDMI/LCD Change=PL_Close() !!\n");
        PL_Close();
    }
    PL_EnableDrawOsd();
    g_bHdmi = bWant;
    WaitForDisplay();

    if (bTestMode) {
        if (!TestModeIsCameraMenu())
            FB_SetEnable(1);
        g_bSetAV_MuteOFF_Flag = 1;
        printf("******* HDMI/LCD Change Done(TestMode)!!\n");
        return;
    }
    ResumePlayback(bCable);
    printf("******* HDMI/LCD Change Done!!\n");
    g_bSetAV_MuteOFF_Flag = 1;
}

// ---- The thread ---------------------------------------------------------------------

void StateControlPass(void)
{
    // The main loop reads the keys; the last mask it read is used here.
    unsigned long dwKeys = KEY_Get(0, nullptr);
    ChkBattery();
    ChkExtAudio(dwKeys);
    ChkSpeaker(dwKeys);
    ChkRecordingLed();
    g_bCameraFlip = (dwKeys & KEY_CAMERA_SW) ? 0 : 1;
    ChkSdCard(dwKeys);
    ChkUsb(dwKeys);
    ChkHdmi(dwKeys);
    if (g_bSyncReq) {
        g_bSyncReq = 0;
        SYS_sync();
    }
}

void* StateControlThread(void* pArg)
{
    // The first screen is chosen as the threads start; the card's position
    // is restored for it.
    for (int i = 0; i < 100 && !g_bQuit && !g_ScreenManager.GetActive(); ++i)
        SleepMS(10);
    while (!g_bQuit) {
        StateControlPass();
        SleepMS(STATE_CONTROL_PERIOD_MS);
    }
    Rendezvous_meet(g_hRendezvousCleanup);
    return nullptr;
}
