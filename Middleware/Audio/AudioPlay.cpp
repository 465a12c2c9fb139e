// The monitor output: captured blocks played straight to the sound device.
#include "Middleware/Audio/AudioPlay.h"

#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Thread.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"

#include <stdio.h>

Fifo_Handle g_hAudioPlayFree = nullptr;
Fifo_Handle g_hAudioPlayOut = nullptr;

static BufTab_Handle s_hAudioPlayBufTab = nullptr;
static int s_bFlushReq = 0;

// Every filled buffer back to the free queue.
static void ReturnFilled(int nPauseUS)
{
    while (Fifo_getNumEntries(g_hAudioPlayOut) > 0) {
        Buffer_Handle hBuf = nullptr;
        if (Fifo_getPoll(g_hAudioPlayOut, &hBuf, 0) != Dmai_EOK || !hBuf)
            continue;
        Fifo_put(g_hAudioPlayFree, hBuf);
        if (nPauseUS)
            SleepUS(nPauseUS);
    }
}

void* AudioPlayThread(void* pArg)
{
    g_hAudioPlayFree = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hAudioPlayOut = Fifo_create(&Fifo_Attrs_DEFAULT);
    s_hAudioPlayBufTab = BufTab_create(AUDIO_PLAY_BUFFERS, AUDIO_PLAY_BUFFER_SIZE, &Buffer_Attrs_DEFAULT);
    if (!g_hAudioPlayFree || !g_hAudioPlayOut || !s_hAudioPlayBufTab) {
        ERR_PRINT("ACAP: BufTab_create(%d, %d) failed. \n", AUDIO_PLAY_BUFFERS, AUDIO_PLAY_BUFFER_SIZE);
        // Without monitor buffers the thread leaves; the meeting points
        // still see it so that start-up and shutdown go on.
        Rendezvous_force(g_hRendezvousInit);
        Rendezvous_meet(g_hRendezvousCleanup);
        return nullptr;
    }
    for (int i = 0; i < AUDIO_PLAY_BUFFERS; ++i)
        Fifo_put(g_hAudioPlayFree, BufTab_getBuf(s_hAudioPlayBufTab, i));

    Rendezvous_meet(g_hRendezvousInit);

    while (!g_bQuit) {
        if (s_bFlushReq) {
            ReturnFilled(10);
            s_bFlushReq = 0;
            continue;
        }
        Buffer_Handle hBuf = nullptr;
        int nResult = Fifo_getPoll(g_hAudioPlayOut, &hBuf, 50);
        if (nResult == Dmai_ETIMEOUT || nResult == Dmai_EFLUSH)
            continue;
        if (nResult < 0 || !hBuf) {
            ERR_PRINT("Failed to get capture buffer\n");
            continue;
        }
        // In movie mode at 24 bits the codec monitors the input itself.
        int bCodecMonitors = GetActionMode() == ACTION_MODE_MOVIE && g_nAudioBits == 24 && !g_bAfterRecording;
        if (g_bAudioCaptureRunning2 && !bCodecMonitors)
            SND_Write(Buffer_getUserPtr(hBuf), Buffer_getNumBytesUsed(hBuf));
        Fifo_put(g_hAudioPlayFree, hBuf);
    }

    ReturnFilled(0);
    Rendezvous_force(g_hRendezvousInit);
    Rendezvous_meet(g_hRendezvousCleanup);

    BufTab_delete(s_hAudioPlayBufTab);
    s_hAudioPlayBufTab = nullptr;
    Fifo_delete(g_hAudioPlayOut);
    Fifo_delete(g_hAudioPlayFree);
    g_hAudioPlayOut = nullptr;
    g_hAudioPlayFree = nullptr;
    return nullptr;
}

int AudioPlayFlushReq(void)
{
    s_bFlushReq = 1;
    for (int i = 0; i < 100; ++i) {
        SleepMS(10);
        if (!s_bFlushReq)
            return 1;
    }
    printf("AudioPlayFlushReq()... timeout!!\n");
    return 0;
}
