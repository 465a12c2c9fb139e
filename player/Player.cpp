// The player. One file at a time is open in the media reader; the play
// audio thread reads its sound in 100 ms blocks through the variable-speed
// filter to the sound device and moves the play position; the play video
// thread queues the video samples for the decoder as the position reaches
// them, or hands a still picture to the scaler. Callers and threads talk
// through the plain words of the player state.
#include "player/Player.h"

#include "DrvLib/Hdmi.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Media/MediaReader.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/LevelMeter.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

int g_nAudioPlayFreq = 0;
int g_nAudioPlayBits = 0;
int g_nAudioPlayChannels = 0;
int g_nVideoPlayWidth = 0;
int g_nVideoPlayHeight = 0;
int g_nVideoPlayFps = 30;
int g_bAudioRenderRunning = 0;
int g_bKeepStop = 0;
CVSAFilter g_VsaFilter;
CIoRepeat g_ctrlIoRepeat;

enum
{
    STAT_STOP = 0,
    STAT_PLAY = 1,
    STAT_PAUSE = 3,  // bit 0 set: active
};

struct PLAYER
{
    int m_stat;
    int m_pos;  // ms from the start of the file
    CMediaReader m_media;
    int m_bOpen;
    int m_nDuration;
    int m_bStopping;
    int m_nStopReason;
    int m_nSeeking;  // frames per step: > 0 cue, < 0 review
    int m_nSetPos;   // target of a pending video seek, -1: m_pos
    int m_bDelayAudioStart;
    int m_b1stVideoDecPriority;
    int m_bVideoSeekReq;
    int m_bAudioSeekReq;
    int m_bAudioRestarting;
    int m_bDecoderInitReq;
    int m_nErrorCode;
    int m_bDispErrPopup;
    int m_nHDMI_set_flag;
    int m_nOpenCount;  // the play threads start afresh with every file
};

static PLAYER s_Player;
static int s_nAudioPlayBytePerSample = 0;
static int s_nAudioPlayBytePerSampleForDst = 0;

// ---- Sound buffers ------------------------------------------------------------

enum
{
    AUDIO_WINDOW_BLOCKS = 10,
    AUDIO_BLOCK_MAX = 86400,  // 100 ms of 96 kHz, 24-bit stereo at 150 %
    AUDIO_WINDOW_BYTES = AUDIO_WINDOW_BLOCKS * AUDIO_BLOCK_MAX,
    AUDIO_OUT_BYTES = 57856,
    AUDIO_LOOKAHEAD_BLOCKS = 5,
    AUDIO_RUN_OUT_BLOCKS = 20,
    METER_DELAY = 8,
    DECODER_INPUT_BYTES = 262144,
    KEY_SEARCH_FRAMES = 60,
};

static unsigned char s_nRdAudioData[AUDIO_WINDOW_BYTES];
static unsigned char s_nDummyAudioData[AUDIO_BLOCK_MAX];
static unsigned char newData[AUDIO_OUT_BYTES];
static int s_nCacheMaxL[METER_DELAY];
static int s_nCacheMaxR[METER_DELAY];

// The meter shows what is heard: the peaks of eight pushes (400 ms of
// output) ago.
static void PushLevleMeter(int nPeakLeft, int nPeakRight)
{
    LM_Update(s_nCacheMaxL[0], s_nCacheMaxR[0], 0, 0);
    memmove(s_nCacheMaxL, s_nCacheMaxL + 1, sizeof(int) * (METER_DELAY - 1));
    memmove(s_nCacheMaxR, s_nCacheMaxR + 1, sizeof(int) * (METER_DELAY - 1));
    s_nCacheMaxL[METER_DELAY - 1] = nPeakLeft;
    s_nCacheMaxR[METER_DELAY - 1] = nPeakRight;
}

// ---- Sound output --------------------------------------------------------------

void PL_StartAudioRenderer(void)
{
    PLAYER& p = s_Player;
    if (g_bAfterRecording || g_bAudioRenderRunning)
        return;
    // The codec cannot capture and play at once.
    while (g_bAudioCaptureRunning && !g_bQuit)
        SleepMS(10);
    if (!p.m_media.HasAudio(NULL))
        return;
    printf("********** ARND:START\n");
    g_bAudioRenderRunning = 1;
    SND_SetPlayVolume((int)GetParameter("/GLOBAL/PLAY VOL", NULL));
    SND_Init(SOUND_MODE_PLAY, g_nAudioPlayFreq, g_bDispHdmi ? 16 : g_nAudioPlayBits, g_nAudioPlayChannels);
    if (g_bDispHdmi)
        g_bSetAV_MuteOFF_Flag = 1;
}

void PL_StopAudioRenderer(void)
{
    if (!g_bAudioRenderRunning)
        return;
    SND_DAC_Mute(1);
    SND_SetPlayVolume(0);
    SleepMS(25);
    SND_Exit();
    g_bAudioRenderRunning = 0;
    printf("********** ARND:STOP::%lu\n", (unsigned long)GetTime());
}

// ---- State queries ---------------------------------------------------------------

int PL_GetPos(void) { return s_Player.m_pos; }
int PL_GetDuration(void) { return s_Player.m_nDuration; }
int PL_IsOpen(void) { return s_Player.m_bOpen; }
int PL_IsStopping(void) { return s_Player.m_bStopping; }
int PL_GetStopReason(void) { return s_Player.m_nStopReason; }
int PL_GetSeekSpeed(void) { return s_Player.m_nSeeking; }
int PL_GetErrorCode(void) { return s_Player.m_nErrorCode; }
int PL_GetDispErrorPopup(void) { return s_Player.m_bDispErrPopup; }
void PL_SetDispErrorPopup(void) { s_Player.m_bDispErrPopup = 1; }
int PL_GetStat(void) { return s_Player.m_stat; }
int PL_IsPlaying(void) { return s_Player.m_stat == STAT_PLAY; }
int PL_IsPausing(void) { return s_Player.m_stat == STAT_PAUSE; }
int PL_IsStop(void) { return s_Player.m_stat == STAT_STOP; }
int PL_IsImage(void) { return s_Player.m_media.GetImage() != NULL; }
void PL_GetTitle(char* szTitle) { s_Player.m_media.GetTitle(szTitle); }
void PL_GetDateStr(char* szDate) { s_Player.m_media.GetDateStr(szDate); }
unsigned long PL_GetFileSize(void) { return s_Player.m_media.GetFileLength(); }

static int HasPicture(void)
{
    return s_Player.m_media.GetImage() != NULL || s_Player.m_media.HasVideo();
}

// ---- Open, play, pause, stop -------------------------------------------------

// The thread records live as long as the threads.
static TH_THREAD* s_pPlayAudioThread = NULL;
static TH_THREAD* s_pPlayVideoThread = NULL;

int PL_Init(void)
{
    s_Player.m_pos = 0;
    s_Player.m_stat = STAT_STOP;
    s_Player.m_nSetPos = -1;
    s_pPlayAudioThread = TH_CreateThread(PlayAudioThread, NULL, NULL);
    s_pPlayVideoThread = TH_CreateThread(PlayVideoThread, NULL, NULL);
    return 1;
}

// Duration in ms of a track, 0x7FFFFFFF when there is none.
static int TrackDuration(int nKind)
{
    MovTrack* pTrack = s_Player.m_media.GetTrack(nKind);
    if (!pTrack || !(pTrack->dTimeScale > 0.0))
        return 0x7FFFFFFF;
    double dMs = pTrack->dDuration / pTrack->dTimeScale * 1000.0;
    return dMs >= 2147483647.0 ? 0x7FFFFFFF : (dMs > 0.0 ? (int)dMs : 0);
}

int PL_Open(const char* szPath)
{
    PLAYER& p = s_Player;
    printf("PL_Open(%s)\n", szPath);
    PL_Stop(STOP_BY_SYSTEM);
    PL_Close();
    p.m_nErrorCode = 0;
    p.m_bDispErrPopup = 0;

    int nResult = p.m_media.Open(szPath);
    if (nResult != 0) {
        printf("%s open error!!\n%s\n", szPath, strerror(errno));
        p.m_nErrorCode = nResult;
        return 0;
    }

    // Requests left from the last file mean nothing for this one.
    ++p.m_nOpenCount;
    p.m_nSeeking = 0;
    p.m_nSetPos = -1;
    p.m_bDelayAudioStart = 0;
    p.m_b1stVideoDecPriority = 0;
    p.m_bVideoSeekReq = 0;
    p.m_bAudioSeekReq = 0;
    p.m_bAudioRestarting = 0;

    p.m_stat = STAT_STOP;
    p.m_pos = 0;
    p.m_bOpen = 1;
    g_nVideoPlayWidth = p.m_media.GetVideoWidth();
    g_nVideoPlayHeight = p.m_media.GetVideoHeight();
    double dFps = p.m_media.GetFps(MOV_TRACK_VIDEO);
    // 1000 / (d x 1000 / scale) lands a hair below a whole rate (29.99...):
    // truncated, that would be a frame rate too low.
    g_nVideoPlayFps = dFps >= 1.0 && dFps < 1000.0 ? (int)(dFps + 1e-6) : 30;
    printf("PL_Open()g_nVideoPlayWidth=%d\n", g_nVideoPlayWidth);

    const int nVideoMs = TrackDuration(MOV_TRACK_VIDEO);
    const int nAudioMs = TrackDuration(MOV_TRACK_SOUND);

    p.m_media.GetAudioInfo(&g_nAudioPlayFreq, &g_nAudioPlayBits, &g_nAudioPlayChannels);
    s_nAudioPlayBytePerSample = g_nAudioPlayBits / 8 * g_nAudioPlayChannels;
    s_nAudioPlayBytePerSampleForDst = s_nAudioPlayBytePerSample;

    float fSpeed = GetParameter("/PB Control/SPEED", NULL);
    if (GetParameter("/GLOBAL/ENABLE SPEED", NULL) == 0 || g_bAfterRecMode ||
        (GetActionMode() == ACTION_MODE_SOUND && g_nAudioPlayFreq == 96000))
        fSpeed = 1.0f;
    g_VsaFilter.SetInputParameter(g_nAudioPlayFreq, g_nAudioPlayBits, g_nAudioPlayChannels, fSpeed);

    p.m_bDecoderInitReq = 1;

    // (the extension of the reader's title, which is held to 255 characters)
    char szTitle[256];
    char szExt[256];
    p.m_media.GetTitle(szTitle);
    GetFileExt(szExt, szTitle);
    ToUpper(szExt);
    if (strcmp(szExt, "WAV") == 0)
        p.m_nDuration = nAudioMs;
    else if (strcmp(szExt, "JPG") == 0 || strcmp(szExt, "JPEG") == 0)
        p.m_nDuration = nVideoMs;
    else
        p.m_nDuration = nVideoMs < nAudioMs ? nVideoMs : nAudioMs;

    ResetVideoCapture();
    WaitStartPlayResizer();

    SetParameter("/GLOBAL/LastMode", (float)GetActionMode());
    SetParameter("/LOCAL/LastFile", strlen(szPath) > 7 ? szPath + 7 : "");
    return 1;
}

int PL_Close(void)
{
    s_Player.m_media.Close();
    g_ctrlIoRepeat.Reset();
    s_Player.m_bOpen = 0;
    return 1;
}

void PL_Play(void)
{
    PLAYER& p = s_Player;
    if (!p.m_bOpen)
        return;
    if (g_bDispHdmi) {
        if (!p.m_nHDMI_set_flag) {
            HDMI_SetAudioFmt(16, g_nAudioPlayFreq, g_nVideoPlayWidth);
            p.m_nHDMI_set_flag = 1;
        }
        s_nAudioPlayBytePerSampleForDst = g_nAudioPlayChannels * 2;
        g_VsaFilter.SetOutputParameter(16);
    } else {
        s_nAudioPlayBytePerSampleForDst = g_nAudioPlayChannels * g_nAudioPlayBits / 8;
        g_VsaFilter.SetOutputParameter(g_nAudioPlayBits);
    }

    if (g_bKeepStop) {
        p.m_stat = STAT_PLAY;
        return;
    }
    if (GetActionMode() == ACTION_MODE_MOVIE) {
        if (p.m_stat == STAT_PLAY) {
            // The video thread starts the sound with its next frame.
            p.m_bDelayAudioStart = 1;
            p.m_b1stVideoDecPriority = 1;
            return;
        }
        if (g_VsaFilter.GetSpeed() != g_VsaFilter.GetReqSpeed() && p.m_pos != 0) {
            // A new speed: start again at the key frame of this position.
            p.m_bDelayAudioStart = 1;
            p.m_b1stVideoDecPriority = 1;
            p.m_nSetPos = -1;
            p.m_bVideoSeekReq = 1;
            p.m_stat = STAT_PLAY;
            return;
        }
    }
    if (!p.m_nSeeking)
        PL_StartAudioRenderer();
    p.m_stat = STAT_PLAY;
}

int PL_Pause(void)
{
    if (s_Player.m_stat == STAT_PLAY) {
        s_Player.m_stat = STAT_PAUSE;
        PL_StopAudioRenderer();
        SleepMS(100);
    } else {
        PL_Play();
    }
    return 1;
}

int PL_Stop(int nReason)
{
    PLAYER& p = s_Player;
    if (g_bDispHdmi && !(GetActionMode() == ACTION_MODE_PHOTO && nReason == STOP_BY_END && !g_bKeepStop)) {
        HDMI_AV_Mute_ON();
        p.m_nHDMI_set_flag = 0;
    }
    if (p.m_stat == STAT_STOP)
        return 1;
    p.m_bStopping = 1;
    p.m_nStopReason = nReason;

    if (nReason == STOP_BY_USER) {
        // The seek to frame 0 is asked for before the keep-stop: the video
        // thread keeps the frame it queues next, which must be frame 0 and
        // not one it was about to show.
        PL_StopAudioRenderer();
        PL_SetPos(0);
        g_bKeepStop = 1;
        if (GetActionMode() != ACTION_MODE_MOVIE) {
            g_bKeepStop = 0;
            PL_StopAudioRenderer();
            p.m_stat = STAT_STOP;
        } else {
            // The video thread queues frame 0 and ends the stop (reason 5).
            for (int i = 0; i < 10 && p.m_stat != STAT_STOP; ++i)
                SleepMS(100);
            if (p.m_stat != STAT_STOP)
                printf("PL_Stop(STOP_BY_USER) ... timeout!![%lu]\n", (unsigned long)GetTime());
        }
    } else {
        if (!PL_PreStop(nReason)) {
            p.m_bStopping = 0;
            return 0;
        }
        p.m_stat = STAT_STOP;
        SleepMS(50);
        PL_StopAudioRenderer();
        SleepMS(50);
        VideoDecStop();
        p.m_bDecoderInitReq = 1;
        if (p.m_nSeeking < -99 || p.m_nSeeking > 99)
            SleepMS(50);
        PL_PostStop(nReason);
    }
    p.m_bStopping = 0;
    return 1;
}

int PL_WaitKeepStop(void)
{
    for (int i = 0; i < 250; ++i) {
        if (!g_bKeepStop)
            return 1;
        SleepMS(10);
        SleepMS(10);
    }
    if (!g_bKeepStop)
        return 1;
    printf("PL_WaitKeepStop() timeout!!\n");
    return 0;
}

// ---- Position, cue and review -------------------------------------------------

void PL_SetPos(int nMs)
{
    PLAYER& p = s_Player;
    int nMode = GetActionMode();
    if (nMode == ACTION_MODE_MOVIE || nMode == ACTION_MODE_PHOTO) {
        // The video thread finds the key frame and moves the position.
        p.m_bDelayAudioStart = 1;
        PL_StopAudioRenderer();
        p.m_b1stVideoDecPriority = 1;
        p.m_nSetPos = nMs;
        p.m_bVideoSeekReq = 1;
    } else {
        if (g_bDispHdmi && nMs == 0)
            HDMI_AV_Mute_OFF();
        p.m_pos = nMs;
        p.m_bAudioSeekReq = 1;
    }
}

void PL_SetSeekSpeed(int nSpeed, int bResume)
{
    PLAYER& p = s_Player;
    if (p.m_nSeeking == 0 && nSpeed != 0) {
        // The sound is off for the whole cue or review.
        PL_StopAudioRenderer();
        p.m_nSeeking = nSpeed;
        return;
    }
    if (p.m_nSeeking != 0 && nSpeed == 0) {
        if (bResume) {
            if (GetActionMode() == ACTION_MODE_SOUND) {
                p.m_nSeeking = 0;
                p.m_bAudioRestarting = 1;
                PL_StopAudioRenderer();
                PL_StartAudioRenderer();
                p.m_bAudioRestarting = 0;
            } else {
                p.m_bDelayAudioStart = 1;
                p.m_b1stVideoDecPriority = 1;
                p.m_nSetPos = -1;
                p.m_bVideoSeekReq = 1;
            }
        }
        p.m_nSeeking = 0;
    } else {
        p.m_nSeeking = nSpeed;
        if (nSpeed != 0)
            return;
    }
    g_bStepSeek = 0;
    if (GetActionMode() == ACTION_MODE_MOVIE && !bResume) {
        // Show the picture where the cue or review ended.
        p.m_nSetPos = -1;
        p.m_bVideoSeekReq = 1;
    }
}

// ---- Information strings --------------------------------------------------------

void PL_GetInfoStr(char* szVideo, char* szAudio)
{
    PLAYER& p = s_Player;
    szVideo[0] = 0;
    szAudio[0] = 0;
    char szTitle[256];
    char szExt[256];
    p.m_media.GetTitle(szTitle);
    GetFileExt(szExt, szTitle);
    ToUpper(szExt);
    const char* szSize = g_nVideoPlayWidth == 1280 ? "720p" : "VGA";
    if (strcmp(szExt, "MOV") == 0) {
        double dMbps = 0.0;
        if (p.m_nDuration > 0 && p.m_nDuration != 0x7FFFFFFF) {
            double dBytesPerSecond = (double)p.m_media.GetFileLength() * 1000.0 / p.m_nDuration;
            dMbps = (dBytesPerSecond - (double)s_nAudioPlayBytePerSample * g_nAudioPlayFreq) * 8.0 / 1000000.0;
        }
        sprintf(szVideo, "%s,%dfps,%0.2fMbps", szSize, g_nVideoPlayFps, dMbps);
    } else if (strcmp(szExt, "JPG") == 0 || strcmp(szExt, "JPEG") == 0) {
        strcpy(szVideo, szSize);
    }
    if (strcmp(szExt, "MOV") == 0 || strcmp(szExt, "WAV") == 0) {
        char szRate[16];
        if (g_nAudioPlayFreq == 96000)
            strcpy(szRate, "96k");
        else if (g_nAudioPlayFreq == 48000)
            strcpy(szRate, "48k");
        else if (g_nAudioPlayFreq == 44100)
            strcpy(szRate, "44.1K");
        else if (g_nAudioPlayFreq % 1000 == 0)
            sprintf(szRate, "%dk", g_nAudioPlayFreq / 1000);
        else
            sprintf(szRate, "%.1fK", g_nAudioPlayFreq / 1000.0);
        sprintf(szAudio, "%dbit,%s,%s", g_nAudioPlayBits, g_nAudioPlayChannels == 2 ? "STEREO" : "MONO", szRate);
    }
}

// ---- Play audio thread ------------------------------------------------------------

// What the audio thread keeps between its passes.
struct AudioRun
{
    int nOpenCount;
    int nBlockCount;      // blocks read since the last (re)start
    long long nSrcIndex;  // next sample of the sound track to read
    int nHave;            // bytes in the read window; -1: nine blocks of silence
    int nLastBlock;       // block bytes of the last pass
    int nCarry;           // bytes held back at newData's head; -1: silence
    int nRunOut;          // silent blocks still to feed after the end, 0 = none
    int bAfterRecStarted;
    DWORD dwLastStep;
};

static void ResetAudioRun(AudioRun* pRun)
{
    memset(s_nRdAudioData, 0, sizeof(s_nRdAudioData));
    pRun->nBlockCount = 0;
    pRun->nSrcIndex = 0;
    pRun->nHave = -1;
    pRun->nLastBlock = 0;
    pRun->nCarry = -1;
    pRun->nRunOut = 0;
    pRun->bAfterRecStarted = 0;
    pRun->dwLastStep = 0;
}

static void IdleTail(void)
{
    if (!g_bRecorder)
        PushLevleMeter(0, 0);
    SleepMS(50);
}

// Fills pDst with up to nSpace bytes of sound from sample *pIndex on, in the
// reader's runs; a run longer than the space is cut to whole samples.
static int ReadSound(unsigned char* pDst, int nSpace, long long* pIndex)
{
    CMediaReader& media = s_Player.m_media;
    int nGot = 0;
    while (nGot < nSpace && *pIndex <= INT_MAX) {
        long nOffset;
        int nSize, nCount, nTotal;
        if (!media.GetSamplePos(MOV_TRACK_SOUND, (int)*pIndex, &nOffset, &nSize, &nCount, &nTotal) || nCount <= 0 ||
            nTotal <= 0)
            break;
        const int nPerSample = nTotal / nCount;
        if (nPerSample <= 0)
            break;
        int nTake = nCount;
        if (nTotal > nSpace - nGot)
            nTake = (nSpace - nGot) / nPerSample;
        if (nTake <= 0 || !media.Read(pDst + nGot, nOffset, nTake * nPerSample))
            break;
        nGot += nTake * nPerSample;
        *pIndex += nTake;
    }
    return nGot;
}

// Big-endian 16-bit sound turned round in place.
static void SwapPairs(unsigned char* p, int nBytes)
{
    for (int i = 0; i + 1 < nBytes; i += 2) {
        unsigned char b = p[i];
        p[i] = p[i + 1];
        p[i + 1] = b;
    }
}

// A file without a picture has no video thread to serve the requests that
// a seek makes of it: the audio thread takes them on itself.
static void ServeVideoRequestsWithoutPicture(void)
{
    PLAYER& p = s_Player;
    if (p.m_bVideoSeekReq) {
        if (p.m_nSetPos != -1)
            p.m_pos = p.m_nSetPos;
        p.m_nSetPos = -1;
        p.m_bAudioSeekReq = 1;
        p.m_bVideoSeekReq = 0;
    }
    if (p.m_bDelayAudioStart || p.m_b1stVideoDecPriority) {
        p.m_b1stVideoDecPriority = 0;
        p.m_bDelayAudioStart = 0;
        if (p.m_stat == STAT_PLAY && !p.m_nSeeking)
            PL_StartAudioRenderer();
    }
}

// The last half destination frame of each block's output is held back and
// goes out at the head of the next block (the codec's serial port takes the
// data one channel slot late). In mono a half frame would be half a sample:
// nothing is held back.
static int HeldBytes(void)
{
    return g_nAudioPlayChannels == 2 ? s_nAudioPlayBytePerSampleForDst / 2 : 0;
}

// Writes one block's output (behind the held bytes at newData's head) in two
// halves, each moving the position and feeding the meter.
static void WriteBlock(AudioRun* pRun, int nBytes, int nSpeed, int nPeakLeft, int nPeakRight)
{
    PLAYER& p = s_Player;
    const int nDst = s_nAudioPlayBytePerSampleForDst;
    const int nHold = HeldBytes();
    const int nSend = pRun->nCarry + nBytes - nHold;
    const int nFirst = nDst > 0 ? (nSend / 2) / nDst * nDst : 0;
    SND_Write(newData, nFirst);
    p.m_pos += nSpeed / 2;
    PushLevleMeter(nPeakLeft, nPeakRight);
    SND_Write(newData + nFirst, nSend - nFirst);
    p.m_pos += nSpeed / 2;
    PushLevleMeter(nPeakLeft, nPeakRight);
    memmove(newData, newData + nSend, nHold);
    pRun->nCarry = nHold;
}

// One block of a movie without sound: the position runs on the clock.
static void ClockStep(AudioRun* pRun)
{
    DWORD dwNow = GetTime();
    if (pRun->bAfterRecStarted) {
        DWORD dwSince = DeltaTime(pRun->dwLastStep, dwNow);
        if (dwSince < 100)
            SleepMS(100 - dwSince);
    }
    pRun->bAfterRecStarted = 1;
    pRun->dwLastStep = GetTime();
    s_Player.m_pos += g_VsaFilter.GetReqSpeed();
}

void* PlayAudioThread(void* pArg)
{
    (void)pArg;
    AudioRun run;
    memset(s_nDummyAudioData, 0, sizeof(s_nDummyAudioData));
    memset(newData, 0, sizeof(newData));
    memset(s_nCacheMaxL, 0, sizeof(s_nCacheMaxL));
    memset(s_nCacheMaxR, 0, sizeof(s_nCacheMaxR));
    ResetAudioRun(&run);
    run.nOpenCount = s_Player.m_nOpenCount;
    int bWasActive = 0;

    Rendezvous_meet(g_hRendezvousInit);

    while (!g_bQuit) {
        PLAYER& p = s_Player;
        if (run.nOpenCount != p.m_nOpenCount) {
            ResetAudioRun(&run);
            run.nOpenCount = p.m_nOpenCount;
        }

        // 1. Stopped: back to the top once, then idle.
        if (!(p.m_stat & 1)) {
            if (bWasActive) {
                p.m_pos = 0;
                ResetAudioRun(&run);
                bWasActive = 0;
            }
            IdleTail();
            continue;
        }
        bWasActive = 1;

        const int bPicture = HasPicture();
        // 2. A kept first frame of a sound file is no frame at all.
        if (g_bKeepStop) {
            if (!bPicture) {
                PL_Stop(STOP_BY_KEEP);
                g_bKeepStop = 0;
            }
            IdleTail();
            continue;
        }
        if (!bPicture)
            ServeVideoRequestsWithoutPicture();
        // 3. The video thread is finding the frame of a new position.
        if (p.m_bVideoSeekReq) {
            SleepMS(10);
            continue;
        }

        // 4. Only while playing a file with sound (or a movie without it).
        const int bSound = p.m_media.HasAudio(NULL);
        const int bClockOnly = !bSound && p.m_media.HasVideo() && !p.m_media.GetImage();
        if (p.m_stat != STAT_PLAY || (!bSound && !bClockOnly) || p.m_bDelayAudioStart) {
            IdleTail();
            continue;
        }
        // Half a second of output runs on after the end: by then the sound
        // device (which holds at most that much) has played the file's last
        // sample. Faster than normal that is more than 500 ms of the file.
        int nRangeStart = 0;
        const int nRunOn = g_VsaFilter.GetReqSpeed() > 100 ? 5 * g_VsaFilter.GetReqSpeed() : 500;
        long long nRangeEnd = (long long)p.m_media.GetDuration() + nRunOn;
        if (g_ctrlIoRepeat.GetLoopEnable()) {
            nRangeStart = g_ctrlIoRepeat.GetStartPos() > 0 ? g_ctrlIoRepeat.GetStartPos() : 0;
            if (g_ctrlIoRepeat.GetEndPos() >= 0)
                nRangeEnd = g_ctrlIoRepeat.GetEndPos();
        }

        // 5. Cue, review and new positions.
        int bSeekStep = 0;
        const int nSeeking = p.m_nSeeking;
        if (nSeeking) {
            if (!p.m_bAudioRestarting) {
                long long nPos = p.m_pos + (long long)nSeeking * 1000 / g_nVideoPlayFps;
                if (nPos < 0)
                    nPos = 0;
                if (nPos > nRangeEnd)
                    nPos = nRangeEnd;
                p.m_pos = (int)nPos;
            }
            if (nSeeking < 0 && p.m_pos <= nRangeStart) {
                PL_Stop(STOP_BY_TOP);
                continue;
            }
            bSeekStep = 1;
        }
        if (p.m_bAudioSeekReq || p.m_bAudioRestarting || bSeekStep) {
            p.m_bAudioSeekReq = 0;
            if (p.m_pos >= nRangeEnd) {
                PL_Stop(STOP_BY_END);
                continue;
            }
            run.nSrcIndex = (long long)p.m_pos * g_nAudioPlayFreq / 1000;
            run.nRunOut = 0;
            if (p.m_nSeeking || p.m_bAudioRestarting)
                SleepMS(33);
            run.nBlockCount = 0;
            continue;
        }

        if (bClockOnly) {
            ClockStep(&run);
            if (p.m_pos >= nRangeEnd)
                PL_Stop(STOP_BY_END);
            continue;
        }

        // 6. Block geometry: the source sound of 100 ms of output.
        int nSpeed = g_VsaFilter.GetReqSpeed();
        if (g_bAfterRecording)
            nSpeed = 100;
        const int nBlock = s_nAudioPlayBytePerSample * (g_nAudioPlayFreq * nSpeed / 1000);
        if (nBlock <= 0 || nBlock > AUDIO_BLOCK_MAX) {
            IdleTail();
            continue;
        }
        int bRelaid = 0;
        if (run.nHave < 0) {
            run.nHave = (AUDIO_WINDOW_BLOCKS - 1) * nBlock;
        } else if (!g_bAfterRecording && g_VsaFilter.GetSpeed() != nSpeed && run.nBlockCount > 4 &&
                   nBlock != run.nLastBlock && run.nLastBlock > 0) {
            // A new speed: the history is re-laid so that the window's
            // middle stays where it was.
            if (nBlock < run.nLastBlock) {
                int nDrop = (run.nLastBlock - nBlock) * AUDIO_LOOKAHEAD_BLOCKS;
                if (nDrop > run.nHave)
                    nDrop = run.nHave;
                memmove(s_nRdAudioData, s_nRdAudioData + nDrop, run.nHave - nDrop);
                run.nHave -= nDrop;
            } else {
                int nMove = (nBlock - run.nLastBlock) * AUDIO_LOOKAHEAD_BLOCKS;
                if (run.nHave + nMove > AUDIO_WINDOW_BYTES)
                    nMove = AUDIO_WINDOW_BYTES - run.nHave;
                memmove(s_nRdAudioData + nMove, s_nRdAudioData, run.nHave);
                memset(s_nRdAudioData, 0, nMove);
                run.nHave += nMove;
            }
            bRelaid = 1;
        }
        run.nLastBlock = nBlock;

        // 7, 8. Read the free part of the window, or silence once the file
        // has run out, until the filter's window has drained.
        const int nNeed = AUDIO_WINDOW_BLOCKS * nBlock - run.nHave;
        if (run.nRunOut > 0) {
            if (--run.nRunOut == 0) {
                if (!g_bAfterRecording)
                    SND_Wait();
                PL_Stop(STOP_BY_END);
                continue;
            }
            if (nNeed > 0)
                memset(s_nRdAudioData + run.nHave, 0, nNeed);
        } else if (nNeed > 0) {
            unsigned char* pFree = s_nRdAudioData + run.nHave;
            int nGot = ReadSound(pFree, nNeed, &run.nSrcIndex);
            int bBigEndian = 0;
            if (nGot > 0 && p.m_media.HasAudio(&bBigEndian) && bBigEndian && g_nAudioPlayBits == 16)
                SwapPairs(pFree, nGot);
            if (nGot == 0)
                run.nRunOut = AUDIO_RUN_OUT_BLOCKS + 1;
            if (nGot < nNeed)
                memset(pFree + nGot, 0, nNeed - nGot);
        }
        if (nNeed > 0)
            run.nHave += nNeed;

        // 9. From the fifth block on, 100 ms of output.
        ++run.nBlockCount;
        if (run.nBlockCount >= AUDIO_LOOKAHEAD_BLOCKS) {
            const int bReset = run.nBlockCount == AUDIO_LOOKAHEAD_BLOCKS || bRelaid;
            if (g_bAfterRecording) {
                // No sound while a dub records: two steps take 192 ms.
                DWORD dwNow = GetTime();
                if (!run.bAfterRecStarted) {
                    run.dwLastStep = dwNow;
                    SleepMS(96);
                    run.bAfterRecStarted = 1;
                } else {
                    DWORD dwSince = DeltaTime(run.dwLastStep, dwNow);
                    run.dwLastStep = dwNow;
                    if (dwSince < 192)
                        SleepMS(192 - dwSince);
                }
                p.m_pos += 100;
            } else {
                if (run.nCarry != HeldBytes()) {
                    // The stream starts with a held-back half frame of silence.
                    run.nCarry = HeldBytes();
                    memset(newData, 0, run.nCarry);
                }
                int nPeakLeft = 0, nPeakRight = 0;
                int nBytes = g_VsaFilter.FilterExecute(newData + run.nCarry, s_nRdAudioData,
                                                       AUDIO_WINDOW_BLOCKS * nBlock, &nPeakLeft, &nPeakRight, bReset);
                WriteBlock(&run, nBytes, nSpeed, nPeakLeft, nPeakRight);
            }
        }

        // 10. Slide the window one block on.
        run.nHave -= nBlock;
        memmove(s_nRdAudioData, s_nRdAudioData + nBlock, run.nHave);
        // The end of the file or of the loop. A refused stop (the loop) goes
        // on with a seek; a stop or a new file starts afresh next pass.
        if (run.nBlockCount >= AUDIO_LOOKAHEAD_BLOCKS && p.m_pos >= nRangeEnd)
            PL_Stop(STOP_BY_END);
        SleepUS(10);
    }

    Rendezvous_meet(g_hRendezvousCleanup);
    return NULL;
}

// ---- Play video thread ------------------------------------------------------------

// A key frame starts with an intra VOP, or with the group-of-VOP or
// sequence headers that other encoders put before one.
static int IsKeyFrameStart(const unsigned char* b, int nBytes)
{
    if (nBytes < 5 || b[0] != 0 || b[1] != 0 || b[2] != 1)
        return 0;
    return (b[3] == 0xB6 && b[4] < 64) || b[3] == 0xB3 || b[3] == 0xB0;
}

// The first key frame at or after nFrame, within 60 frames; -1 for none.
static int FindKeyFrame(int nFrame, int nCount)
{
    CMediaReader& media = s_Player.m_media;
    for (int i = nFrame; i >= 0 && i < nCount && i < nFrame + KEY_SEARCH_FRAMES; ++i) {
        long nOffset;
        int nSize, nRun, nTotal;
        unsigned char b[5];
        if (media.GetSamplePos(MOV_TRACK_VIDEO, i, &nOffset, &nSize, &nRun, &nTotal) && nSize >= 5 &&
            media.Read(b, nOffset, 5) && IsKeyFrameStart(b, 5))
            return i;
    }
    return -1;
}

// The decoder configuration that goes before the first frame of a decoder run.
static int DecoderConfig(const unsigned char** ppConfig)
{
    return MOV_GetDecoderConfig(s_Player.m_media.GetTrack(MOV_TRACK_VIDEO), ppConfig);
}

// A free decoder input; none when the program quits or another file opens.
static Buffer_Handle TakeDecoderBuffer(int nOpenCount)
{
    while (!g_bQuit && s_Player.m_nOpenCount == nOpenCount) {
        Buffer_Handle hBuf = NULL;
        int nResult = Fifo_getPoll(g_hDecoderFree, &hBuf, 50);
        if (nResult == Dmai_EOK && hBuf)
            return hBuf;
        if (nResult != Dmai_ETIMEOUT)
            SleepMS(50);
    }
    return NULL;
}

// Reads video sample nFrame into the decoder input (behind the decoder
// configuration when the decoder starts again). A sample that does not fit
// the input is refused.
static int FillDecoderInput(Buffer_Handle hBuf, int nFrame, int* pbKey, int* pbHeader)
{
    PLAYER& p = s_Player;
    unsigned char* pDst = (unsigned char*)Buffer_getUserPtr(hBuf);
    const int nCapacity = (int)Buffer_getSize(hBuf);
    int nHeader = 0;
    const int bInit = p.m_bDecoderInitReq;
    if (bInit) {
        p.m_bDecoderInitReq = 0;
        const unsigned char* pConfig = NULL;
        int nConfig = DecoderConfig(&pConfig);
        if (nConfig > 0 && nConfig <= 256 && nConfig <= nCapacity) {
            memcpy(pDst, pConfig, nConfig);
            nHeader = nConfig;
        }
    }
    long nOffset;
    int nSize, nRun, nTotal;
    int bOk = p.m_media.GetSamplePos(MOV_TRACK_VIDEO, nFrame, &nOffset, &nSize, &nRun, &nTotal);
    if (bOk && nSize > nCapacity - nHeader) {
        printf("PlayVideoThread(): frame %d of %d bytes does not fit the decoder input\n", nFrame, nSize);
        bOk = 0;
    }
    bOk = bOk && p.m_media.Read(pDst + nHeader, nOffset, nSize);
    if (!bOk) {
        if (bInit)
            p.m_bDecoderInitReq = 1;
        return 0;
    }
    Buffer_setNumBytesUsed(hBuf, nHeader + nSize);
    *pbHeader = bInit;
    *pbKey = nSize >= 5 && pDst[nHeader] == 0 && pDst[nHeader + 1] == 0 && pDst[nHeader + 2] == 1 &&
             ((pDst[nHeader + 3] == 0xB6 && (pDst[nHeader + 4] >> 6) == 0) || pDst[nHeader + 3] == 0xB3 ||
              pDst[nHeader + 3] == 0xB0);
    return 1;
}

// The still picture to the scaler, which shows it on the LCD or HDMI.
static void ShowStill(Buffer_Handle hImage)
{
    Buffer_Handle hBuf = NULL;
    for (int i = 0; i < 100 && !g_bQuit; ++i) {
        int nResult = Fifo_getPoll(g_hResizerFree, &hBuf, 50);
        if (nResult == Dmai_EOK && hBuf)
            break;
        hBuf = NULL;
        if (nResult != Dmai_ETIMEOUT)
            SleepMS(50);
    }
    if (!hBuf)
        return;
    BufferGfx_Dimensions dimImage;
    BufferGfx_getDimensions(hImage, &dimImage);
    BufferGfx_Dimensions dim;
    dim.x = 0;
    dim.y = 0;
    dim.width = dimImage.width;
    dim.height = dimImage.height;
    dim.lineLength = dimImage.width * 2;
    BufferGfx_setDimensions(hBuf, &dim);
    int nBytes = (int)Buffer_getNumBytesUsed(hImage);
    if (nBytes > (int)Buffer_getSize(hBuf))
        nBytes = (int)Buffer_getSize(hBuf);
    memcpy(Buffer_getUserPtr(hBuf), Buffer_getUserPtr(hImage), nBytes);
    Buffer_setNumBytesUsed(hBuf, nBytes);
    Fifo_put(g_hResizerIn, hBuf);
}

void* PlayVideoThread(void* pArg)
{
    (void)pArg;
    Rendezvous_meet(g_hRendezvousInit);

    int nNext = 0;
    int nLastQueued = -1;
    int nSinceKey = 0;
    int nOpenCount = s_Player.m_nOpenCount;
    while (!g_bQuit) {
        PLAYER& p = s_Player;
        if (nOpenCount != p.m_nOpenCount || !(p.m_stat & 1)) {
            nOpenCount = p.m_nOpenCount;
            nNext = 0;
            nLastQueued = -1;
            nSinceKey = 0;
            if (!(p.m_stat & 1)) {
                SleepMS(16);
                continue;
            }
        }

        Buffer_Handle hImage = p.m_media.GetImage();
        if (hImage) {
            if (p.m_stat != STAT_PLAY) {
                SleepMS(16);
                continue;
            }
            ShowStill(hImage);
            if (g_bKeepStop) {
                PL_Stop(STOP_BY_KEEP);
                g_bKeepStop = 0;
                if (g_bDispHdmi)
                    g_bSetAV_MuteOFF_Flag = 1;
            } else if (GetActionMode() == ACTION_MODE_SOUND) {
                SleepMS(500);  // the picture stays while the sound plays
            } else {
                PL_Pause();  // a photo is shown paused
                if (g_bDispHdmi && GetActionMode() == ACTION_MODE_PHOTO) {
                    printf("PlayVideoThread()->g_bSetAV_MuteOFF_Flag\n");
                    HDMI_AV_Mute_OFF();
                }
            }
            continue;
        }
        if (!p.m_media.HasVideo()) {
            SleepMS(16);
            continue;
        }

        // 3. The frame to queue next.
        const int nCount = p.m_media.GetSampleCount(MOV_TRACK_VIDEO);
        const int nFps = g_nVideoPlayFps > 0 ? g_nVideoPlayFps : 30;
        const int bSeekReq = p.m_bVideoSeekReq;
        int nFrame;
        if (p.m_nSeeking || bSeekReq) {
            const int nMs = bSeekReq && p.m_nSetPos != -1 ? p.m_nSetPos : p.m_pos;
            nFrame = FindKeyFrame(nMs / 1000 * nFps, nCount);
            if (nFrame < 0) {
                nNext = -1;
                if (bSeekReq) {
                    // Nothing to show there: the sound goes on from the
                    // position (or ends) instead of waiting for a picture.
                    p.m_bVideoSeekReq = 0;
                    p.m_pos = nMs;
                    p.m_nSetPos = -1;
                    p.m_bAudioSeekReq = 1;
                    p.m_b1stVideoDecPriority = 0;
                    p.m_bDelayAudioStart = 0;
                    if (p.m_stat == STAT_PLAY && !p.m_nSeeking)
                        PL_StartAudioRenderer();
                }
                SleepMS(16);
                continue;
            }
            if (bSeekReq) {
                p.m_pos = (int)((long long)nFrame * 1000 / nFps);
                p.m_bAudioSeekReq = 1;
                p.m_bDecoderInitReq = 1;
                p.m_nSetPos = -1;
                p.m_bVideoSeekReq = 0;
                nSinceKey = 0;
            }
        } else {
            nFrame = nNext;
            if (nFrame < 0 || nFrame >= nCount) {
                SleepMS(16);
                continue;
            }
        }
        // 5. A cue step that lands on the frame shown last shows nothing new.
        if (!bSeekReq && nFrame == nLastQueued) {
            SleepMS(16);
            continue;
        }

        // A seek asked for after this frame was chosen goes first (the stop
        // key sets the keep-stop flag and then asks for frame 0).
        if (!bSeekReq && p.m_bVideoSeekReq)
            continue;

        // 6. The kept first frame ends the stop by user.
        int bKeepFrame = 0;
        if (g_bKeepStop) {
            PL_Stop(STOP_BY_KEEP);
            g_bNonSkip = 1;
            g_bKeepStop = 0;
            if (g_bDispHdmi)
                g_bSetAV_MuteOFF_Flag = 1;
            bKeepFrame = 1;
        }

        // 7. The sample into a decoder input.
        Buffer_Handle hIn = TakeDecoderBuffer(nOpenCount);
        if (!hIn)
            continue;
        int bKey = 0, bInitHeader = 0;
        if (!FillDecoderInput(hIn, nFrame, &bKey, &bInitHeader)) {
            Fifo_put(g_hDecoderFree, hIn);
            nNext = nFrame + 1;
            continue;
        }
        if (bKey)
            nSinceKey = 0;

        // 8. Past this many frames of a group the decoder cannot keep up.
        const int nSpeed = g_VsaFilter.GetReqSpeed();
        const int nDropLimit = nSpeed <= 100 ? 30 : (15 - (nSpeed - 100) / 10) * 2;

        // 9. Pacing: a frame goes out when the position reaches its time.
        if (!(p.m_nSeeking || bKeepFrame || p.m_b1stVideoDecPriority)) {
            const long long nFrameMs = (long long)nFrame * 1000 / nFps;
            while (p.m_pos < nFrameMs + 250 && (p.m_stat & 1) && !p.m_nSeeking && !p.m_bVideoSeekReq && !g_bQuit &&
                   nOpenCount == p.m_nOpenCount)
                SleepMS(5);
            // A frame overtaken by a seek (or a stop) is not shown: the
            // first frame of the new position is.
            if (p.m_nSeeking || p.m_bVideoSeekReq || !(p.m_stat & 1) || nOpenCount != p.m_nOpenCount) {
                Fifo_put(g_hDecoderFree, hIn);
                if (bInitHeader)
                    p.m_bDecoderInitReq = 1;
                continue;
            }
        }
        const int bFirst = p.m_b1stVideoDecPriority;
        if (bFirst) {
            g_bWaitDispImage = 1;
            g_bNonSkip = 1;
        }

        // 10. Queue or drop.
        const int bDrop = nSinceKey >= nDropLimit || g_bQuit;
        if (bDrop) {
            Fifo_put(g_hDecoderFree, hIn);
        } else {
            Fifo_put(g_hDecoderIn, hIn);
            nLastQueued = nFrame;
        }

        // 11. The first frame after a seek starts the sound.
        if (bFirst) {
            SleepMS(30);
            if (p.m_stat == STAT_PLAY)
                PL_StartAudioRenderer();
            p.m_b1stVideoDecPriority = 0;
            p.m_bDelayAudioStart = 0;
            g_bWaitDispImage = 0;
        }

        ++nSinceKey;
        nNext = nFrame + 1;
        if (!bDrop)
            SleepMS(16);
    }

    Rendezvous_meet(g_hRendezvousCleanup);
    return NULL;
}
