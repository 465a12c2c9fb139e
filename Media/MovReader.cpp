#include "Media/MovReader.h"

#include "Lib/Common.h"
#include "Lib/Log.h"
#include "Lib/Sys.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

// Offsets and sizes in these files are 32-bit and positions are kept signed:
// anything longer could only be read at wrapped offsets.
#define MOV_MAX_FILE_LENGTH 0x7FFFFFFFLL

// The device's trees nest six deep; a deeper one is not a movie (and a file
// of nested containers must not exhaust the stack).
#define MOV_MAX_DEPTH 16

// Table entries read per request during a lookup.
#define MOV_TABLE_BLOCK 256

// Shown when the file's time cannot be read.
static const char s_szNoDate[] = "\?\?\?\?/\?\?/\?\? \?\?:\?\?";

// Atom types whose children the walk visits, ended by a zero entry.
static DWORD s_aContainer[10];

static int InitContainers()
{
    static const char* const aszNames[] = {"moov", "clip", "trak", "matt", "edts", "mdia", "minf", "dinf", "stbl"};
    for (int i = 0; i < 9; ++i)
        s_aContainer[i] = MOV_FourCC(aszNames[i]);
    s_aContainer[9] = 0;
    return 1;
}
static int s_bContainersReady = InitContainers();

static int IsContainer(DWORD dwType)
{
    for (int i = 0; s_aContainer[i]; ++i)
        if (s_aContainer[i] == dwType)
            return TRUE;
    return FALSE;
}

static int IsPcmFormat(DWORD dwFormat)
{
    return dwFormat == MOV_FOURCC('t', 'w', 'o', 's') || dwFormat == MOV_FOURCC('s', 'o', 'w', 't') ||
           dwFormat == MOV_FOURCC('i', 'n', '2', '4');
}

static int GetBE16(const unsigned char* p)
{
    return (p[0] << 8) | p[1];
}

static int Depth(const MOV_ATOM* pAtom)
{
    int n = 0;
    for (; pAtom; pAtom = pAtom->parent)
        ++n;
    return n;
}

CMovReader::CMovReader() : m_hLock(TH_CreateLock()), m_fp(NULL)
{
    (void)s_bContainersReady;
    m_szTitle[0] = 0;
    m_szExt[0] = 0;
    strcpy(m_szDate, s_szNoDate);
    memset(m_Track, 0, sizeof(m_Track));
    ResetTracks();
}

CMovReader::~CMovReader()
{
    // The owner closes the file; only the descriptions are ours to free.
    for (int i = 0; i < MOV_MAX_TRACKS; ++i)
        free(m_Track[i].pStsd);
    TH_DeleteLock(m_hLock);
}

void CMovReader::ResetTracks()
{
    for (int i = 0; i < MOV_MAX_TRACKS; ++i) {
        free(m_Track[i].pStsd);
        memset(&m_Track[i], 0, sizeof(MovTrack));
        m_Track[i].nRunEntry = -1;
    }
    m_nTrackCount = 0;
    m_pCurrentTrack = NULL;
    m_dwFileLength = 0;
    m_dwDuration = 0;
    m_dwMediaOffset = 0;
    m_nVideoWidth = 0;
    m_nVideoHeight = 0;
    m_nSampleRate = 0;
    m_nBits = 0;
    m_nChannels = 0;
}

void CMovReader::Lock()
{
    TH_Lock(m_hLock);
}

void CMovReader::Unlock()
{
    TH_Unlock(m_hLock);
}

int CMovReader::ReadBytes(void* pBuffer, long nSize)
{
    return m_fp && fread(pBuffer, 1, (size_t)nSize, m_fp) == (size_t)nSize;
}

int CMovReader::Skip(long nBytes)
{
    return m_fp && fseeko(m_fp, nBytes, SEEK_CUR) == 0;
}

long CMovReader::Tell()
{
    return m_fp ? (long)ftello(m_fp) : -1;
}

int CMovReader::ReadDWord(DWORD* pdwValue)
{
    unsigned char b[4];
    if (!ReadBytes(b, 4))
        return FALSE;
    *pdwValue = MOV_GetBE32(b);
    return TRUE;
}

int CMovReader::ReadAtomHeader(MOV_ATOM* pAtom)
{
    long nPos = Tell();
    if (nPos < 0 || nPos >= (long)m_dwFileLength)
        return FALSE;
    unsigned char b[8];
    if (!ReadBytes(b, 8))
        return FALSE;
    DWORD dwSize = MOV_GetBE32(b);
    // 0 (to the end of the file) and 1 (64-bit size) are not used here.
    if (dwSize < 8)
        return FALSE;
    pAtom->position = (int32_t)nPos;
    pAtom->size = dwSize - 8;
    memset(pAtom->name, 0, sizeof(pAtom->name));
    memcpy(pAtom->name, b + 4, 4);
    pAtom->type = MOV_FourCC(pAtom->name);
    return TRUE;
}

int CMovReader::Read(MOV_ATOM* pParent, long nEnd)
{
    if (Depth(pParent) >= MOV_MAX_DEPTH)
        return FALSE;
    for (;;) {
        long nPos = Tell();
        if (nPos < 0)
            return FALSE;
        if (nPos >= nEnd)
            return TRUE;
        MOV_ATOM atom;
        atom.parent = pParent;
        if (!ReadAtomHeader(&atom))
            return FALSE;
        atom.parent = pParent;
        long nNext = (long)atom.position + 8 + (long)atom.size;
        if (nNext > nEnd)
            return FALSE;  // runs past its parent or the file
        if (IsContainer(atom.type) && !Read(&atom, nNext))
            return FALSE;
        if (fseeko(m_fp, (long)atom.position + 8, SEEK_SET) != 0)
            return FALSE;
        if (!ReadAtomBody(&atom))
            return FALSE;
        if (fseeko(m_fp, nNext, SEEK_SET) != 0)
            return FALSE;
    }
}

// The per-type step of the walk; the position is at the first payload byte.
int CMovReader::ReadAtomBody(MOV_ATOM* pAtom)
{
    const DWORD dwType = pAtom->type;
    const DWORD dwSize = pAtom->size;

    if (dwType == MOV_FOURCC('f', 't', 'y', 'p')) {
        char acBrand[4];
        return dwSize >= 4 && ReadBytes(acBrand, 4) && MOV_FourCC(acBrand) == MOV_FOURCC('q', 't', ' ', ' ');
    }
    if (dwType == MOV_FOURCC('m', 'd', 'a', 't')) {
        m_dwMediaOffset = (DWORD)pAtom->position + 8;
        return TRUE;
    }
    if (dwType == MOV_FOURCC('m', 'v', 'h', 'd')) {
        DWORD dwScale, dwDuration;
        if (dwSize < 20 || !Skip(12) || !ReadDWord(&dwScale) || !ReadDWord(&dwDuration) || dwScale == 0)
            return FALSE;
        double dMs = dwDuration * 1000.0 / dwScale;
        m_dwDuration = dMs >= 4294967295.0 ? 0xFFFFFFFFu : (DWORD)dMs;
        return TRUE;
    }
    if (dwType == MOV_FOURCC('t', 'k', 'h', 'd')) {
        DWORD dwWidth, dwHeight;
        if (dwSize < 84 || m_nTrackCount >= MOV_MAX_TRACKS)
            return FALSE;
        if (!Skip(76) || !ReadDWord(&dwWidth) || !ReadDWord(&dwHeight))
            return FALSE;
        m_pCurrentTrack = &m_Track[m_nTrackCount++];
        if (dwWidth != 0 && dwHeight != 0) {
            m_pCurrentTrack->nKind = MOV_TRACK_VIDEO;
            m_nVideoWidth = (int)(dwWidth >> 16);
            m_nVideoHeight = (int)(dwHeight >> 16);
        } else {
            m_pCurrentTrack->nKind = MOV_TRACK_SOUND;
        }
        return TRUE;
    }
    if (dwType == MOV_FOURCC('m', 'd', 'h', 'd')) {
        DWORD dwScale, dwDuration;
        if (!m_pCurrentTrack || dwSize < 20 || !Skip(12) || !ReadDWord(&dwScale) || !ReadDWord(&dwDuration))
            return FALSE;
        m_pCurrentTrack->dTimeScale = dwScale;
        m_pCurrentTrack->dDuration = dwDuration;
        return TRUE;
    }
    if (dwType == MOV_FOURCC('s', 't', 's', 'd'))
        return ReadSampleDescriptions(pAtom);
    if (dwType == MOV_FOURCC('s', 't', 't', 's'))
        return ReadTimeToSample(pAtom);
    if (dwType == MOV_FOURCC('s', 't', 's', 'c') || dwType == MOV_FOURCC('s', 't', 'c', 'o')) {
        DWORD dwCount;
        const DWORD dwEntry = dwType == MOV_FOURCC('s', 't', 's', 'c') ? 12 : 4;
        if (!m_pCurrentTrack || dwSize < 8 || !Skip(4) || !ReadDWord(&dwCount))
            return FALSE;
        if (dwCount > (dwSize - 8) / dwEntry)
            return FALSE;  // more entries than the atom holds
        if (dwEntry == 12) {
            m_pCurrentTrack->nStscCount = (int)dwCount;
            m_pCurrentTrack->dwStscOffset = (DWORD)pAtom->position + 16;
            m_pCurrentTrack->nCheckSpacing = (int)((dwCount + MOV_RUN_CHECKPOINTS - 1) / MOV_RUN_CHECKPOINTS);
            m_pCurrentTrack->nCheckCount = 0;
        } else {
            m_pCurrentTrack->nStcoCount = (int)dwCount;
            m_pCurrentTrack->dwStcoOffset = (DWORD)pAtom->position + 16;
        }
        m_pCurrentTrack->nRunEntry = -1;
        return TRUE;
    }
    if (dwType == MOV_FOURCC('s', 't', 's', 'z'))
        return ReadSampleSizes(pAtom);

    static const char* const aszPlain[] = {"wide", "moov", "udta", "free", "trak", "tapt", "mdia", "edts", "elst",
                                           "hdlr", "minf", "smhd", "vmhd", "dinf", "dref", "stbl", "stss"};
    for (size_t i = 0; i < sizeof(aszPlain) / sizeof(aszPlain[0]); ++i)
        if (dwType == MOV_FourCC(aszPlain[i]))
            return TRUE;

    printf("other:0x%08X:0x%08lX\n", (unsigned)pAtom->position, (unsigned long)dwType);
    return FALSE;
}

int CMovReader::ReadSampleDescriptions(MOV_ATOM* pAtom)
{
    DWORD dwCount;
    if (!m_pCurrentTrack || pAtom->size < 8 || !Skip(4) || !ReadDWord(&dwCount))
        return FALSE;
    DWORD dwLeft = pAtom->size - 8;
    for (DWORD i = 0; i < dwCount; ++i) {
        DWORD dwEntry;
        // An entry holds at least its size and its format code.
        if (dwLeft < 8 || !ReadDWord(&dwEntry) || dwEntry < 8 || dwEntry > dwLeft)
            return FALSE;
        dwLeft -= dwEntry;
        int nSize = (int)(dwEntry - 4);
        unsigned char* pCopy = (unsigned char*)malloc((size_t)nSize);
        if (!pCopy) {
            ERR_PRINT("no memory for a sample description\n");
            abort();
        }
        if (!ReadBytes(pCopy, nSize)) {
            free(pCopy);
            return FALSE;
        }
        free(m_pCurrentTrack->pStsd);
        m_pCurrentTrack->pStsd = pCopy;
        m_pCurrentTrack->nStsdSize = nSize;
    }
    return TRUE;
}

int CMovReader::ReadTimeToSample(MOV_ATOM* pAtom)
{
    DWORD dwCount;
    if (!m_pCurrentTrack || pAtom->size < 8 || !Skip(4) || !ReadDWord(&dwCount))
        return FALSE;
    if (dwCount > (pAtom->size - 8) / 8)
        return FALSE;
    int64_t nTotal = 0;
    unsigned char b[MOV_TABLE_BLOCK * 8];
    for (DWORD i = 0; i < dwCount;) {
        DWORD n = dwCount - i < MOV_TABLE_BLOCK ? dwCount - i : MOV_TABLE_BLOCK;
        if (!ReadBytes(b, (long)n * 8))
            return FALSE;
        for (DWORD k = 0; k < n; ++k)
            nTotal += MOV_GetBE32(b + 8 * k);
        if (nTotal > 0x7FFFFFFF)
            return FALSE;
        i += n;
    }
    m_pCurrentTrack->nSttsCount = (int)dwCount;
    m_pCurrentTrack->dwSttsOffset = (DWORD)pAtom->position + 16;
    m_pCurrentTrack->nTotalSamples = (int)nTotal;
    return TRUE;
}

// PCM sound: channels, bits and rate from the description (offsets counted
// from the format code). The description's rate field has 16 integer bits;
// a rate of 65536 Hz or more is taken from the track's time scale when the
// field holds it modulo 65536. "in24" is 24-bit by name whatever its field
// says (other writers put 16 there).
void CMovReader::TakeSoundFormat(MovTrack* pTrack, DWORD* pdwFrameBytes)
{
    const unsigned char* p = pTrack->pStsd;
    int nChannels = GetBE16(p + 20);
    int nBits = GetBE16(p + 22);
    int nRate = GetBE16(p + 28);
    if (MOV_FourCC((const char*)p) == MOV_FOURCC('i', 'n', '2', '4'))
        nBits = 24;
    double dScale = pTrack->dTimeScale;
    if (dScale >= 65536.0 && dScale <= 2147483647.0 && dScale == floor(dScale) &&
        ((DWORD)dScale & 0xFFFF) == (DWORD)nRate)
        nRate = (int)dScale;
    m_nChannels = nChannels;
    m_nBits = nBits;
    m_nSampleRate = nRate;
    // Both fields are 16-bit: their product does not fit an int.
    if (*pdwFrameBytes == 1)
        *pdwFrameBytes = (DWORD)((uint64_t)nChannels * (uint64_t)nBits / 8);
}

int CMovReader::ReadSampleSizes(MOV_ATOM* pAtom)
{
    MovTrack* pTrack = m_pCurrentTrack;
    DWORD dwSize, dwCount;
    if (!pTrack || pAtom->size < 12 || !Skip(4) || !ReadDWord(&dwSize) || !ReadDWord(&dwCount))
        return FALSE;
    if (pTrack->pStsd && pTrack->nStsdSize >= 32 && IsPcmFormat(MOV_FourCC((const char*)pTrack->pStsd))) {
        TakeSoundFormat(pTrack, &dwSize);
        if (dwSize == 0)
            return FALSE;  // a PCM frame of no bytes
    }
    if (dwSize == 0) {
        if (dwCount > (pAtom->size - 12) / 4 || dwCount > 0x7FFFFFFF)
            return FALSE;
        pTrack->nStszCount = (int)dwCount;
        pTrack->dwStszValue = (DWORD)pAtom->position + 20;
    } else {
        pTrack->nStszCount = 0;
        pTrack->dwStszValue = dwSize;
    }
    return TRUE;
}

int CMovReader::Open(const char* szPath)
{
    if (m_fp)
        return 0;

    const char* pSlash = strrchr(szPath, '/');
    snprintf(m_szTitle, sizeof(m_szTitle), "%s", pSlash ? pSlash + 1 : szPath);
    GetFileExt(m_szExt, m_szTitle);
    ToUpper(m_szExt);
    ResetTracks();

    m_fp = SYS_fopen(szPath, "rb");
    if (!m_fp) {
        printf("%s open error!!\n", szPath);
        return 1;
    }

    long long nLength = -1;
    if (fseeko(m_fp, 0, SEEK_END) == 0)
        nLength = ftello(m_fp);
    rewind(m_fp);

    struct stat st;
    struct tm tmDate;
    time_t tMod = 0;
    if (SYS_stat(szPath, &st) == 0 && (tMod = st.st_mtime, gmtime_r(&tMod, &tmDate))) {
        char szDate[64];
        snprintf(szDate, sizeof(szDate), "%04d/%02d/%02d %02d:%02d", tmDate.tm_year + 1900, tmDate.tm_mon + 1,
                 tmDate.tm_mday, tmDate.tm_hour, tmDate.tm_min);
        snprintf(m_szDate, sizeof(m_szDate), "%.31s", szDate);
    } else {
        strcpy(m_szDate, s_szNoDate);
    }

    if (nLength < 0 || nLength > MOV_MAX_FILE_LENGTH) {
        printf("%s: %lld bytes, too large to read\n", szPath, nLength);
        return 2;
    }
    m_dwFileLength = (DWORD)nLength;

    if (strcmp(m_szExt, "MOV") != 0)
        return 0;
    if (!Read((MOV_ATOM*)NULL, (long)m_dwFileLength))
        return 2;
    if (m_dwMediaOffset == 0 || m_nTrackCount == 0)
        return 2;  // no media data, or no index (a recording cut short)
    return 0;
}

void CMovReader::Close()
{
    if (m_fp) {
        Lock();
        fclose(m_fp);
        m_fp = NULL;
        Unlock();
    }
}

int CMovReader::Read(void* pBuffer, long nOffset, int nSize)
{
    if (nOffset < 0 || nSize < 0)
        return FALSE;
    // The file is looked at under the lock: a Close from another thread
    // must not free it between the test and the read.
    Lock();
    int bOk = m_fp && fseeko(m_fp, nOffset, SEEK_SET) == 0 &&
              fread(pBuffer, 1, (size_t)nSize, m_fp) == (size_t)nSize;
    Unlock();
    return bOk;
}

MovTrack* CMovReader::GetTrack(int nKind)
{
    for (int i = 0; i < m_nTrackCount && i < MOV_MAX_TRACKS; ++i)
        if (m_Track[i].nKind == nKind)
            return &m_Track[i];
    return NULL;
}

int CMovReader::GetSampleCount(int nKind)
{
    MovTrack* pTrack = GetTrack(nKind);
    return pTrack ? pTrack->nTotalSamples : -1;
}

int CMovReader::HasVideo()
{
    return GetTrack(MOV_TRACK_VIDEO) != NULL;
}

int CMovReader::HasAudio(int* pbBigEndian)
{
    MovTrack* pTrack = GetTrack(MOV_TRACK_SOUND);
    if (!pTrack)
        return FALSE;
    if (pbBigEndian && pTrack->pStsd && pTrack->nStsdSize >= 4 &&
        MOV_FourCC((const char*)pTrack->pStsd) == MOV_FOURCC('t', 'w', 'o', 's'))
        *pbBigEndian = 1;
    return TRUE;
}

double CMovReader::GetFps(int nKind)
{
    if (nKind == 0)
        return -1.0;
    Lock();
    double dFps = -1.0;
    MovTrack* pTrack = GetTrack(nKind);
    unsigned char b[8];
    if (m_fp && pTrack && pTrack->nSttsCount == 1 && Read(b, (long)pTrack->dwSttsOffset, 8)) {
        double dDelta = MOV_GetBE32(b + 4);
        dFps = 1000.0 / (dDelta * 1000.0 / pTrack->dTimeScale);
    }
    Unlock();
    return dFps;
}

int CMovReader::GetSampleIndex(int nKind, double dValue)
{
    double dFps = GetFps(nKind);
    if (!(dFps > 0.0) || isinf(dFps))
        return -1;
    double dIndex = dValue / dFps;
    if (!(dIndex >= 0.0) || dIndex >= (double)GetSampleCount(nKind))
        return -1;
    return (int)dIndex;
}

int CMovReader::ReadTableEntry(DWORD dwTable, int64_t nEntry, DWORD* pdwValue)
{
    unsigned char b[4];
    if (!Read(b, (long)((int64_t)dwTable + 4 * nEntry), 4))
        return FALSE;
    *pdwValue = MOV_GetBE32(b);
    return TRUE;
}

// Reads "stsc" entries (first chunk, samples per chunk) through a block of
// the table.
class CStscCursor
{
public:
    CStscCursor(CMovReader* pReader, const MovTrack* pTrack) : m_pReader(pReader), m_pTrack(pTrack), m_nBase(0), m_nHeld(0)
    {
    }
    int Get(int nEntry, DWORD* pdwFirst, DWORD* pdwSamples)
    {
        if (nEntry < m_nBase || nEntry >= m_nBase + m_nHeld) {
            int n = m_pTrack->nStscCount - nEntry;
            if (n > MOV_TABLE_BLOCK)
                n = MOV_TABLE_BLOCK;
            if (!m_pReader->Read(m_ab, (long)((int64_t)m_pTrack->dwStscOffset + 12 * (int64_t)nEntry), n * 12))
                return FALSE;
            m_nBase = nEntry;
            m_nHeld = n;
        }
        const unsigned char* p = m_ab + 12 * (nEntry - m_nBase);
        *pdwFirst = MOV_GetBE32(p);
        *pdwSamples = MOV_GetBE32(p + 4);
        return TRUE;
    }

private:
    CMovReader* m_pReader;
    const MovTrack* m_pTrack;
    int m_nBase;  // entry held at m_ab[0]
    int m_nHeld;
    unsigned char m_ab[MOV_TABLE_BLOCK * 12];
};

// Finds the "stsc" run that holds sample nIndex and leaves it in the track's
// run fields. Run k + 1 begins at start(k) + samples(k) x (first(k + 1) -
// first(k)); the last entry's run has no end. The scan starts from the
// nearest place already known: the last run found or a checkpoint.
int CMovReader::FindRun(MovTrack* pTrack, int nIndex)
{
    if (pTrack->nRunEntry >= 0 && nIndex >= pTrack->nRunStart && nIndex < pTrack->nRunEnd)
        return TRUE;

    int nEntry = 0;
    int64_t nStart = 0;
    if (pTrack->nRunEntry >= 0 && nIndex >= pTrack->nRunStart) {
        nEntry = pTrack->nRunEntry;
        nStart = pTrack->nRunStart;
    }
    int nLow = 0, nHigh = pTrack->nCheckCount;  // the last checkpoint at or before nIndex
    while (nHigh - nLow > 1) {
        int nMid = (nLow + nHigh) / 2;
        if (pTrack->anCheckStart[nMid] <= nIndex)
            nLow = nMid;
        else
            nHigh = nMid;
    }
    if (pTrack->nCheckCount > 0 && nLow * pTrack->nCheckSpacing > nEntry) {
        nEntry = nLow * pTrack->nCheckSpacing;
        nStart = pTrack->anCheckStart[nLow];
    }

    CStscCursor cur(this, pTrack);
    DWORD dwFirst, dwSamples;
    if (!cur.Get(nEntry, &dwFirst, &dwSamples))
        return FALSE;
    for (;;) {
        if (dwFirst == 0)
            return FALSE;
        if (pTrack->nCheckSpacing > 0 && nEntry == pTrack->nCheckCount * pTrack->nCheckSpacing &&
            pTrack->nCheckCount < MOV_RUN_CHECKPOINTS)
            pTrack->anCheckStart[pTrack->nCheckCount++] = nStart;
        int64_t nEnd = INT64_MAX;
        DWORD dwNextFirst = 0, dwNextSamples = 0;
        if (nEntry + 1 < pTrack->nStscCount) {
            if (!cur.Get(nEntry + 1, &dwNextFirst, &dwNextSamples))
                return FALSE;
            if (dwNextFirst <= dwFirst)
                return FALSE;  // chunks must ascend
            // both factors are below 2^32 and nStart is below 2^31 here
            const uint64_t nRun = (uint64_t)dwSamples * (uint64_t)(dwNextFirst - dwFirst);
            nEnd = nRun > (uint64_t)(INT64_MAX - nStart) ? INT64_MAX : nStart + (int64_t)nRun;
        }
        if (nIndex < nEnd) {
            if (dwSamples == 0)
                return FALSE;
            pTrack->nRunEntry = nEntry;
            pTrack->nRunStart = nStart;
            pTrack->nRunEnd = nEnd;
            pTrack->dwRunFirstChunk = dwFirst;
            pTrack->dwRunSamples = dwSamples;
            return TRUE;
        }
        ++nEntry;
        nStart = nEnd;
        dwFirst = dwNextFirst;
        dwSamples = dwNextSamples;
    }
}

int CMovReader::GetSamplePos(int nKind, int nIndex, long* pnOffset, int* pnSize, int* pnCount, int* pnTotal)
{
    Lock();
    int bOk = FALSE;
    MovTrack* pTrack = m_fp ? GetTrack(nKind) : NULL;
    DWORD dwChunkOffset = 0;
    int64_t nWithin = 0;
    if (pTrack && nIndex >= 0 && nIndex < pTrack->nTotalSamples && pTrack->nStscCount > 0 && FindRun(pTrack, nIndex)) {
        const uint64_t nInRun = (uint64_t)(nIndex - pTrack->nRunStart);
        const uint64_t nChunk = (pTrack->dwRunFirstChunk - 1) + nInRun / pTrack->dwRunSamples;
        nWithin = (int64_t)(nInRun % pTrack->dwRunSamples);
        bOk = nChunk < (uint64_t)pTrack->nStcoCount &&
              ReadTableEntry(pTrack->dwStcoOffset, (int64_t)nChunk, &dwChunkOffset);
    }
    if (bOk) {
        // Nothing is handed out that lies past the end of the file.
        const int64_t nLength = m_dwFileLength;
        int64_t nOffset = 0, nSize = 0, nCount = 0;
        if (pTrack->nStszCount == 0) {
            // A track without a size table has no fixed size either.
            nSize = pTrack->dwStszValue;
            if (nSize == 0)
                bOk = FALSE;
            nOffset = (int64_t)dwChunkOffset + nSize * nWithin;
            nCount = (int64_t)pTrack->dwRunSamples - nWithin;
            if (bOk && nOffset + nSize <= nLength && nCount > (nLength - nOffset) / nSize)
                nCount = (nLength - nOffset) / nSize;  // a chunk cut short by the end of the file
        } else {
            bOk = nIndex < pTrack->nStszCount &&
                  SumSampleSizes(pTrack, nIndex - nWithin, nWithin, &nOffset, &nSize);
            nOffset += dwChunkOffset;
            nCount = 1;
        }
        bOk = bOk && nOffset + nSize <= nLength;
        if (bOk) {
            *pnOffset = (long)nOffset;
            *pnSize = (int)nSize;
            *pnCount = (int)nCount;
            *pnTotal = (int)(nSize * nCount);
        }
    }
    Unlock();
    return bOk;
}

// Adds up the sizes of nBefore samples from nFirst on (the samples of the
// chunk before the wanted one) and reads the size of the one after them.
int CMovReader::SumSampleSizes(MovTrack* pTrack, int64_t nFirst, int64_t nBefore, int64_t* pnSum, int64_t* pnSize)
{
    unsigned char b[MOV_TABLE_BLOCK * 4];
    int64_t nSum = 0;
    DWORD dwLast = 0;
    for (int64_t i = 0; i <= nBefore;) {
        int64_t n = nBefore + 1 - i;
        if (n > MOV_TABLE_BLOCK)
            n = MOV_TABLE_BLOCK;
        if (!Read(b, (long)((int64_t)pTrack->dwStszValue + 4 * (nFirst + i)), (int)(4 * n)))
            return FALSE;
        for (int64_t k = 0; k < n; ++k) {
            dwLast = MOV_GetBE32(b + 4 * k);
            nSum += dwLast;
        }
        i += n;
    }
    *pnSize = dwLast;
    *pnSum = nSum - dwLast;
    return TRUE;
}

int CMovReader::GetVideoWidth()
{
    return m_nVideoWidth;
}

int CMovReader::GetVideoHeight()
{
    return m_nVideoHeight;
}

void CMovReader::GetAudioInfo(int* pnRate, int* pnBits, int* pnChannels)
{
    if (pnRate)
        *pnRate = m_nSampleRate;
    if (pnBits)
        *pnBits = m_nBits;
    if (pnChannels)
        *pnChannels = m_nChannels;
}

void CMovReader::GetTitle(char* szBuffer)
{
    strcpy(szBuffer, m_szTitle);
}

void CMovReader::GetDateStr(char* szBuffer)
{
    strcpy(szBuffer, m_szDate);
}

// ---- Decoder configuration ---------------------------------------------------

// Length in bytes of an MPEG-4 descriptor's size field and its value.
static int DescriptorSize(const unsigned char* p, int nLeft, int* pnSize)
{
    int nSize = 0;
    for (int i = 0; i < 4 && i < nLeft; ++i) {
        nSize = (nSize << 7) | (p[i] & 0x7F);
        if (!(p[i] & 0x80)) {
            *pnSize = nSize;
            return i + 1;
        }
    }
    return 0;
}

int MOV_GetDecoderConfig(const MovTrack* pTrack, const unsigned char** ppConfig)
{
    if (!pTrack || !pTrack->pStsd)
        return 0;
    const unsigned char* pStsd = pTrack->pStsd;
    const int nStsd = pTrack->nStsdSize;
    if (nStsd == 149) {
        *ppConfig = pStsd + 125;
        return 18;
    }
    // The "esds" atom inside the description: version and flags, then the
    // ES descriptor (3) holding the decoder configuration (4) holding the
    // decoder-specific information (5).
    for (int i = 4; i + 12 <= nStsd; ++i) {
        if (memcmp(pStsd + i, "esds", 4) != 0)
            continue;
        int nAtom = (int)MOV_GetBE32(pStsd + i - 4) - 8;
        const unsigned char* p = pStsd + i + 4 + 4;
        int nLeft = nAtom - 4;
        if (nAtom < 4 || nLeft > nStsd - (i + 8))
            return 0;
        while (nLeft > 2) {
            const int nTag = p[0];
            int nSize = 0;
            const int nField = DescriptorSize(p + 1, nLeft - 1, &nSize);
            if (nField == 0)
                return 0;
            p += 1 + nField;
            nLeft -= 1 + nField;
            if (nSize > nLeft)
                return 0;
            if (nTag == 3) {
                if (nSize < 3)
                    return 0;
                const int nFlags = p[2];
                int nSkip = 3 + ((nFlags & 0x80) ? 2 : 0);
                if ((nFlags & 0x40) && nSkip < nSize)
                    nSkip += 1 + p[nSkip];
                if (nFlags & 0x20)
                    nSkip += 2;
                if (nSkip > nSize)
                    return 0;
                p += nSkip;
                nLeft -= nSkip;
            } else if (nTag == 4) {
                if (nSize < 13)
                    return 0;
                p += 13;
                nLeft -= 13;
            } else if (nTag == 5) {
                *ppConfig = p;
                return nSize;
            } else {
                return 0;
            }
        }
        return 0;
    }
    return 0;
}
