#include "Media/Writer.h"

#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Media/MovRecorder.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/VPFE/Capture.h"

#include <algorithm>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int g_bMovWriterRunning = 0;
int g_bWavWriterRunning = 0;
int g_bFileIncrementReq = 0;

unsigned char* g_pPreRecV[PREREC_V_FRAMES];
int g_nPreRecV[PREREC_V_FRAMES];
unsigned char* g_pPreRecA = NULL;
int g_nPreRecA[PREREC_A_FRAMES];
int g_nPreRecFramesV = 0;
int g_nPreRecFramesA = 0;
int g_nPreRecScanIndexV = 0;
int g_nPreRecScanIndexA = 0;

CMovRecorder g_RecorderMov;

static Fifo_Handle s_hVideoFree = NULL;
static Fifo_Handle s_hVideoIn = NULL;
static BufTab_Handle s_hVideoBufTab = NULL;
static char s_OutputFileName[256];
static char s_szOutputPath[600];
static int s_nDropped = 0;

// A split waits for the sound to reach the end of the file's last whole
// second; the frames arriving meanwhile stay in the video ring for the next
// file, and the sound written beyond the end (kept from the last buffers
// written) goes to the next file too.
#define SPLIT_HISTORY 10
static int s_nSplitCode = 0;
static DWORD s_dwSplitTime = 0;
static int s_bSplitTimed = 0;
static unsigned char s_baHistory[SPLIT_HISTORY][PREREC_A_SLOT_SIZE];
static int s_anHistory[SPLIT_HISTORY];
static int s_nHistoryNext = 0;
static int s_nHistoryCount = 0;
static int s_nGotAudio = 0;
static int64_t s_nCarryBytes = 0;

#define SPLIT_SOUND_WAIT_MS 1000
#define VOL_START_LAST 0x1F

// ---- Queues ---------------------------------------------------------------

static Buffer_Handle TakeQueued(Fifo_Handle hFifo)
{
    if (!hFifo)
        return NULL;
    while (Fifo_getNumEntries(hFifo) > 0) {
        Buffer_Handle hBuf = NULL;
        int nResult = Fifo_getPoll(hFifo, &hBuf, 0);
        if (nResult == Dmai_EOK)
            return hBuf;
        if (nResult != Dmai_EFLUSH)
            break;
    }
    return NULL;
}

Buffer_Handle WriterGetVideo(void)
{
    return TakeQueued(s_hVideoIn);
}

void WriterPutVideoFree(Buffer_Handle hBuf)
{
    if (hBuf && Fifo_put(s_hVideoFree, hBuf) != Dmai_EOK)
        ERR_PRINT("Failed to send buffer to video thread\n");
}

Buffer_Handle WriterGetAudio(void)
{
    return TakeQueued(g_hAudioCaptureOut);
}

void WriterPutAudioFree(Buffer_Handle hBuf)
{
    if (hBuf && Fifo_put(g_hAudioCaptureFree, hBuf) != Dmai_EOK)
        ERR_PRINT("Failed to send buffer to audio capture thread\n");
}

// Returns the number of buffers given back.
static int FlushOnce(void)
{
    int n = 0;
    Buffer_Handle hBuf;
    while ((hBuf = WriterGetVideo()) != NULL) {
        WriterPutVideoFree(hBuf);
        ++n;
    }
    while ((hBuf = WriterGetAudio()) != NULL) {
        WriterPutAudioFree(hBuf);
        ++n;
    }
    return n;
}

void WriterFlushQueues(void)
{
    FlushOnce();
}

int WriterIsKeyFrame(const unsigned char* p, int nSize)
{
    return nSize >= 5 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xB6 && (p[4] >> 6) == 0;
}

int WriterGetDroppedCount(void)
{
    return s_nDropped;
}

void WriterCountDropped(const char* szWhat, int nSize, int nCapacity)
{
    ++s_nDropped;
    ERR_PRINT("%s of %d bytes dropped: its store holds %d\n", szWhat, nSize, nCapacity);
}

// ---- Pre-record rings -----------------------------------------------------------

int PreRecSlotSizeV(int nSlot)
{
    if (!g_pPreRecV[nSlot])
        return 0;
    return nSlot % 30 == 0 ? PREREC_V_KEY_SLOT_SIZE : PREREC_V_SLOT_SIZE;
}

static unsigned char* PreRecSlotA(int nSlot)
{
    return g_pPreRecA ? g_pPreRecA + nSlot * PREREC_A_SLOT_SIZE : NULL;
}

static int PreRecSlotSizeA(void)
{
    return g_pPreRecA ? PREREC_A_SLOT_SIZE : 0;
}

int PreRecIsOn(void)
{
    if (g_bAfterRecMode || g_bAfterRecording)
        return 0;
    return static_cast<int>(GetParameter("/Rec Option/PRE REC", NULL)) == 1;
}

void PreRecClear(void)
{
    g_nPreRecFramesV = 0;
    g_nPreRecFramesA = 0;
    g_nPreRecScanIndexV = 0;
    g_nPreRecScanIndexA = 0;
}

// Of a full ring of nSlots, the part a recording starts with: from the
// start of the third after the newest entry's third, to the newest.
static void PreRecSpan(int* pnCount, int* pnScan, int nSlots)
{
    const int nThird = nSlots / 3;
    if (*pnCount < nSlots) {
        *pnScan = 0;
        return;
    }
    int u = (*pnCount - 1) % nSlots;
    if (u < nThird) {
        *pnScan = nThird;
        *pnCount = u + 2 * nThird + 1;
    } else if (u < 2 * nThird) {
        *pnScan = 2 * nThird;
        *pnCount = u + nThird + 1;
    } else {
        *pnScan = 0;
        *pnCount = u + 1;
    }
}

void PreRecCalcIndex(void)
{
    PreRecSpan(&g_nPreRecFramesV, &g_nPreRecScanIndexV, PREREC_V_FRAMES);
    PreRecSpan(&g_nPreRecFramesA, &g_nPreRecScanIndexA, PREREC_A_FRAMES);
}

void PreRecExitVal(void)
{
    for (int i = 0; i < PREREC_V_FRAMES; ++i) {
        free(g_pPreRecV[i]);
        g_pPreRecV[i] = NULL;
    }
}

static void PreRecAllocate(void)
{
    PreRecClear();
    memset(g_nPreRecV, 0, sizeof(g_nPreRecV));
    memset(g_nPreRecA, 0, sizeof(g_nPreRecA));
    for (int i = 0; i < PREREC_V_FRAMES; ++i) {
        g_pPreRecV[i] = static_cast<unsigned char*>(malloc(i % 30 == 0 ? PREREC_V_KEY_SLOT_SIZE : PREREC_V_SLOT_SIZE));
        if (!g_pPreRecV[i])
            printf("malloc error!![g_pPreRecV[%d]]\n%s\n", i, strerror(errno));
    }
    g_pPreRecA = static_cast<unsigned char*>(malloc(PREREC_A_FRAMES * PREREC_A_SLOT_SIZE));
    if (!g_pPreRecA)
        printf("malloc error!![g_pPreRecA]\n%s\n", strerror(errno));
}

// Keeps the next queued frame in the video ring while waiting; the key-frame
// slots take only key frames.
static void PreRecKeepVideo(void)
{
    int nSlot = g_nPreRecFramesV % PREREC_V_FRAMES;
    int n = g_RecorderMov.TakeQueuedVideo(g_pPreRecV[nSlot], PreRecSlotSizeV(nSlot));
    g_nPreRecV[nSlot] = n;
    if (n <= 0)
        return;
    if (nSlot % 30 == 0 && !WriterIsKeyFrame(g_pPreRecV[nSlot], n)) {
        printf("skip!! [no key frame]\n");
        return;
    }
    ++g_nPreRecFramesV;
}

static void PreRecKeepAudio(void)
{
    int nSlot = g_nPreRecFramesA % PREREC_A_FRAMES;
    int n = g_RecorderMov.TakeQueuedAudio(PreRecSlotA(nSlot), PreRecSlotSizeA());
    g_nPreRecA[nSlot] = n;
    if (n > 0)
        ++g_nPreRecFramesA;
}

// ---- The recorder's hooks -------------------------------------------------

int CMovRecorder::TakeQueuedVideo(unsigned char* pBuffer, int nCapacity)
{
    Buffer_Handle hBuf = WriterGetVideo();
    if (!hBuf)
        return 0;
    int n = Buffer_getNumBytesUsed(hBuf);
    if (n > nCapacity || !pBuffer) {
        WriterCountDropped("frame", n, nCapacity);
        WriterPutVideoFree(hBuf);
        return 0;
    }
    if (n > 0)
        memcpy(pBuffer, Buffer_getUserPtr(hBuf), static_cast<size_t>(n));
    WriterPutVideoFree(hBuf);

    // The first frame after the encoder starts carries the stream's
    // configuration: a video-object start code, then the VOL.
    if (m_nVideoFrames == 0 && n >= 4 && pBuffer[0] == 0 && pBuffer[1] == 0 && pBuffer[2] == 1 &&
        pBuffer[3] <= VOL_START_LAST) {
        int nHeader = n;
        for (int i = 4; i + 3 < n; ++i) {
            if (pBuffer[i] == 0 && pBuffer[i + 1] == 0 && pBuffer[i + 2] == 1 && pBuffer[i + 3] == 0xB6) {
                nHeader = i;
                break;
            }
        }
        if (nHeader != 18)
            printf("unknwon pattern!!! %d \n", nHeader);
        if (nHeader > MOV_DEC_SPEC_INFO_SIZE) {
            WriterCountDropped("configuration header", nHeader, MOV_DEC_SPEC_INFO_SIZE);
            return 0;
        }
        memcpy(m_baDecSpecInfo, pBuffer, static_cast<size_t>(nHeader));
        m_nDecSpecInfoLen = nHeader;
        n -= nHeader;
        memmove(pBuffer, pBuffer + nHeader, static_cast<size_t>(n));
    }
    return n;
}

int CMovRecorder::TakeQueuedAudio(unsigned char* pBuffer, int nCapacity)
{
    Buffer_Handle hBuf = WriterGetAudio();
    if (!hBuf)
        return 0;
    int n = Buffer_getNumBytesUsed(hBuf);
    if (n > nCapacity || !pBuffer) {
        WriterCountDropped("sound buffer", n, nCapacity);
        n = 0;
    } else if (n > 0) {
        memcpy(pBuffer, Buffer_getUserPtr(hBuf), static_cast<size_t>(n));
    }
    WriterPutAudioFree(hBuf);
    return n;
}

void CMovRecorder::PostCreateFile(const char* szPath)
{
    SaveFileNumber();
    strcpy(screen_player::m_curFile, s_OutputFileName);
    s_nSplitCode = 0;
    s_bSplitTimed = 0;
    s_nHistoryCount = 0;
    s_nCarryBytes = 0;
}

int CMovRecorder::GetVideo(unsigned char* pBuffer)
{
    if (s_nSplitCode && m_nVideoFrames > 0 && m_nVideoFrames % 30 == 0) {
        // The file is complete up to a key frame: later frames wait for the next file.
        if (g_nPreRecFramesV < PREREC_V_FRAMES) {
            int nSlot = (g_nPreRecFramesV + g_nPreRecScanIndexV) % PREREC_V_FRAMES;
            int n = TakeQueuedVideo(g_pPreRecV[nSlot], PreRecSlotSizeV(nSlot));
            if (n > 0) {
                g_nPreRecV[nSlot] = n;
                ++g_nPreRecFramesV;
            }
        }
        return 0;
    }
    if (g_bRecording && g_nPreRecFramesV >= 1) {
        int nSlot = g_nPreRecScanIndexV;
        int n = g_nPreRecV[nSlot];
        memcpy(pBuffer, g_pPreRecV[nSlot], static_cast<size_t>(n));
        --g_nPreRecFramesV;
        g_nPreRecScanIndexV = (nSlot + 1) % PREREC_V_FRAMES;
        if (g_nPreRecFramesV > 0) {
            int nNext = (g_nPreRecFramesV + g_nPreRecScanIndexV) % PREREC_V_FRAMES;
            int nNew = TakeQueuedVideo(g_pPreRecV[nNext], PreRecSlotSizeV(nNext));
            if (nNew > 0) {
                g_nPreRecV[nNext] = nNew;
                ++g_nPreRecFramesV;
            }
        }
        return n;
    }
    int n = TakeQueuedVideo(pBuffer, MOV_SAMPLE_BUFFER_SIZE);
    // A movie starts with a key frame: the frames before the first one
    // cannot be decoded.
    if (n > 0 && m_nVideoFrames == 0 && !WriterIsKeyFrame(pBuffer, n))
        return 0;
    return n;
}

int CMovRecorder::GetAudio(unsigned char* pBuffer)
{
    int n = 0;
    if (g_bRecording && g_nPreRecFramesA >= 1) {
        // One 100 ms buffer per three frames while the ring drains.
        if (m_nVideoFrames == 0 || m_nVideoFrames % 3 != 0)
            return 0;
        int nSlot = g_nPreRecScanIndexA;
        n = g_nPreRecA[nSlot];
        memcpy(pBuffer, PreRecSlotA(nSlot), static_cast<size_t>(n));
        --g_nPreRecFramesA;
        g_nPreRecScanIndexA = (nSlot + 1) % PREREC_A_FRAMES;
        int nNext = (g_nPreRecFramesA + g_nPreRecScanIndexA) % PREREC_A_FRAMES;
        int nNew = TakeQueuedAudio(PreRecSlotA(nNext), PreRecSlotSizeA());
        if (nNew > 0) {
            g_nPreRecA[nNext] = nNew;
            ++g_nPreRecFramesA;
        }
    } else {
        n = TakeQueuedAudio(pBuffer, MOV_SAMPLE_BUFFER_SIZE);
    }
    s_nGotAudio = n;
    return n;
}

void CMovRecorder::PreLoop()
{
    if (!g_bRecording) {
        SetExitCode(MOV_EXIT_STOPPED);
        return;
    }
    if (s_nSplitCode && m_nVideoFrames > 0 && m_nVideoFrames % 30 == 0)
        TryEndSplit();
}

void CMovRecorder::PostAddVideoFrame()
{
    if (m_nVideoFrames % 30 == 29 && !s_nSplitCode) {
        if (GetCurrentPos() >= WRITER_SPLIT_BYTES)
            s_nSplitCode = MOV_EXIT_SIZE_LIMIT;
        else if (g_bFileIncrementReq)
            s_nSplitCode = MOV_EXIT_NEW_FILE;
    }
    if (s_nSplitCode && m_nVideoFrames % 30 == 0) {
        s_dwSplitTime = GetTime();
        s_bSplitTimed = 1;
        TryEndSplit();
    }
}

void CMovRecorder::PostAddAudioFrame()
{
    if (s_nGotAudio > 0 && s_nGotAudio <= PREREC_A_SLOT_SIZE) {
        memcpy(s_baHistory[s_nHistoryNext], m_baSampleBuffer, static_cast<size_t>(s_nGotAudio));
        s_anHistory[s_nHistoryNext] = s_nGotAudio;
        s_nHistoryNext = (s_nHistoryNext + 1) % SPLIT_HISTORY;
        if (s_nHistoryCount < SPLIT_HISTORY)
            ++s_nHistoryCount;
    } else {
        s_nHistoryCount = 0;
    }
    if (!g_RemainMedia.IsAvaiableSpace()) {
        SetExitCode(MOV_EXIT_CARD_FULL);
        REC_Stop();
        return;
    }
    if (g_Msp430_nBatteryLevel <= 1) {
        SetExitCode(MOV_EXIT_BATTERY_LOW);
        REC_Stop();
        return;
    }
    if (s_nSplitCode && m_nVideoFrames > 0 && m_nVideoFrames % 30 == 0)
        TryEndSplit();
}

// Ends the file for a split once its sound reaches the end of its video
// (or after a second without sound); what was written beyond that end is
// carried to the next file.
void CMovRecorder::TryEndSplit()
{
    const int nFrameBytes = (g_nAudioBits / 8) * 2;
    const int64_t nTarget = static_cast<int64_t>(g_nAudioFreq) * (m_nVideoFrames / 30);
    if (m_nAudioSamples < nTarget) {
        if (!s_bSplitTimed || DeltaTime(s_dwSplitTime, GetTime()) < SPLIT_SOUND_WAIT_MS)
            return;
        printf("split: no sound to end the file, %d of %lld samples\n", m_nAudioSamples,
               static_cast<long long>(nTarget));
    }
    s_nCarryBytes = m_nAudioSamples > nTarget ? (m_nAudioSamples - nTarget) * nFrameBytes : 0;
    SetExitCode(s_nSplitCode);
}

// The carried sound as ring entries in front of what the ring still holds:
// the end of the oldest buffer involved, then the newer ones whole.
static int PreRecPutCarry(int nSound, int64_t nCarry)
{
    int nEntries = 0;
    int64_t nCovered = 0;
    while (nEntries < s_nHistoryCount && nCovered < nCarry) {
        int nAt = (s_nHistoryNext - 1 - nEntries + 2 * SPLIT_HISTORY) % SPLIT_HISTORY;
        nCovered += s_anHistory[nAt];
        ++nEntries;
    }
    if (nCovered < nCarry || nSound + nEntries > PREREC_A_FRAMES) {
        printf("split: %lld bytes of sound not carried\n", static_cast<long long>(nCarry));
        return nSound;
    }
    memmove(g_pPreRecA + nEntries * PREREC_A_SLOT_SIZE, g_pPreRecA, static_cast<size_t>(nSound) * PREREC_A_SLOT_SIZE);
    memmove(g_nPreRecA + nEntries, g_nPreRecA, static_cast<size_t>(nSound) * sizeof(int));
    for (int i = 0; i < nEntries; ++i) {
        // Entry i is the (nEntries - i)-th newest buffer.
        int nAt = (s_nHistoryNext - nEntries + i + 2 * SPLIT_HISTORY) % SPLIT_HISTORY;
        int nSkip = i == 0 ? static_cast<int>(nCovered - nCarry) : 0;
        g_nPreRecA[i] = s_anHistory[nAt] - nSkip;
        memcpy(g_pPreRecA + i * PREREC_A_SLOT_SIZE, s_baHistory[nAt] + nSkip, static_cast<size_t>(g_nPreRecA[i]));
    }
    return nSound + nEntries;
}

int CMovRecorder::KeepSplitRemainder()
{
    // Frames: the ring from its scan index, turned so that it starts at slot
    // 0. Turning by whole seconds keeps key frames in the key-frame slots.
    int nFrames = g_nPreRecFramesV;
    int nFirst = g_nPreRecScanIndexV;
    int bKey = nFrames >= 1 && nFirst % 30 == 0 && WriterIsKeyFrame(g_pPreRecV[nFirst], g_nPreRecV[nFirst]);
    if (bKey && nFirst != 0) {
        std::rotate(g_pPreRecV, g_pPreRecV + nFirst, g_pPreRecV + PREREC_V_FRAMES);
        std::rotate(g_nPreRecV, g_nPreRecV + nFirst, g_nPreRecV + PREREC_V_FRAMES);
    }
    // Sound: what the ring still holds, after the carried end of the file.
    int nSound = g_nPreRecFramesA;
    int nScan = g_nPreRecScanIndexA;
    if (nSound > 0 && nScan != 0 && g_pPreRecA) {
        std::rotate(g_pPreRecA, g_pPreRecA + nScan * PREREC_A_SLOT_SIZE, g_pPreRecA + PREREC_A_FRAMES * PREREC_A_SLOT_SIZE);
        std::rotate(g_nPreRecA, g_nPreRecA + nScan, g_nPreRecA + PREREC_A_FRAMES);
    }
    if (s_nSplitCode && s_nCarryBytes > 0 && g_pPreRecA)
        nSound = PreRecPutCarry(nSound, s_nCarryBytes);
    int nResult = bKey ? 1 : (nFrames >= 1 ? -1 : 0);
    s_nCarryBytes = 0;
    s_nSplitCode = 0;
    s_nHistoryCount = 0;
    PreRecClear();
    if (nResult >= 0)
        g_nPreRecFramesA = nSound;
    if (nResult == 1)
        g_nPreRecFramesV = nFrames;
    return nResult;
}

// ---- The MOV loop ---------------------------------------------------------

static int NameNextFile(const char* szExt)
{
    char szDir[256];
    char szReal[300];
    g_PlaylistCtrl.GetCurrentDir(szDir);
    ToRealPath(szReal, szDir);
    if (!GetNextFileName(s_OutputFileName, szReal, szExt))
        return 0;
    snprintf(s_szOutputPath, sizeof(s_szOutputPath), "%s/%s", szReal, s_OutputFileName);
    return 1;
}

// The next file's first frame for slot 0. The frame after a split is a key
// frame; when it is not, frames up to the next key frame are dropped with
// the sound of the same time.
static void WaitForKeyFrame(int bNextIsFirst)
{
    for (int nPass = 0; nPass < 100; ++nPass) {
        if (!bNextIsFirst) {
            Buffer_Handle hBuf;
            while ((hBuf = WriterGetAudio()) != NULL)
                WriterPutAudioFree(hBuf);
        }
        int n = g_RecorderMov.TakeQueuedVideo(g_pPreRecV[0], PreRecSlotSizeV(0));
        if (n > 0 && WriterIsKeyFrame(g_pPreRecV[0], n)) {
            g_nPreRecV[0] = n;
            g_nPreRecFramesV = 1;
            return;
        }
        if (n > 0 && bNextIsFirst) {
            bNextIsFirst = 0;
            g_nPreRecFramesA = 0;
        }
        if (n <= 0)
            SleepMS(10);
    }
}

void WriterMovLoop(void)
{
    g_RecorderMov.ClearParam();
    int bFileOpened = 0;
    int bPreRec = 0;
    for (;;) {
        // 1. Waiting: the rings keep the last seconds, or the queues are kept moving.
        int bPreRecOn = 0;
        for (;;) {
            if (g_bQuit || GetActionMode() != ACTION_MODE_MOVIE || g_bRecorder != 1)
                return;
            bPreRecOn = PreRecIsOn();
            if (g_bRecording)
                break;
            if (bPreRecOn) {
                PreRecKeepVideo();
                PreRecKeepAudio();
            } else {
                g_RecorderMov.TakeQueuedVideo(g_pPreRecV[0], PreRecSlotSizeV(0));
                g_RecorderMov.TakeQueuedAudio(PreRecSlotA(0), PreRecSlotSizeA());
            }
            SleepMS(10);
        }

        // 2. Start.
        if (bPreRecOn)
            bPreRec = 1;
        if (bPreRec) {
            PreRecCalcIndex();
            g_nRecPos += g_nPreRecFramesA * 100;
        } else {
            PreRecClear();
        }

        // 3. Naming.
        if (!bFileOpened && !NameNextFile("mov")) {
            g_RecorderMov.SetExitCode(MOV_EXIT_NO_FILE_NAME);
            REC_Stop();
            bPreRec = 0;
            continue;
        }

        // 4. One file.
        printf("S:%lu\n", static_cast<unsigned long>(GetTime()));
        g_bMovWriterRunning = 1;
        int nResult = g_RecorderMov.Create(s_szOutputPath, g_nVideoRecordWidth, g_nVideoRecordHeight, 30,
                                           g_nAudioFreq, g_nAudioBits, 2);
        bFileOpened = 0;
        if (nResult < 0) {
            g_bRecording = 0;
            g_RecorderMov.SetExitCode(MOV_EXIT_NOT_CREATED);
        } else if (nResult == MOV_EXIT_NOT_CREATED || nResult == MOV_EXIT_CARD_FULL) {
            // The card failed under the file: recording cannot go on.
            REC_Stop();
        }

        // 5. Continue in a new file, or stop.
        int bGoOn = g_bRecording || (PreRecIsOn() && !g_bAfterRecMode && !g_bAfterRecording);
        if (bGoOn && (nResult == MOV_EXIT_SIZE_LIMIT || nResult == MOV_EXIT_NEW_FILE || g_bFileIncrementReq)) {
            int nKept = g_RecorderMov.KeepSplitRemainder();
            bFileOpened = NameNextFile("mov") && g_RecorderMov.PreCreate(s_szOutputPath) == 0;
            printf("B:%lu\n", static_cast<unsigned long>(GetTime()));
            printf("H:%lu\n", static_cast<unsigned long>(GetTime()));
            if (nKept != 1)
                WaitForKeyFrame(nKept == 0);
            bPreRec = 1;
            g_RecorderMov.ClearParam();
        } else {
            // What a split in progress kept becomes the start of the rings.
            g_RecorderMov.KeepSplitRemainder();
            bFileOpened = 0;
            bPreRec = 0;
            if (!g_bRecording && !(PreRecIsOn())) {
                SleepMS(100);
                FlushOnce();
                PreRecClear();
            }
        }

        // 6.
        g_bFileIncrementReq = 0;
        g_nRecPos = 0;
        g_bMovWriterRunning = 0;
        printf("E:%lu\n", static_cast<unsigned long>(GetTime()));
    }
}

// ---- The thread -----------------------------------------------------------

void* WriterThread(void* pArg)
{
    WriterEnv* pEnv = static_cast<WriterEnv*>(pArg);
    s_hVideoFree = pEnv->hFreeFifo;
    s_hVideoIn = pEnv->hInFifo;

    PreRecAllocate();
    s_hVideoBufTab = BufTab_create(WRITER_VIDEO_BUFFERS, WRITER_VIDEO_BUFFER_SIZE, &Buffer_Attrs_DEFAULT);
    if (!s_hVideoBufTab) {
        printf("MW: Failed to allocate encoded buffers\n");
        gblSetQuit();
    } else {
        for (int i = 0; i < BufTab_getNumBufs(s_hVideoBufTab); ++i)
            WriterPutVideoFree(BufTab_getBuf(s_hVideoBufTab, i));
        Rendezvous_meet(g_hRendezvousInit);

        while (!g_bQuit) {
            int nMode = GetActionMode();
            if (nMode == ACTION_MODE_MOVIE && g_bRecorder) {
                printf("*** start WriterMovLoop()\n");
                WriterMovLoop();
                printf("*** end WriterMovLoop()\n");
            } else if ((nMode == ACTION_MODE_MOVIE && g_bAfterRecording) ||
                       (nMode == ACTION_MODE_SOUND && (g_bRecorder || g_bAfterRecording))) {
                printf("*** start WriterWavLoop()\n");
                WriterWavLoop();
                printf("*** end WriterWavLoop()\n");
            } else {
                SleepMS(10);
                continue;
            }
            PreRecClear();
            int nEmpty = 0;
            for (int nPass = 0; nPass < 50 && nEmpty < 3; ++nPass) {
                nEmpty = FlushOnce() == 0 ? nEmpty + 1 : 0;
                SleepMS(10);
            }
        }
    }

    Rendezvous_force(g_hRendezvousInit);
    if (s_hVideoFree)
        Fifo_flush(s_hVideoFree);
    Rendezvous_meet(g_hRendezvousCleanup);
    if (s_hVideoBufTab) {
        BufTab_delete(s_hVideoBufTab);
        s_hVideoBufTab = NULL;
    }
    PreRecExitVal();
    free(g_pPreRecA);
    g_pPreRecA = NULL;
    return NULL;
}
