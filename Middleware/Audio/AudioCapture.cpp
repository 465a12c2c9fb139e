// The audio capture thread. While the recorder is active it reads the codec
// in 5 ms blocks, filters them, feeds the monitor and the meter, runs the
// auto-record trigger and packs 100 ms recording buffers for the writers.
#include "Middleware/Audio/AudioCapture.h"

#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioPlay.h"
#include "Middleware/Audio/InputAudioFilter.h"
#include "Middleware/Audio/LevelMeter.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"

#include <stdio.h>
#include <string.h>

int g_nAudioFreq = 44100;
int g_nAudioBits = 16;
int g_nAudioSampleBytes = 4;
int g_nAudioChannels = 2;
Fifo_Handle g_hAudioCaptureFree = nullptr;
Fifo_Handle g_hAudioCaptureOut = nullptr;
int g_bAudioCaptureRunning = 0;
int g_bAudioCaptureRunning2 = 0;
int g_bAutoRecStartReq = 0;
int g_bAutoRecStopReq = 0;

enum
{
    READ_BUF_SIZE = 2884,  // one block (2880 at most) and one carried channel sample
    LEAVE_BLOCKS = 20,
    METER_BLOCKS = 10,
    AUTO_REC_SILENT_BLOCKS = 1000,
};

static int s_bAudioResetReq = 0;
static unsigned char s_baReadBuf[READ_BUF_SIZE];
static unsigned char s_baFilterBuf[READ_BUF_SIZE];
static unsigned char s_baCarryIn[4];   // before the filter
static unsigned char s_baCarryOut[4];  // after the filter
static BufTab_Handle s_hAudioCaptureBufTab = nullptr;

void ResetAudioCapture(void)
{
    s_bAudioResetReq = 1;
    for (int i = 0; i < 100 && s_bAudioResetReq; ++i)
        SleepMS(10);
}

static void AudioCaptureRestartSound(int bFull)
{
    char szText[NVRAM_TEXT_SIZE];
    if (bFull) {
        SND_Exit();
        g_nAudioFreq = static_cast<int>(GetParameter("/REC Quality/SAMPLE RATE", nullptr));
        g_nAudioBits = static_cast<int>(GetParameter("/REC Quality/SOUND FORMAT", nullptr));
        g_nAudioSampleBytes = (g_nAudioBits / 8) * 2;
    }

    char szSelect[NVRAM_TEXT_SIZE];
    szSelect[0] = 0;
    GetParameter("/Input Setting/INPUT SELECT", szSelect);
    int bMic = strcmp(szSelect, "MIC") == 0;

    if (!g_bExtAudio || bMic) {
        szText[0] = 0;
        GetParameter("/Input Setting/LOW CUT", szText);
        if (strcmp(szText, "OFF") == 0)
            g_InputAudioFilter.SetLcfLevel(CInputAudioFilter::LCF_OFF);
        else if (strcmp(szText, "40Hz") == 0)
            g_InputAudioFilter.SetLcfLevel(CInputAudioFilter::LCF_40HZ);
        else if (strcmp(szText, "80Hz") == 0)
            g_InputAudioFilter.SetLcfLevel(CInputAudioFilter::LCF_80HZ);
        else if (strcmp(szText, "120Hz") == 0)
            g_InputAudioFilter.SetLcfLevel(CInputAudioFilter::LCF_120HZ);
    } else {
        g_InputAudioFilter.SetLcfLevel(CInputAudioFilter::LCF_OFF);
    }

    // The equaliser lifts the low end of the built-in microphones only.
    if (g_bExtAudio)
        g_InputAudioFilter.DisableEQ();
    else
        g_InputAudioFilter.EnableEQ();

    g_nAudioChannels = static_cast<int>(GetParameter("/Input Setting/INPUT TYPE", nullptr));
    g_InputAudioFilter.SetInputParameter(g_nAudioFreq, g_nAudioBits, g_nAudioChannels);

    int bLine = 0;
    if (!g_bExtAudio) {
        SND_SetMixer("Capture Source Select", "Inner_Mic");
    } else if (bMic) {
        int bBias = static_cast<int>(GetParameter("/Input Setting/PLUG IN POWER", nullptr)) == 1;
        SND_SetMixer("Capture Source Select", bBias ? "Ext_Mic_Bias" : "Ext_Mic");
    } else if (strcmp(szSelect, "LINE") == 0) {
        SND_SetMixer("Capture Source Select", "Line");
        SND_SetMixer("Capture Level Ctrl", "Off");
        bLine = 1;
    }

    if (!bLine) {
        szText[0] = 0;
        GetParameter("/Input Setting/MIC GAIN", szText);
        if (strcmp(szText, "LOW") == 0)
            SND_SetMixer("Mic Gain", "Low");
        else if (strcmp(szText, "MID") == 0)
            SND_SetMixer("Mic Gain", "Mid");
        else if (strcmp(szText, "HIGH") == 0)
            SND_SetMixer("Mic Gain", "High");

        szText[0] = 0;
        GetParameter("/Input Setting/LEVEL CONTROL", szText);
        if (strcmp(szText, "OFF") == 0)
            SND_SetMixer("Capture Level Ctrl", "Off");
        else if (strcmp(szText, "AUTO") == 0)
            SND_SetMixer("Capture Level Ctrl", "Auto");
        else if (strcmp(szText, "LIMITER") == 0)
            SND_SetMixer("Capture Level Ctrl", "Limiter");
    }

    if (bFull) {
        g_InputAudioFilter.UpdateParameter();
        SND_SetRecVolume(g_Msp430_nInputVolume);
        SND_Init(SOUND_MODE_REC_MONITOR, g_nAudioFreq, g_nAudioBits, 2);
    }
}

static int ReadSwapSetting(void)
{
    if (g_bExtAudio)
        return 0;
    return static_cast<int>(GetParameter("/Input Setting/L/R SWAP", nullptr)) == 1;
}

static Buffer_Handle TakeFreeBuffer(void)
{
    if (!g_hAudioCaptureFree || Fifo_getNumEntries(g_hAudioCaptureFree) <= 0)
        return nullptr;
    Buffer_Handle hBuf = nullptr;
    if (Fifo_getPoll(g_hAudioCaptureFree, &hBuf, 0) != Dmai_EOK)
        return nullptr;
    Buffer_setNumBytesUsed(hBuf, 0);
    return hBuf;
}

// One capture run, from the start flag to a stop condition.
static void RunCapture(void)
{
    printf("********** ACAP: START \n");
    g_bAudioCaptureRunning = 1;
    s_bAudioResetReq = 0;
    g_bAutoRecStartReq = 0;
    g_bAutoRecStopReq = 0;
    memset(s_baCarryIn, 0, sizeof(s_baCarryIn));
    memset(s_baCarryOut, 0, sizeof(s_baCarryOut));
    AudioCaptureRestartSound(1);

    int bSwap = ReadSwapSetting();
    int bAutoRec = GetParameter("/Rec Option/AUTO REC MODE", nullptr) != 0 &&
                   !(g_nAudioFreq == 96000 && GetActionMode() == ACTION_MODE_MOVIE) && !g_bAfterRecMode &&
                   !g_bAfterRecording;
    float fAutoRecLevel = GetParameter("/Rec Option/AUTO REC LEVEL", nullptr);
    int bPreRec = static_cast<int>(GetParameter("/Rec Option/PRE REC", nullptr)) == 1;

    const int nFrameBytes = g_nAudioSampleBytes;
    const int nSampleBytes = nFrameBytes / 2;
    int nBlock = nFrameBytes * g_nAudioFreq / 200;
    nBlock -= nBlock % nFrameBytes;
    int nRecBufSize = nFrameBytes * g_nAudioFreq / 10;
    nRecBufSize -= nRecBufSize % nFrameBytes;
    if (nBlock + nSampleBytes > READ_BUF_SIZE || nRecBufSize > AUDIO_CAPTURE_BUFFER_SIZE || nBlock <= 0) {
        ERR_PRINT("ACAP: no capture format for %d Hz %d bits\n", g_nAudioFreq, g_nAudioBits);
        nBlock = 0;
    }

    g_bAudioCaptureRunning2 = 1;
    int nLeave = LEAVE_BLOCKS;
    int nBlockCount = 0;
    int nMaxLeft = 0;
    int nMaxRight = 0;
    int nSilence = AUTO_REC_SILENT_BLOCKS;
    Buffer_Handle hRecBuf = nullptr;

    while (nBlock > 0) {
        if (g_bQuit || g_bUsbMode || g_bSdCardFormatReq || g_bSdCardFormatting)
            break;
        if (s_bAudioResetReq) {
            AudioCaptureRestartSound(0);
            bSwap = ReadSwapSetting();
            s_bAudioResetReq = 0;
        }
        if (!g_bRecorder && !g_bAfterRecording) {
            --nLeave;
            if (nLeave == LEAVE_BLOCKS - 1)
                SND_DAC_Mute(1);
            if (nLeave <= 0)
                break;
        }

        // Read and filter. The codec delivers the channels one slot late;
        // each shift by one channel sample turns left and right around.
        int bPathS = g_nAudioChannels == 2 && !g_bExtAudio && ((bSwap == 1) != (g_bCameraFlip != 0));
        int nPeakLeft = 0;
        int nPeakRight = 0;
        if (!SND_GetObject())
            SleepMS(5);  // no device: keep the pace of the blocks without it
        if (bPathS) {
            SND_Read(s_baReadBuf, nBlock);
            g_InputAudioFilter.FilterExecute(s_baFilterBuf, s_baReadBuf, nBlock, &nPeakLeft, &nPeakRight);
        } else {
            memcpy(s_baReadBuf, s_baCarryIn, nSampleBytes);
            SND_Read(s_baReadBuf + nSampleBytes, nBlock);
            memcpy(s_baCarryIn, s_baReadBuf + nBlock, nSampleBytes);
            g_InputAudioFilter.FilterExecute(s_baFilterBuf, s_baReadBuf, nBlock, &nPeakLeft, &nPeakRight);
        }

        // Monitor: the filter output shifted by one more channel sample.
        Buffer_Handle hMon = nullptr;
        if (g_hAudioPlayFree && Fifo_get(g_hAudioPlayFree, &hMon) == Dmai_EOK && hMon) {
            unsigned char* pMon = reinterpret_cast<unsigned char*>(Buffer_getUserPtr(hMon));
            memcpy(pMon, s_baCarryOut, nSampleBytes);
            memcpy(pMon + nSampleBytes, s_baFilterBuf, nBlock - nSampleBytes);
            Buffer_setNumBytesUsed(hMon, nBlock);
            Fifo_put(g_hAudioPlayOut, hMon);
        }
        memcpy(s_baCarryOut, s_baFilterBuf + nBlock - nSampleBytes, nSampleBytes);

        // Meter every 10 blocks (50 ms) with the span's largest peaks.
        if (nPeakLeft > nMaxLeft)
            nMaxLeft = nPeakLeft;
        if (nPeakRight > nMaxRight)
            nMaxRight = nPeakRight;
        if (++nBlockCount >= METER_BLOCKS) {
            LM_Update(nMaxLeft, nMaxRight, 1, 0);
            nBlockCount = 0;
            nMaxLeft = 0;
            nMaxRight = 0;
        }

        if (bAutoRec) {
            float fLouder = g_fAudioLevelL > g_fAudioLevelR ? g_fAudioLevelL : g_fAudioLevelR;
            float fQuieter = g_fAudioLevelL > g_fAudioLevelR ? g_fAudioLevelR : g_fAudioLevelL;
            if (fLouder > fAutoRecLevel && g_RemainMedia.IsAvaiableSpace()) {
                g_bAutoRecStartReq = 1;
                g_bAutoRecStopReq = 0;
                nSilence = AUTO_REC_SILENT_BLOCKS;
            }
            if (!g_bRecording || g_bRecPause) {
                g_bAutoRecStopReq = 0;
                nSilence = AUTO_REC_SILENT_BLOCKS;
            }
            if (g_bRecording && !g_bRecPause && fQuieter <= fAutoRecLevel && nSilence > 0) {
                if (--nSilence == 0) {
                    g_bAutoRecStartReq = 0;
                    g_bAutoRecStopReq = 1;
                }
            }
        }

        // Recording buffers. A pause drops the partial buffer, so that the
        // recording resumes on a 100 ms boundary of fresh sound.
        if ((g_bRecording && g_bRecPause) || (g_bAfterRecording && !PL_IsPlaying())) {
            if (hRecBuf) {
                Fifo_put(g_hAudioCaptureFree, hRecBuf);
                hRecBuf = nullptr;
            }
            continue;
        }
        int bFill = g_bRecording || (bPreRec && !g_bAfterRecMode && !g_bAfterRecording) || g_bAfterRecording;
        if (!bFill) {
            // What was gathered belongs to a recording that has ended.
            if (hRecBuf) {
                Fifo_put(g_hAudioCaptureFree, hRecBuf);
                hRecBuf = nullptr;
            }
            continue;
        }
        if (!hRecBuf) {
            hRecBuf = TakeFreeBuffer();
            if (!hRecBuf)
                continue;
        }
        int nUsed = Buffer_getNumBytesUsed(hRecBuf);
        int nCopy = nBlock < nRecBufSize - nUsed ? nBlock : nRecBufSize - nUsed;
        memcpy(Buffer_getUserPtr(hRecBuf) + nUsed, s_baFilterBuf, nCopy);
        nUsed += nCopy;
        Buffer_setNumBytesUsed(hRecBuf, nUsed);
        if (nUsed >= nRecBufSize) {
            Fifo_put(g_hAudioCaptureOut, hRecBuf);
            g_nRecPos += 100;
            hRecBuf = nullptr;
            int nRest = nBlock - nCopy;
            if (nRest > 0) {
                hRecBuf = TakeFreeBuffer();
                if (hRecBuf) {
                    memcpy(Buffer_getUserPtr(hRecBuf), s_baFilterBuf + nCopy, nRest);
                    Buffer_setNumBytesUsed(hRecBuf, nRest);
                } else {
                    printf("no audio buf!\n");
                }
            }
        }
    }

    g_bAudioCaptureRunning2 = 0;
    SND_Exit();
    g_bAudioCaptureRunning = 0;
    printf("********** ACAP: STOP \n");
    if (hRecBuf)
        Fifo_put(g_hAudioCaptureFree, hRecBuf);
    AudioPlayFlushReq();
}

void* AudioCaptureThread(void* pArg)
{
    g_hAudioCaptureFree = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hAudioCaptureOut = Fifo_create(&Fifo_Attrs_DEFAULT);
    s_hAudioCaptureBufTab = BufTab_create(AUDIO_CAPTURE_BUFFERS, AUDIO_CAPTURE_BUFFER_SIZE, &Buffer_Attrs_DEFAULT);
    if (!s_hAudioCaptureBufTab) {
        // Capture, monitor and meter still work; recordings get no sound.
        ERR_PRINT("ACAP: BufTab_create(%d, 57856) failed. \n", AUDIO_CAPTURE_BUFFERS);
    } else {
        for (int i = 0; i < AUDIO_CAPTURE_BUFFERS; ++i)
            Fifo_put(g_hAudioCaptureFree, BufTab_getBuf(s_hAudioCaptureBufTab, i));
    }
    g_bAudioCaptureRunning = 0;
    g_bAudioCaptureRunning2 = 0;
    AudioCaptureRestartSound(0);
    Rendezvous_meet(g_hRendezvousInit);

    while (!g_bQuit) {
        if (s_bAudioResetReq) {
            AudioCaptureRestartSound(0);
            s_bAudioResetReq = 0;
        }
        int bStart = g_bRecorder ? g_bStartRecCap : g_bAfterRecording;
        if (GetActionMode() == ACTION_MODE_PHOTO || g_bAudioRenderRunning || !bStart) {
            SleepMS(10);
            continue;
        }
        RunCapture();
    }

    Rendezvous_force(g_hRendezvousInit);
    Rendezvous_meet(g_hRendezvousCleanup);

    if (s_hAudioCaptureBufTab)
        BufTab_delete(s_hAudioCaptureBufTab);
    s_hAudioCaptureBufTab = nullptr;
    Fifo_delete(g_hAudioCaptureOut);
    Fifo_delete(g_hAudioCaptureFree);
    g_hAudioCaptureOut = nullptr;
    g_hAudioCaptureFree = nullptr;
    return nullptr;
}
