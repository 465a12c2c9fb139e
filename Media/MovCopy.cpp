// Movie copy: a creator whose frames and sound come from a range of another
// movie, with an optional patch of sound mixed over it.
#include "Media/MovCopy.h"

#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/Log.h"
#include "Lib/Sys.h"
#include "Media/RemainMedia.h"

#include <errno.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

unsigned char g_baPatchData[COPY_SOUND_BUFFER_SIZE];

static CMovCopy s_MovCopy;

// The description of the creator's own video track: its 18 bytes of decoder
// information lie at this offset (from the format code on).
#define COPY_OWN_VIDEO_STSD_SIZE 149
#define COPY_OWN_DSI_OFFSET 125
#define COPY_OWN_DSI_SIZE 18

#define WAV_HEADER_SIZE 44

namespace {

int ReadSample(const unsigned char* p, int nBytes)
{
    if (nBytes == 3) {
        int n = p[0] | (p[1] << 8) | (p[2] << 16);
        return (n & 0x800000) ? n - 0x1000000 : n;
    }
    return (int16_t)(p[0] | (p[1] << 8));
}

void WriteSample(unsigned char* p, int nBytes, int nValue)
{
    p[0] = (unsigned char)nValue;
    p[1] = (unsigned char)(nValue >> 8);
    if (nBytes == 3)
        p[2] = (unsigned char)(nValue >> 16);
}

int64_t Clamp64(int64_t n, int64_t nLow, int64_t nHigh)
{
    return n < nLow ? nLow : (n > nHigh ? nHigh : n);
}

// A track's length in ms from its "mdhd"; a missing track counts as endless.
int64_t TrackMs(CMovReader* pReader, int nKind)
{
    MovTrack* pTrack = pReader->GetTrack(nKind);
    if (!pTrack || !(pTrack->dTimeScale > 0.0))
        return INT_MAX;
    double dMs = pTrack->dDuration / pTrack->dTimeScale * 1000.0;
    return dMs >= 0.0 && dMs < (double)INT_MAX ? (int64_t)dMs : INT_MAX;
}

}  // namespace

// Both files exist and are one: copying would truncate the source.
int COPY_IsSameFile(const char* szA, const char* szB)
{
    struct stat a, b;
    return SYS_stat(szA, &a) == 0 && SYS_stat(szB, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void MixPatchSound(unsigned char* pSound, const unsigned char* pPatch, int nPatchBytes, int nBits, int nSourceGain,
                   int nPatchGain)
{
    const int nBytes = nBits == 24 ? 3 : 2;
    const int64_t nMax = nBits == 24 ? 8388607 : 32767;
    const int nSamples = nPatchBytes / nBytes;
    for (int i = 0; i < nSamples; ++i) {
        unsigned char* p = pSound + i * nBytes;
        // Each product is divided on its own, as the device rounds it.
        int64_t nOut = (int64_t)ReadSample(pPatch + i * nBytes, nBytes) * nPatchGain / 100 +
                       (int64_t)ReadSample(p, nBytes) * nSourceGain / 100;
        WriteSample(p, nBytes, (int)Clamp64(nOut, -nMax - 1, nMax));
    }
}

CMovCopy::CMovCopy()
    : m_pProgress(NULL), m_nSrcWidth(0), m_nSrcHeight(0), m_nSrcFps(0), m_nSrcRate(0), m_nSrcBits(0),
      m_nSrcChannels(0), m_nNextFrame(0), m_nEndFrame(0), m_nProgressFrames(0), m_bVideoDone(0), m_nNextSample(0),
      m_nEndSample(0), m_bSoundDone(0), m_fpPatch(NULL), m_nSourceGain(0), m_nPatchGain(0)
{
    m_szPatchPath[0] = 0;
}

CMovCopy::~CMovCopy()
{
    if (m_fpPatch)
        fclose(m_fpPatch);
    m_Source.Close();
}

int CMovCopy::SetAudioPatch(const char* szPath, int nSourceGain, int nPatchGain)
{
    m_szPatchPath[0] = 0;
    m_nSourceGain = nSourceGain;
    m_nPatchGain = nPatchGain;
    if (!szPath)
        return TRUE;
    if (strlen(szPath) >= sizeof(m_szPatchPath)) {
        ERR_PRINT("patch path too long: %s\n", szPath);
        return FALSE;
    }
    strcpy(m_szPatchPath, szPath);
    return TRUE;
}

// The decoder information of a movie in the creator's own form.
void CMovCopy::TakeDecoderInfo()
{
    m_nDecSpecInfoLen = 0;
    MovTrack* pVideo = m_Source.GetTrack(MOV_TRACK_VIDEO);
    if (pVideo && pVideo->pStsd && pVideo->nStsdSize == COPY_OWN_VIDEO_STSD_SIZE) {
        memcpy(m_baDecSpecInfo, pVideo->pStsd + COPY_OWN_DSI_OFFSET, COPY_OWN_DSI_SIZE);
        m_nDecSpecInfoLen = COPY_OWN_DSI_SIZE;
    }
}

int CMovCopy::Copy(const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal)
{
    if (COPY_IsSameFile(szDst, szSrc) || (m_szPatchPath[0] && COPY_IsSameFile(szDst, m_szPatchPath))) {
        ERR_PRINT("copy onto its own source refused: %s\n", szSrc);
        return MOV_EXIT_NOT_CREATED;
    }
    int nCode = CopyFrom(szDst, szSrc, nStart, nEnd, nTotal);
    if (m_fpPatch) {
        fclose(m_fpPatch);
        m_fpPatch = NULL;
    }
    m_Source.Close();
    // A file with no frame is no part of the source.
    if (nCode == MOV_EXIT_STOPPED && m_nVideoFrames == 0) {
        ERR_PRINT("nothing copied from %s (%d..%d s)\n", szSrc, nStart, nEnd);
        nCode = MOV_EXIT_NOT_CREATED;
    }
    // A cut-short copy must not pass for a finished one.
    if (nCode != MOV_EXIT_STOPPED && nCode != -1)
        SYS_unlink(szDst);
    return nCode;
}

int CMovCopy::CopyFrom(const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal)
{
    if (m_Source.Open(szSrc) != 0) {
        ERR_PRINT("cannot copy %s: not a movie\n", szSrc);
        return MOV_EXIT_NOT_CREATED;
    }
    m_nSrcWidth = m_Source.GetVideoWidth();
    m_nSrcHeight = m_Source.GetVideoHeight();
    // 1000 / (100 x 1000 / 3000) comes out a hair below 30: truncating it
    // would copy the device's own movies at 29 frames/s.
    double dFps = m_Source.GetFps(MOV_TRACK_VIDEO);
    m_nSrcFps = dFps > 0.0 && dFps < 1000.0 ? (int)floor(dFps + 0.5) : -1;
    m_Source.GetAudioInfo(&m_nSrcRate, &m_nSrcBits, &m_nSrcChannels);

    if (nEnd == -1 || nTotal == -1) {
        int64_t nVideoMs = TrackMs(&m_Source, MOV_TRACK_VIDEO);
        int64_t nSoundMs = TrackMs(&m_Source, MOV_TRACK_SOUND);
        int64_t nLengthS = (nVideoMs > nSoundMs ? nVideoMs : nSoundMs) / 1000 + 1;
        if (nEnd == -1)
            nEnd = (int)nLengthS;
        if (nTotal == -1)
            nTotal = (int)nLengthS;
    }
    if (nStart < 0)
        nStart = 0;
    TakeDecoderInfo();

    m_nNextSample = (int64_t)m_nSrcRate * nStart;
    m_nEndSample = (int64_t)m_nSrcRate * nEnd;
    m_nNextFrame = (int64_t)m_nSrcFps * nStart;
    m_nEndFrame = (int64_t)m_nSrcFps * nEnd;
    m_nProgressFrames = (int64_t)m_nSrcFps * nTotal;
    m_bVideoDone = 0;
    m_bSoundDone = 0;

    if (m_szPatchPath[0]) {
        m_fpPatch = SYS_fopen(m_szPatchPath, "rb");
        // Past the header and the first half second of the patch.
        long nSkip = WAV_HEADER_SIZE + (long)m_nSrcChannels * (m_nSrcRate / 2) * (m_nSrcBits / 8);
        if (!m_fpPatch || fseek(m_fpPatch, nSkip, SEEK_SET) != 0) {
            // Without its patch a dub would come out as the old sound.
            ERR_PRINT("cannot read patch %s\n%s\n", m_szPatchPath, strerror(errno));
            return MOV_EXIT_NOT_CREATED;
        }
    }
    return Create(szDst, m_nSrcWidth, m_nSrcHeight, m_nSrcFps, m_nSrcRate, m_nSrcBits, m_nSrcChannels);
}

void CMovCopy::PreLoop()
{
    if (m_pProgress) {
        int64_t nPercent = m_nProgressFrames > 0 ? m_nNextFrame * 100 / m_nProgressFrames : 0;
        if (!m_pProgress((int)Clamp64(nPercent, 0, 100))) {
            m_nExitCode = MOV_EXIT_COPY_CANCELLED;
            return;
        }
    }
    if (m_bVideoDone && m_bSoundDone) {
        if (m_pProgress) {
            m_pProgress(100);
            m_pProgress(100);
            m_pProgress(100);
        }
        m_nExitCode = MOV_EXIT_STOPPED;
    }
}

int CMovCopy::GetVideo(unsigned char* pBuffer)
{
    if (m_bVideoDone || m_nNextFrame >= m_nEndFrame || m_nNextFrame > INT_MAX) {
        m_bVideoDone = 1;
        return 0;
    }
    long nOffset;
    int nSize, nCount, nTotal;
    if (!m_Source.GetSamplePos(MOV_TRACK_VIDEO, (int)m_nNextFrame, &nOffset, &nSize, &nCount, &nTotal) ||
        nSize <= 0 || nSize > MOV_SAMPLE_BUFFER_SIZE || !m_Source.Read(pBuffer, nOffset, nSize)) {
        m_bVideoDone = 1;
        return 0;
    }
    ++m_nNextFrame;
    return nSize;
}

// One chunk of sound after every third frame (100 ms at 30 frames/s).
int CMovCopy::GetAudio(unsigned char* pBuffer)
{
    if (!m_bVideoDone && m_nNextFrame % 3 != 0)
        return 0;
    if (m_bSoundDone || m_nNextSample >= m_nEndSample || m_nNextSample > INT_MAX) {
        m_bSoundDone = 1;
        return 0;
    }
    long nOffset;
    int nSize, nCount, nTotal;
    const int nFrameBytes = m_nSrcChannels * (m_nSrcBits / 8);
    if (!m_Source.GetSamplePos(MOV_TRACK_SOUND, (int)m_nNextSample, &nOffset, &nSize, &nCount, &nTotal) ||
        nCount <= 0 || (int64_t)nCount * nFrameBytes != nTotal) {
        m_bSoundDone = 1;
        return 0;
    }
    // The rest of the chunk, within the range and the patch buffer.
    int64_t nFrames = Clamp64(nCount, 1, m_nEndSample - m_nNextSample);
    nFrames = Clamp64(nFrames, 1, COPY_SOUND_BUFFER_SIZE / nFrameBytes);
    const int nBytes = (int)nFrames * nFrameBytes;
    if (!m_Source.Read(pBuffer, nOffset, nBytes)) {
        m_bSoundDone = 1;
        return 0;
    }
    m_nNextSample += nFrames;
    if (m_fpPatch) {
        int nRead = (int)fread(g_baPatchData, 1, (size_t)nBytes, m_fpPatch);
        MixPatchSound(pBuffer, g_baPatchData, nRead, m_nSrcBits, m_nSourceGain, m_nPatchGain);
        // The rest of the copy keeps the source's own sound.
        if (nRead < nBytes) {
            fclose(m_fpPatch);
            m_fpPatch = NULL;
        }
    }
    return nBytes;
}

void CMovCopy::PostAddAudioFrame()
{
    if (!g_RemainMedia.IsAvaiableSpace())
        m_nExitCode = MOV_EXIT_CARD_FULL;
    else if (g_Msp430_nBatteryLevel <= 1)
        m_nExitCode = MOV_EXIT_BATTERY_LOW;
}

int MovCopy(COPY_PROGRESS pProgress, const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal,
            const char* szPatch, int nSourceGain, int nPatchGain)
{
    int nCode = MOV_EXIT_NOT_CREATED;
    s_MovCopy.SetProgress(pProgress);
    if (s_MovCopy.SetAudioPatch(szPatch && szPatch[0] ? szPatch : NULL, nSourceGain, nPatchGain)) {
        // The account may be stale: a copy starts from what the card holds.
        g_RemainMedia.Update();
        nCode = s_MovCopy.Copy(szDst, szSrc, nStart, nEnd, nTotal);
    }
    s_MovCopy.SetAudioPatch(NULL, 0, 0);
    s_MovCopy.SetProgress(NULL);
    return nCode;
}
