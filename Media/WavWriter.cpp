// The WAV loop of the writer thread: sound-only recordings, and the
// temporary file of an after-recording.
#include "Media/Writer.h"

#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/MovRecorder.h"
#include "Media/PlaylistCtrl.h"
#include "Media/Recovery.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenPlayer.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define WAV_HEADER_SIZE 44
#define WAV_UNKNOWN_SIZE 0xFFFFFFFFu
#define TMP_WAV_NAME ".tmp.wav"
#define TMP_JPG_PATH "/sdcard/.tmp.jpg"

namespace {

void PutLE16(unsigned char* p, unsigned v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void PutLE32(unsigned char* p, uint32_t v)
{
    PutLE16(p, v & 0xFFFF);
    PutLE16(p + 2, v >> 16);
}

// The header says what the file holds from the start; only the two sizes
// wait for the end, so a file cut short by a power loss still plays.
void MakeHeader(unsigned char* h, int nRate, int nBits, uint32_t dwRiffSize, uint32_t dwDataSize)
{
    const int nBlockAlign = (nBits / 8) * 2;
    memcpy(h, "RIFF", 4);
    PutLE32(h + 4, dwRiffSize);
    memcpy(h + 8, "WAVE", 4);
    memcpy(h + 12, "fmt ", 4);
    PutLE32(h + 16, 16);
    PutLE16(h + 20, 1);
    PutLE16(h + 22, 2);
    PutLE32(h + 24, static_cast<uint32_t>(nRate));
    PutLE32(h + 28, static_cast<uint32_t>((nRate * nBits / 8) * 2));
    PutLE16(h + 32, static_cast<unsigned>(nBlockAlign));
    PutLE16(h + 34, static_cast<unsigned>(nBits));
    memcpy(h + 36, "data", 4);
    PutLE32(h + 40, dwDataSize);
}

// The exit code of a write the card did not take.
int WriteFailureCode(int nError)
{
    return nError == ENOSPC ? MOV_EXIT_CARD_FULL : MOV_EXIT_NOT_CREATED;
}

// An after-recording that failed is not retried into the same file.
void WaitAfterRecordingEnd(void)
{
    while (g_bAfterRecording && !g_bQuit)
        SleepMS(10);
}

// The open file and what went into it.
struct CWavFile
{
    CWavFile() : m_fp(NULL), m_nData(0), m_nError(0), m_nBuffers(0) {}

    int Open(const char* szPath)
    {
        m_fp = SYS_fopen(szPath, "wb");
        if (!m_fp)
            return 0;
        // Each buffer is one write, so that a failing card is seen at once.
        setvbuf(m_fp, NULL, _IONBF, 0);
        m_nData = 0;
        m_nError = 0;
        return 1;
    }

    // 1 when the card took it all; else the error stays in m_nError.
    int Write(const void* p, int n)
    {
        if (m_nError)
            return 0;
        errno = 0;
        // stdio may count bytes it could not write: the error flag tells.
        if (fwrite(p, 1, static_cast<size_t>(n), m_fp) != static_cast<size_t>(n) || ferror(m_fp)) {
            m_nError = errno ? errno : EIO;
            return 0;
        }
        return 1;
    }

    // Writes the end values into the header, for the whole sample frames
    // written. After a failed write the file holds what the card took: it
    // is measured and its header rewritten where the card still allows.
    // Returns the data bytes the header gives.
    int Finish(const char* szPath, int nRate, int nBits)
    {
        const int nBlockAlign = (nBits / 8) * 2;
        unsigned char h[WAV_HEADER_SIZE];
        if (!m_nError) {
            uint32_t dwData = static_cast<uint32_t>(m_nData - m_nData % nBlockAlign);
            MakeHeader(h, nRate, nBits, dwData + 36, dwData);
            int bOk = fseek(m_fp, 0, SEEK_SET) == 0 && fwrite(h, 1, sizeof(h), m_fp) == sizeof(h) && !ferror(m_fp);
            if (fclose(m_fp) != 0 || !bOk)
                ERR_PRINT("%s not completed\n%s\n", szPath, strerror(errno));
            m_fp = NULL;
            return m_nData;
        }
        fclose(m_fp);
        m_fp = NULL;
        struct stat st;
        if (SYS_stat(szPath, &st) != 0 || st.st_size < WAV_HEADER_SIZE) {
            ERR_PRINT("%s left as it was\n%s\n", szPath, strerror(errno));
            return m_nData;
        }
        long long nOnCard = static_cast<long long>(st.st_size) - WAV_HEADER_SIZE;
        uint32_t dwData = static_cast<uint32_t>(nOnCard - nOnCard % nBlockAlign);
        MakeHeader(h, nRate, nBits, dwData + 36, dwData);
        FILE* fp = SYS_fopen(szPath, "r+b");
        int bOk = fp && fwrite(h, 1, sizeof(h), fp) == sizeof(h) && !ferror(fp);
        if (fp && fclose(fp) != 0)
            bOk = 0;
        if (!bOk)
            ERR_PRINT("header of %s not completed\n%s\n", szPath, strerror(errno));
        return static_cast<int>(dwData);
    }

    FILE* m_fp;
    int m_nData;
    int m_nError;
    int m_nBuffers;
};

// Writes one sound buffer; the card-space account falls by what the card
// took. Once a second the file is synced, so that a power loss takes at
// most the last second (the recovery gives the file its sizes).
void WriteSound(CWavFile& file, const unsigned char* p, int n)
{
    if (n <= 0 || !file.Write(p, n))
        return;
    g_RemainMedia.Subtraction(n);
    file.m_nData += n;
    if (++file.m_nBuffers % RCV_SYNC_BLOCKS == 0)
        SYS_fdatasync(file.m_fp);
}

// A write the card refused ends the recording.
void StopOnWriteFailure(const CWavFile& file)
{
    ERR_PRINT("WAV write failed after %d bytes\n%s\n", file.m_nData, strerror(file.m_nError));
    g_RecorderMov.SetExitCode(WriteFailureCode(file.m_nError));
    REC_Stop();
}

// The file name with its extension replaced by "jpg".
void RenameCapturedPhoto(const char* szWavPath)
{
    struct stat st;
    if (SYS_stat(TMP_JPG_PATH, &st) != 0)
        return;
    char szJpg[600];
    snprintf(szJpg, sizeof(szJpg), "%s", szWavPath);
    char* pDot = strrchr(szJpg, '.');
    if (!pDot || static_cast<size_t>(pDot - szJpg) + 5 > sizeof(szJpg))
        return;
    strcpy(pDot + 1, "jpg");
    if (SYS_rename(TMP_JPG_PATH, szJpg) != 0)
        ERR_PRINT("cannot rename %s to %s\n%s\n", TMP_JPG_PATH, szJpg, strerror(errno));
}

}  // namespace

void WriterWavLoop(void)
{
    for (;;) {
        // 1. Waiting.
        int bAfter = 0;
        for (;;) {
            if (g_bQuit || GetActionMode() == ACTION_MODE_PHOTO)
                return;
            // In movie mode this loop serves after-recording only.
            if (GetActionMode() == ACTION_MODE_MOVIE && !g_bAfterRecording)
                return;
            if (!g_bRecorder) {
                if (!g_bAfterRecording)
                    return;
                PreRecClear();
                bAfter = 1;
                break;
            }
            int bPreRecOn = PreRecIsOn();
            if (g_bRecording) {
                if (bPreRecOn) {
                    PreRecCalcIndex();
                    g_nRecPos += g_nPreRecFramesA * 100;
                } else {
                    PreRecClear();
                }
                break;
            }
            if (bPreRecOn) {
                Buffer_Handle hVideo = WriterGetVideo();
                if (hVideo)
                    WriterPutVideoFree(hVideo);
                int nSlot = g_nPreRecFramesA % PREREC_A_FRAMES;
                int n = g_RecorderMov.TakeQueuedAudio(g_pPreRecA ? g_pPreRecA + nSlot * PREREC_A_SLOT_SIZE : NULL,
                                                      g_pPreRecA ? PREREC_A_SLOT_SIZE : 0);
                if (n > 0) {
                    g_nPreRecA[nSlot] = n;
                    ++g_nPreRecFramesA;
                }
            }
            SleepMS(10);
        }

        // 2. The file.
        const int nRate = g_nAudioFreq;
        const int nBits = g_nAudioBits;
        char szDir[300];
        char szName[256];
        char szPath[600];
        if (bAfter) {
            ToRealPath(szDir, "/");
            strcpy(szName, TMP_WAV_NAME);
        } else {
            char szCurrent[256];
            g_PlaylistCtrl.GetCurrentDir(szCurrent);
            ToRealPath(szDir, szCurrent);
            if (!GetNextFileName(szName, szDir, "wav")) {
                g_RecorderMov.SetExitCode(MOV_EXIT_NO_FILE_NAME);
                REC_Stop();
                continue;
            }
        }
        snprintf(szPath, sizeof(szPath), "%s/%s", szDir, szName);
        CWavFile file;
        if (!file.Open(szPath)) {
            ERR_PRINT("cannot create %s\n%s\n", szPath, strerror(errno));
            g_RecorderMov.SetExitCode(MOV_EXIT_NOT_CREATED);
            REC_Stop();
            if (bAfter)
                WaitAfterRecordingEnd();
            continue;
        }
        unsigned char header[WAV_HEADER_SIZE];
        MakeHeader(header, nRate, nBits, WAV_UNKNOWN_SIZE, WAV_UNKNOWN_SIZE);
        if (!file.Write(header, WAV_HEADER_SIZE)) {
            // Not even the header fits: no file is left behind.
            ERR_PRINT("cannot write %s\n%s\n", szPath, strerror(file.m_nError));
            fclose(file.m_fp);
            SYS_unlink(szPath);
            g_RecorderMov.SetExitCode(WriteFailureCode(file.m_nError));
            REC_Stop();
            if (bAfter)
                WaitAfterRecordingEnd();
            continue;
        }
        if (!bAfter) {
            SaveFileNumber();
            strcpy(screen_player::m_curFile, szName);
        }
        g_bWavWriterRunning = 1;

        // 3. Writing.
        while (!g_bQuit && !file.m_nError) {
            if (g_Msp430_nBatteryLevel < 2) {
                g_RecorderMov.SetExitCode(MOV_EXIT_BATTERY_LOW);
                REC_Stop();
            }
            if ((!g_bRecording && !g_bAfterRecording) || file.m_nData >= WRITER_SPLIT_BYTES || g_bFileIncrementReq)
                break;
            if (g_nPreRecFramesA > 0) {
                int nSlot = g_nPreRecScanIndexA;
                WriteSound(file, g_pPreRecA + nSlot * PREREC_A_SLOT_SIZE, g_nPreRecA[nSlot]);
                g_nPreRecScanIndexA = (nSlot + 1) % PREREC_A_FRAMES;
                --g_nPreRecFramesA;
                continue;
            }
            Buffer_Handle hBuf = WriterGetVideo();
            if (hBuf) {
                WriterPutVideoFree(hBuf);
                continue;
            }
            hBuf = WriterGetAudio();
            if (hBuf) {
                WriteSound(file, reinterpret_cast<unsigned char*>(Buffer_getUserPtr(hBuf)), Buffer_getNumBytesUsed(hBuf));
                WriterPutAudioFree(hBuf);
                if (!file.m_nError && !g_RemainMedia.IsAvaiableSpace()) {
                    g_RecorderMov.SetExitCode(MOV_EXIT_CARD_FULL);
                    REC_Stop();
                }
                continue;
            }
            SleepMS(10);
        }

        if (file.m_nError)
            StopOnWriteFailure(file);

        // 4. Finishing.
        int bSplit = !file.m_nError && (file.m_nData >= WRITER_SPLIT_BYTES || g_bFileIncrementReq);
        if (!bAfter && !bSplit) {
            SleepMS(200);
            for (int i = 0; i < 100; ++i)
                WriterFlushQueues();
        }
        int nError = file.m_nError;
        int nWritten = file.m_nData;
        int nOnCard = file.Finish(szPath, nRate, nBits);
        if (nOnCard > nWritten)
            g_RemainMedia.Subtraction(nOnCard - nWritten);
        RenameCapturedPhoto(szPath);
        if (!g_bRecording)
            SYS_sync();
        g_bFileIncrementReq = 0;
        g_bWavWriterRunning = 0;
        g_nRecPos = 0;
        if (bAfter && nError)
            WaitAfterRecordingEnd();
    }
}
