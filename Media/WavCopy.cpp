// WAV copy: a range of whole seconds of a sound file, second by second,
// with an optional patch mixed over it.
#include "Lib/Common.h"
#include "Lib/Log.h"
#include "Lib/Sys.h"
#include "Media/MediaReader.h"
#include "Media/MovCopy.h"
#include "Media/RemainMedia.h"

#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#define WAV_HEADER_SIZE 44

static unsigned char s_baData[COPY_SOUND_BUFFER_SIZE];
static CMediaReader s_SrcWavReader;
static CMediaReader s_PatchWavReader;

// The start header: sizes unknown, the recorder's first format.
static const unsigned char s_baWavHeader[WAV_HEADER_SIZE] = {
    'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    16,  0,   0,   0,   1,    0,    2,    0,    0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,
    4,   0,   16,  0,   'd',  'a',  't',  'a',  0xFF, 0xFF, 0xFF, 0xFF,
};

namespace {

void PutLE16(unsigned char* p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

void PutLE32(unsigned char* p, uint32_t v)
{
    PutLE16(p, v & 0xFFFF);
    PutLE16(p + 2, v >> 16);
}

int IsWavPath(const char* szPath)
{
    const char* pDot = strrchr(szPath, '.');
    return pDot && strcasecmp(pDot + 1, "wav") == 0;
}

// Opens a WAV through the media reader; only WAV files are copied here.
int OpenWav(CMediaReader* pReader, const char* szPath)
{
    if (IsWavPath(szPath) && pReader->Open(szPath) == 0)
        return TRUE;
    pReader->Close();
    printf("WavCopy()::open error!![%s]\n", szPath);
    return FALSE;
}

// The destination file and the first failure of the card to take it.
struct CWavCopyFile
{
    FILE* m_fp = NULL;
    int m_nError = 0;

    int Write(const void* p, long n)
    {
        if (m_nError)
            return FALSE;
        errno = 0;
        if (fwrite(p, 1, (size_t)n, m_fp) != (size_t)n || ferror(m_fp))
            m_nError = errno ? errno : EIO;
        return !m_nError;
    }

    int Close()
    {
        errno = 0;
        if (fclose(m_fp) != 0 && !m_nError)
            m_nError = errno ? errno : EIO;
        m_fp = NULL;
        return !m_nError;
    }

    int ExitCode() const { return m_nError == ENOSPC ? MOV_EXIT_CARD_FULL : MOV_EXIT_NOT_CREATED; }
};

// The whole copy once all three files are open; returns its result.
int CopySeconds(CWavCopyFile& dst, int bPatch, COPY_PROGRESS pProgress, int nStart, int nEnd, int nTotal,
                int nSourceGain, int nPatchGain)
{
    int nRate, nBits, nChannels;
    s_SrcWavReader.GetAudioInfo(&nRate, &nBits, &nChannels);
    const int nLengthS = (int)(s_SrcWavReader.GetDuration() / 1000);
    const int64_t nLastSecond = nEnd == -1 ? nLengthS : (int64_t)nEnd - 1;
    if (nTotal == -1)
        nTotal = nLengthS;
    if (nStart < 0)
        nStart = 0;
    const int64_t nPerPercent = (int64_t)nRate * nTotal / 100 > 0 ? (int64_t)nRate * nTotal / 100 : 1;

    if (!dst.Write(s_baWavHeader, WAV_HEADER_SIZE))
        return dst.ExitCode();
    int64_t nData = 0;
    int nCode = MOV_EXIT_STOPPED;
    for (int64_t nIndex = (int64_t)nRate * nStart; nIndex <= (int64_t)nRate * nLastSecond && nIndex <= INT_MAX;
         nIndex += nRate) {
        long nOffset;
        int nSize, nCount, nBytes;
        if (!s_SrcWavReader.GetSamplePos(0, (int)nIndex, &nOffset, &nSize, &nCount, &nBytes) || nBytes <= 0 ||
            nBytes > COPY_SOUND_BUFFER_SIZE || !s_SrcWavReader.Read(s_baData, nOffset, nBytes))
            break;
        if (bPatch) {
            // The step is as long as the patch; the copy ends with it.
            int nPatchBytes;
            if (!s_PatchWavReader.GetSamplePos(0, (int)nIndex, &nOffset, &nSize, &nCount, &nPatchBytes) ||
                nPatchBytes <= 0)
                break;
            if (nPatchBytes < nBytes)
                nBytes = nPatchBytes;
            if (!s_PatchWavReader.Read(g_baPatchData, nOffset, nBytes))
                break;
            MixPatchSound(s_baData, g_baPatchData, nBytes, nBits, nSourceGain, nPatchGain);
        }
        if (!dst.Write(s_baData, nBytes)) {
            nCode = dst.ExitCode();
            break;
        }
        nData += nBytes;
        g_RemainMedia.Subtraction(nBytes);
        if (pProgress)
            pProgress((int)(nIndex / nPerPercent));
        if (!g_RemainMedia.IsAvaiableSpace()) {
            nCode = MOV_EXIT_CARD_FULL;
            break;
        }
    }
    if (nCode != MOV_EXIT_STOPPED)
        return nCode;
    if (nData == 0) {
        ERR_PRINT("nothing to copy from second %d\n", nStart);
        return MOV_EXIT_NOT_CREATED;
    }

    unsigned char header[WAV_HEADER_SIZE];
    memcpy(header, s_baWavHeader, sizeof(header));
    PutLE32(header + 4, (uint32_t)(nData + 36));
    PutLE16(header + 22, (unsigned)nChannels);
    PutLE32(header + 24, (uint32_t)nRate);
    PutLE32(header + 28, (uint32_t)((int64_t)nChannels * nRate * nBits / 8));
    PutLE16(header + 32, (unsigned)(nChannels * nBits / 8));
    PutLE16(header + 34, (unsigned)nBits);
    PutLE32(header + 40, (uint32_t)nData);
    if (fseek(dst.m_fp, 0, SEEK_SET) != 0 && !dst.m_nError)
        dst.m_nError = errno ? errno : EIO;
    if (!dst.Write(header, WAV_HEADER_SIZE))
        return dst.ExitCode();
    return MOV_EXIT_STOPPED;
}

}  // namespace

int WavCopy(COPY_PROGRESS pProgress, const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal,
            const char* szPatch, int nSourceGain, int nPatchGain)
{
    const int bPatch = szPatch && szPatch[0];
    if (COPY_IsSameFile(szDst, szSrc) || (bPatch && COPY_IsSameFile(szDst, szPatch))) {
        ERR_PRINT("copy onto its own source refused: %s\n", szDst);
        return MOV_EXIT_NOT_CREATED;
    }
    if (!OpenWav(&s_SrcWavReader, szSrc))
        return MOV_EXIT_NOT_CREATED;
    CWavCopyFile dst;
    dst.m_fp = SYS_fopen(szDst, "wb");
    if (!dst.m_fp) {
        printf("WavCopy()::create error!![%s]\n", szDst);
        s_SrcWavReader.Close();
        return MOV_EXIT_NOT_CREATED;
    }
    int nCode;
    if (bPatch && !OpenWav(&s_PatchWavReader, szPatch)) {
        nCode = MOV_EXIT_NOT_CREATED;
    } else {
        // The account may be stale: a copy starts from what the card holds.
        g_RemainMedia.Update();
        nCode = CopySeconds(dst, bPatch, pProgress, nStart, nEnd, nTotal, nSourceGain, nPatchGain);
    }
    if (!dst.Close() && nCode == MOV_EXIT_STOPPED)
        nCode = dst.ExitCode();
    s_SrcWavReader.Close();
    s_PatchWavReader.Close();
    // A cut-short copy must not pass for a finished one.
    if (nCode != MOV_EXIT_STOPPED) {
        if (dst.m_nError)
            ERR_PRINT("WAV copy to %s failed\n%s\n", szDst, strerror(dst.m_nError));
        SYS_unlink(szDst);
    }
    return nCode;
}
