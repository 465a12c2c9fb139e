#include "Media/Recovery.h"

#include "Lib/Common.h"
#include "Lib/Log.h"
#include "Lib/Sys.h"
#include "Media/MovCreator.h"

#include <dirent.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#define RCV_JOURNAL_MAGIC "KS7J"
#define RCV_JOURNAL_VERSION 1
#define RCV_JOURNAL_SUFFIX ".jnl"
#define RCV_MDAT_OFFSET 40
#define RCV_SAMPLES_OFFSET 48
#define RCV_WAV_HEADER 44
#define RCV_WAV_UNKNOWN 0xFFFFFFFFu
#define RCV_MAX_DEPTH 6
// A movie of fewer frames holds nothing playable.
#define RCV_MIN_FRAMES 1
#define RCV_SAMPLE_MASK 0x3FFFFFFFu

int g_nRecoveredFiles = 0;

namespace {

// Gives the index only; the samples are on the card already.
class CMovRepairer : public CMovCreator
{
protected:
    int GetAudio(unsigned char*) { return 0; }
    int GetVideo(unsigned char*) { return 0; }
};

CMovRepairer s_Repairer;

DWORD GetLE32(const unsigned char* p)
{
    return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24;
}

unsigned GetLE16(const unsigned char* p)
{
    return (unsigned)p[0] | (unsigned)p[1] << 8;
}

void PutLE32(unsigned char* p, DWORD dw)
{
    p[0] = (unsigned char)dw;
    p[1] = (unsigned char)(dw >> 8);
    p[2] = (unsigned char)(dw >> 16);
    p[3] = (unsigned char)(dw >> 24);
}

int ReadAt(FILE* fp, long nPos, void* p, size_t n)
{
    return fseeko(fp, (off_t)nPos, SEEK_SET) == 0 && fread(p, 1, n, fp) == n;
}

long FileLength(FILE* fp)
{
    if (fseeko(fp, 0, SEEK_END) != 0)
        return -1;
    return (long)ftello(fp);
}

struct JOURNAL_HEAD
{
    int nWidth;
    int nHeight;
    int nFps;
    int nSampleRate;
    int nBits;
    int nChannels;
    DWORD dwTime;
};

int ReadJournalHead(FILE* fp, JOURNAL_HEAD* pHead)
{
    unsigned char ab[RCV_JOURNAL_HEAD_SIZE];
    if (!ReadAt(fp, 0, ab, sizeof(ab)) || memcmp(ab, RCV_JOURNAL_MAGIC, 4) != 0 ||
        MOV_GetBE32(ab + 4) != RCV_JOURNAL_VERSION)
        return FALSE;
    pHead->nWidth = (int)MOV_GetBE32(ab + 8);
    pHead->nHeight = (int)MOV_GetBE32(ab + 12);
    pHead->nFps = (int)MOV_GetBE32(ab + 16);
    pHead->nSampleRate = (int)MOV_GetBE32(ab + 20);
    pHead->nBits = (int)MOV_GetBE32(ab + 24);
    pHead->nChannels = (int)MOV_GetBE32(ab + 28);
    pHead->dwTime = MOV_GetBE32(ab + 32);
    return pHead->nWidth > 0 && pHead->nWidth <= 4096 && pHead->nHeight > 0 && pHead->nHeight <= 4096 &&
           pHead->nFps > 0 && pHead->nFps <= 120 && pHead->nSampleRate >= 8000 && pHead->nSampleRate <= 192000 &&
           (pHead->nBits == 16 || pHead->nBits == 24) && pHead->nChannels > 0 && pHead->nChannels <= 2;
}

// The samples the journal names and the movie holds, in order: each must
// lie wholly in the file, a frame must start with a VOP start code, a sound
// block must hold whole sample frames. The first that does not ends the list.
class CJournalSamples : public CMovSampleList
{
public:
    CJournalSamples(FILE* fpJournal, FILE* fpMovie, long nMovieLength, int nFrameBytes)
        : m_fpJournal(fpJournal), m_fpMovie(fpMovie), m_nMovieLength(nMovieLength), m_nFrameBytes(nFrameBytes),
          m_nDsiLen(0), m_nPos(0), m_nFrames(0), m_nSoundFrames(0)
    {
        memset(m_abDsi, 0, sizeof(m_abDsi));
        Rewind();
    }

    void Rewind()
    {
        fseeko(m_fpJournal, RCV_JOURNAL_HEAD_SIZE, SEEK_SET);
        m_nPos = RCV_SAMPLES_OFFSET;
        m_nFrames = 0;
        m_nSoundFrames = 0;
    }

    int Next(int* pbVideo)
    {
        for (;;) {
            unsigned char ab[4];
            if (fread(ab, 1, 4, m_fpJournal) != 4)
                return 0;
            DWORD dw = MOV_GetBE32(ab);
            int nType = (int)(dw >> 30);
            long n = (long)(dw & RCV_SAMPLE_MASK);
            if (nType == RCV_JOURNAL_DSI) {
                if (n <= 0 || n > MOV_DEC_SPEC_INFO_SIZE)
                    return 0;
                long nPadded = (n + 3) / 4 * 4;
                if (fread(m_abDsi, 1, (size_t)nPadded, m_fpJournal) != (size_t)nPadded)
                    return 0;
                m_nDsiLen = (int)n;
                continue;
            }
            if ((nType != RCV_JOURNAL_VIDEO && nType != RCV_JOURNAL_SOUND) || n <= 0 ||
                n > MOV_SAMPLE_BUFFER_SIZE || n > m_nMovieLength - m_nPos)
                return 0;
            *pbVideo = nType == RCV_JOURNAL_VIDEO;
            if (*pbVideo) {
                unsigned char abStart[4];
                if (n < 4 || !ReadAt(m_fpMovie, m_nPos, abStart, 4) || abStart[0] != 0 || abStart[1] != 0 ||
                    abStart[2] != 1 || abStart[3] != 0xB6)
                    return 0;
                ++m_nFrames;
            } else if (n % m_nFrameBytes != 0) {
                return 0;
            } else if (m_nFrames > 0) {
                m_nSoundFrames += n / m_nFrameBytes;
            }
            m_nPos += n;
            return (int)n;
        }
    }

    // Reads the whole list (and so the configuration header): the frames
    // the index will hold once both tracks end together, as the creator
    // ends them.
    int CountFrames(int nFps, int nSampleRate)
    {
        Rewind();
        int bVideo;
        while (Next(&bVideo) > 0) {
        }
        const int64_t nSoundMs = (int64_t)((double)m_nSoundFrames / nSampleRate * 1000.0);
        const int64_t nVideoMs = (int64_t)m_nFrames * 1000 / nFps;
        const int64_t nMs = nSoundMs >= nVideoMs ? nVideoMs / 100 * 100 : nSoundMs;
        Rewind();
        return (int)(nMs * nFps / 1000);
    }

    const unsigned char* Dsi() const { return m_abDsi; }
    int DsiLength() const { return m_nDsiLen; }

private:
    FILE* m_fpJournal;
    FILE* m_fpMovie;
    long m_nMovieLength;
    int m_nFrameBytes;
    unsigned char m_abDsi[MOV_DEC_SPEC_INFO_SIZE];
    int m_nDsiLen;
    long m_nPos;
    int m_nFrames;
    int64_t m_nSoundFrames;
};

enum MOVIE_STATE
{
    MOVIE_NOT_OURS,    // not a movie of this recorder
    MOVIE_COMPLETE,
    MOVIE_UNFINISHED,  // "ftyp" and "wide" written, "mdat" open or the index short
};

MOVIE_STATE ExamineMovie(FILE* fp, long* pnLength)
{
    unsigned char ab[RCV_SAMPLES_OFFSET];
    long nLength = FileLength(fp);
    *pnLength = nLength;
    if (nLength < RCV_MDAT_OFFSET || !ReadAt(fp, 0, ab, RCV_MDAT_OFFSET) || MOV_GetBE32(ab) != 32 ||
        memcmp(ab + 4, "ftypqt  ", 8) != 0 || MOV_GetBE32(ab + 32) != 8 || memcmp(ab + 36, "wide", 4) != 0)
        return MOVIE_NOT_OURS;
    if (nLength < RCV_SAMPLES_OFFSET || !ReadAt(fp, RCV_MDAT_OFFSET, ab, 8) || memcmp(ab + 4, "mdat", 4) != 0)
        return MOVIE_UNFINISHED;
    // Finished: "moov" follows "mdat" and ends the file.
    long nMoov = RCV_MDAT_OFFSET + (long)MOV_GetBE32(ab);
    if (MOV_GetBE32(ab) <= 8 || nMoov > nLength - 8 || !ReadAt(fp, nMoov, ab, 8) || memcmp(ab + 4, "moov", 4) != 0 ||
        nMoov + (long)MOV_GetBE32(ab) != nLength)
        return MOVIE_UNFINISHED;
    return MOVIE_COMPLETE;
}

int HasSuffix(const char* sz, const char* szSuffix)
{
    size_t n = strlen(sz), m = strlen(szSuffix);
    return n >= m && strcasecmp(sz + n - m, szSuffix) == 0;
}

int Exists(const char* szPath)
{
    struct stat st;
    return SYS_stat(szPath, &st) == 0;
}

int RecoverTree(const char* szDir, int nDepth);

}  // namespace

void RCV_JournalPath(char* szOut, size_t nSize, const char* szMoviePath)
{
    const char* pSlash = strrchr(szMoviePath, '/');
    int nDir = pSlash ? (int)(pSlash - szMoviePath + 1) : 0;
    int n = snprintf(szOut, nSize, "%.*s.%s" RCV_JOURNAL_SUFFIX, nDir, szMoviePath, szMoviePath + nDir);
    if (n < 0 || (size_t)n >= nSize)
        szOut[0] = 0;
}

void RCV_PutJournalHead(unsigned char* p, int nWidth, int nHeight, int nFps, int nSampleRate, int nBits,
                        int nChannels, DWORD dwTime)
{
    memcpy(p, RCV_JOURNAL_MAGIC, 4);
    MOV_PutBE32(p + 4, RCV_JOURNAL_VERSION);
    MOV_PutBE32(p + 8, (DWORD)nWidth);
    MOV_PutBE32(p + 12, (DWORD)nHeight);
    MOV_PutBE32(p + 16, (DWORD)nFps);
    MOV_PutBE32(p + 20, (DWORD)nSampleRate);
    MOV_PutBE32(p + 24, (DWORD)nBits);
    MOV_PutBE32(p + 28, (DWORD)nChannels);
    MOV_PutBE32(p + 32, dwTime);
}

DWORD RCV_JournalRecord(int nType, int nBytes)
{
    return (DWORD)nType << 30 | ((DWORD)nBytes & RCV_SAMPLE_MASK);
}

int RCV_RecoverMovie(const char* szPath, const char* szJournal)
{
    char szOwnJournal[600];
    if (!szJournal) {
        RCV_JournalPath(szOwnJournal, sizeof(szOwnJournal), szPath);
        szJournal = szOwnJournal;
    }
    FILE* fp = SYS_fopen(szPath, "rb");
    if (!fp) {
        ERR_PRINT("%s not examined\n%s\n", szPath, strerror(errno));
        return RCV_FAILED;
    }
    long nLength = 0;
    MOVIE_STATE state = ExamineMovie(fp, &nLength);
    if (state != MOVIE_UNFINISHED) {
        fclose(fp);
        if (state == MOVIE_NOT_OURS) {
            printf("%s: not a movie of this recorder\n", szPath);
            return RCV_FAILED;
        }
        if (szJournal[0] && Exists(szJournal))
            SYS_unlink(szJournal);  // its file was finished after all
        return RCV_COMPLETE;
    }
    if (nLength <= RCV_SAMPLES_OFFSET) {
        // Opened (for the next part of a recording, say) and cut before its first sample.
        fclose(fp);
        printf("%s holds no sample: removed\n", szPath);
        SYS_unlink(szPath);
        if (szJournal[0] && Exists(szJournal))
            SYS_unlink(szJournal);
        return RCV_REMOVED;
    }
    FILE* fpJournal = szJournal[0] ? SYS_fopen(szJournal, "rb") : NULL;
    if (!fpJournal) {
        fclose(fp);
        ERR_PRINT("%s has no index and no journal\n", szPath);
        return RCV_FAILED;
    }
    JOURNAL_HEAD head;
    if (!ReadJournalHead(fpJournal, &head)) {
        fclose(fpJournal);
        fclose(fp);
        ERR_PRINT("%s: journal %s unreadable\n", szPath, szJournal);
        return RCV_FAILED;
    }
    CJournalSamples samples(fpJournal, fp, nLength, (head.nBits / 8) * head.nChannels);
    int nFrames = samples.CountFrames(head.nFps, head.nSampleRate);
    int nResult;
    if (nFrames < RCV_MIN_FRAMES) {
        printf("%s holds %d frame(s): removed\n", szPath, nFrames);
        fclose(fpJournal);
        fclose(fp);
        SYS_unlink(szPath);
        SYS_unlink(szJournal);
        return RCV_REMOVED;
    }
    nFrames = s_Repairer.Reindex(szPath, head.nWidth, head.nHeight, head.nFps, head.nSampleRate, head.nBits,
                                 head.nChannels, head.dwTime, samples.Dsi(), samples.DsiLength(), samples);
    fclose(fpJournal);
    fclose(fp);
    if (nFrames < 0) {
        ERR_PRINT("%s not recovered\n", szPath);
        nResult = RCV_FAILED;
    } else {
        printf("%s recovered: %d frames\n", szPath, nFrames);
        SYS_unlink(szJournal);
        nResult = RCV_RECOVERED;
    }
    return nResult;
}

int RCV_RecoverWav(const char* szPath)
{
    // Read only until a repair is due: a write-protected card is examined too.
    FILE* fp = SYS_fopen(szPath, "rb");
    if (!fp) {
        ERR_PRINT("%s not examined\n%s\n", szPath, strerror(errno));
        return RCV_FAILED;
    }
    unsigned char h[RCV_WAV_HEADER];
    long nLength = FileLength(fp);
    if (nLength < RCV_WAV_HEADER || !ReadAt(fp, 0, h, sizeof(h)) || memcmp(h, "RIFF", 4) != 0 ||
        memcmp(h + 8, "WAVEfmt ", 8) != 0 || memcmp(h + 36, "data", 4) != 0) {
        fclose(fp);
        return RCV_FAILED;
    }
    if (GetLE32(h + 4) != RCV_WAV_UNKNOWN && GetLE32(h + 40) != RCV_WAV_UNKNOWN) {
        fclose(fp);
        return RCV_COMPLETE;
    }
    const unsigned nChannels = GetLE16(h + 22);
    const unsigned nBits = GetLE16(h + 34);
    if (nChannels < 1 || nChannels > 2 || (nBits != 16 && nBits != 24)) {
        fclose(fp);
        ERR_PRINT("%s: unknown sound format\n", szPath);
        return RCV_FAILED;
    }
    const long nBlock = (long)(nChannels * nBits / 8);
    long nData = nLength - RCV_WAV_HEADER;
    nData -= nData % nBlock;
    if (nData > (long)(RCV_WAV_UNKNOWN - 36))
        nData = (long)(RCV_WAV_UNKNOWN - 36) / nBlock * nBlock;
    PutLE32(h + 4, (DWORD)nData + 36);
    PutLE32(h + 40, (DWORD)nData);
    fclose(fp);
    fp = SYS_fopen(szPath, "r+b");
    int bOk = fp && fwrite(h, 1, sizeof(h), fp) == sizeof(h);
    if (fp)
        bOk = fclose(fp) == 0 && bOk;
    if (bOk && nLength != RCV_WAV_HEADER + nData)
        bOk = SYS_truncate(szPath, (off_t)(RCV_WAV_HEADER + nData)) == 0;
    if (!bOk) {
        ERR_PRINT("%s not recovered\n%s\n", szPath, strerror(errno));
        return RCV_FAILED;
    }
    printf("%s recovered: %ld bytes of sound\n", szPath, nData);
    return RCV_RECOVERED;
}

namespace {

int RecoverFile(const char* szDir, const char* szName)
{
    char szPath[600];
    if (snprintf(szPath, sizeof(szPath), "%s/%s", szDir, szName) >= (int)sizeof(szPath))
        return 0;
    if (szName[0] == '.') {
        // A journal whose movie is gone has nothing left to serve.
        if (!HasSuffix(szName, RCV_JOURNAL_SUFFIX))
            return 0;
        char szMovie[600];
        snprintf(szMovie, sizeof(szMovie), "%s/%.*s", szDir, (int)(strlen(szName) - 1 - strlen(RCV_JOURNAL_SUFFIX)),
                 szName + 1);
        if (!Exists(szMovie))
            SYS_unlink(szPath);
        return 0;
    }
    int nResult = RCV_COMPLETE;
    if (HasSuffix(szName, ".MOV")) {
        char szJournal[600];
        RCV_JournalPath(szJournal, sizeof(szJournal), szPath);
        FILE* fp = SYS_fopen(szPath, "rb");
        if (!fp)
            return 0;
        long nLength;
        MOVIE_STATE state = ExamineMovie(fp, &nLength);
        fclose(fp);
        if (state == MOVIE_UNFINISHED || (state == MOVIE_COMPLETE && Exists(szJournal)))
            nResult = RCV_RecoverMovie(szPath, szJournal);
    } else if (HasSuffix(szName, ".WAV")) {
        nResult = RCV_RecoverWav(szPath);
    }
    return nResult == RCV_RECOVERED ? 1 : 0;
}

int RecoverTree(const char* szDir, int nDepth)
{
    DIR* pDir = SYS_opendir(szDir);
    if (!pDir)
        return 0;
    int nRecovered = 0;
    struct dirent* pEntry;
    while ((pEntry = readdir(pDir)) != NULL) {
        const char* szName = pEntry->d_name;
        if (!strcmp(szName, ".") || !strcmp(szName, ".."))
            continue;
        char szPath[600];
        if (snprintf(szPath, sizeof(szPath), "%s/%s", szDir, szName) >= (int)sizeof(szPath))
            continue;
        struct stat st;
        if (SYS_lstat(szPath, &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (szName[0] != '.' && nDepth < RCV_MAX_DEPTH)
                nRecovered += RecoverTree(szPath, nDepth + 1);
        } else if (S_ISREG(st.st_mode)) {
            nRecovered += RecoverFile(szDir, szName);
        }
    }
    closedir(pDir);
    return nRecovered;
}

}  // namespace

int RCV_RecoverCard(void)
{
    char szRoot[300];
    ToRealPath(szRoot, "/");
    size_t n = strlen(szRoot);
    if (n > 1 && szRoot[n - 1] == '/')
        szRoot[n - 1] = 0;
    int nRecovered = RecoverTree(szRoot, 0);
    if (nRecovered > 0) {
        printf("recovered %d file(s)\n", nRecovered);
        SYS_sync();
        g_nRecoveredFiles += nRecovered;
    }
    return nRecovered;
}
