#include "Media/MovCreator.h"

#include "Lib/Log.h"
#include "Lib/Sys.h"
#include "Media/Recovery.h"
#include "Media/RemainMedia.h"
#include "Middleware/GUI/StateControl.h"

#include <assert.h>
#include <errno.h>
#include <new>
#include <stdio.h>
#include <string.h>

// Seconds from 1904-01-01 (the movie clock) to 1970-01-01.
#define MOV_TIME_OFFSET 2082844800u

// Chunk offsets are 32-bit and readers keep positions signed: a file must
// end below 2^31 bytes with its index and one more sample.
#define MOV_MAX_FILE_END 0x7FFFFFFFL

// Fixed "moov" bytes without the tables, for 16-bit sound; 24-bit adds 62.
#define MOV_MOOV_FIXED 1073
#define MOV_MOOV_IN24_EXTRA 62

namespace {

// The payload of one fixed-layout atom, assembled before it is written.
class CPayload
{
public:
    CPayload() : m_nSize(0) {}
    void Put32(DWORD dw)
    {
        assert(m_nSize + 4 <= (int)sizeof(m_ab));
        MOV_PutBE32(m_ab + m_nSize, dw);
        m_nSize += 4;
    }
    void Put16(unsigned n)
    {
        assert(m_nSize + 2 <= (int)sizeof(m_ab));
        m_ab[m_nSize++] = (unsigned char)(n >> 8);
        m_ab[m_nSize++] = (unsigned char)n;
    }
    void Put8(unsigned n)
    {
        assert(m_nSize + 1 <= (int)sizeof(m_ab));
        m_ab[m_nSize++] = (unsigned char)n;
    }
    void PutCode(const char* sz) { PutBytes(sz, 4); }
    void PutBytes(const void* p, int n)
    {
        assert(m_nSize + n <= (int)sizeof(m_ab));
        memcpy(m_ab + m_nSize, p, (size_t)n);
        m_nSize += n;
    }
    void PutFill(unsigned char c, int n)
    {
        assert(m_nSize + n <= (int)sizeof(m_ab));
        memset(m_ab + m_nSize, c, (size_t)n);
        m_nSize += n;
    }
    void PutMatrix()
    {
        static const DWORD adw[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
        for (int i = 0; i < 9; ++i)
            Put32(adw[i]);
    }
    const unsigned char* Data() const { return m_ab; }
    int Size() const { return m_nSize; }

private:
    unsigned char m_ab[192];
    int m_nSize;
};

// Cuts a chunk table to a total of nTotal samples: the chunk at which the
// running sum reaches the total keeps the remainder and becomes the last.
void TrimChunks(MOV_CHUNK* pChunk, int* pnCount, int64_t nTotal)
{
    int64_t nSum = 0;
    for (int i = 0; i < *pnCount; ++i) {
        if (nSum + pChunk[i].nSamples >= nTotal) {
            pChunk[i].nSamples = (int)(nTotal - nSum);
            *pnCount = i + 1;
            return;
        }
        nSum += pChunk[i].nSamples;
    }
}

// Chunks whose sample count differs from the chunk before start a new
// "stsc" entry.
int StscEntryCount(const MOV_CHUNK* pChunk, int nCount)
{
    int n = 0;
    for (int k = 0; k < nCount; ++k)
        if (pChunk[k].nSamples != 0 && (k == 0 || pChunk[k].nSamples != pChunk[k - 1].nSamples))
            ++n;
    return n;
}

// The index writer: a CMemMovWriter whose first failure sticks, so that the
// tree is built straight through and judged once.
class CMoovBuilder
{
public:
    CMoovBuilder(unsigned char* pBuffer, long nCapacity) : m_mem(pBuffer, nCapacity), m_bOk(TRUE) {}

    MOV_ATOM* Open(MOV_ATOM* pParent, const char* szName)
    {
        MOV_ATOM* pAtom = m_mem.CreateAtom(pParent, szName);
        if (!pAtom)
            m_bOk = FALSE;
        return pAtom;
    }
    void Close(MOV_ATOM* pAtom)
    {
        if (pAtom && !m_mem.CloseAtom(pAtom))
            m_bOk = FALSE;
    }
    void Put(MOV_ATOM* pAtom, DWORD dw)
    {
        if (pAtom && !m_mem.WriteAtom(pAtom, dw))
            m_bOk = FALSE;
    }
    void Child(MOV_ATOM* pParent, const char* szName, const CPayload& payload)
    {
        if (pParent && !m_mem.AddChild(pParent, szName, payload.Data(), payload.Size()))
            m_bOk = FALSE;
    }
    // "stsc" and "stco" of a chunk table.
    void ChunkTables(MOV_ATOM* pStbl, const MOV_CHUNK* pChunk, int nCount)
    {
        MOV_ATOM* pStsc = Open(pStbl, "stsc");
        Put(pStsc, 0);
        Put(pStsc, (DWORD)StscEntryCount(pChunk, nCount));
        for (int k = 0; k < nCount; ++k) {
            if (pChunk[k].nSamples != 0 && (k == 0 || pChunk[k].nSamples != pChunk[k - 1].nSamples)) {
                Put(pStsc, (DWORD)(k + 1));
                Put(pStsc, (DWORD)pChunk[k].nSamples);
                Put(pStsc, 1);
            }
        }
        Close(pStsc);
    }
    void ChunkOffsets(MOV_ATOM* pStbl, const MOV_CHUNK* pChunk, int nCount)
    {
        MOV_ATOM* pStco = Open(pStbl, "stco");
        Put(pStco, 0);
        Put(pStco, (DWORD)nCount);
        for (int k = 0; k < nCount; ++k)
            Put(pStco, pChunk[k].dwOffset);
        Close(pStco);
    }
    long Length() { return m_mem.GetCurrentPos(); }
    int Ok() const { return m_bOk; }

private:
    CMemMovWriter m_mem;
    int m_bOk;
};

void HeaderPayload(CPayload& p, DWORD dwTime)
{
    p.Put32(0);
    p.Put32(dwTime);
    p.Put32(dwTime);
}

void HandlerPayload(CPayload& p, const char* szSubtype)
{
    p.Put32(0);
    p.PutCode("mhlr");
    p.PutCode(szSubtype);
    p.PutCode("kstr");
    p.Put32(0);
    p.Put32(0);
}

void DataInformation(CMoovBuilder& b, MOV_ATOM* pMinf)
{
    MOV_ATOM* pDinf = b.Open(pMinf, "dinf");
    CPayload dref;
    dref.Put32(0);
    dref.Put32(1);
    dref.Put32(12);
    dref.PutCode("alis");
    dref.Put32(1);  // the data is in this file
    b.Child(pDinf, "dref", dref);
    b.Close(pDinf);
}

void TrackHeader(CPayload& p, DWORD dwTime, int nTrackId, DWORD dwDuration, int nVolume, int nWidth, int nHeight)
{
    p.Put32(0x0000000F);
    p.Put32(dwTime);
    p.Put32(dwTime);
    p.Put32((DWORD)nTrackId);
    p.Put32(0);
    p.Put32(dwDuration);
    p.Put32(0);
    p.Put32(0);
    p.Put16(0);  // layer
    p.Put16(0);  // alternate group
    p.Put16((unsigned)nVolume);
    p.Put16(0);
    p.PutMatrix();
    p.Put32((DWORD)nWidth << 16);
    p.Put32((DWORD)nHeight << 16);
}

void SoundDescription(CPayload& p, int nChannels, int nBits, int nSampleRate)
{
    const int bIn24 = nBits == 24;
    p.Put32(0);
    p.Put32(1);
    p.Put32(bIn24 ? 114 : 52);
    p.PutCode(bIn24 ? "in24" : "sowt");
    p.PutFill(0, 6);
    p.Put16(1);  // data reference index
    p.Put16(1);  // version
    p.Put16(0);  // revision
    p.Put32(0);  // vendor
    p.Put16((unsigned)nChannels);
    p.Put16(bIn24 ? 24 : (unsigned)nBits);
    p.Put16(bIn24 ? 0xFFFF : 0);  // compression ID
    p.Put16(0);                     // packet size
    p.Put32(((DWORD)nSampleRate & 0xFFFF) << 16);
    p.Put32(1);                     // samples per packet
    p.Put32(bIn24 ? 3 : 2);         // bytes per packet
    p.Put32(bIn24 ? 6 : 4);         // bytes per frame
    p.Put32(2);                     // bytes per sample
    if (!bIn24)
        return;
    p.Put32(38);
    p.PutCode("wave");
    p.Put32(12);
    p.PutCode("frma");
    p.PutCode("in24");
    p.Put32(10);
    p.PutCode("enda");
    p.Put16(1);  // little-endian samples
    p.Put32(8);
    p.Put32(0);
    p.Put32(24);
    p.PutCode("chan");
    p.Put32(0);
    p.Put32(0x00650002);  // stereo
    p.Put32(0);
    p.Put32(0);
}

void VideoDescription(CPayload& p, int nWidth, int nHeight, const unsigned char* pDsi, int nDsiLen)
{
    p.Put32(0);
    p.Put32(1);
    p.Put32(153);
    p.PutCode("mp4v");
    p.PutFill(0, 6);
    p.Put16(1);  // data reference index
    p.Put16(0);  // version
    p.Put16(0);  // revision
    p.Put32(0);  // vendor
    p.Put32(0);  // temporal quality
    p.Put32(0);  // spatial quality
    p.Put16((unsigned)nWidth);
    p.Put16((unsigned)nHeight);
    p.Put32(0);  // resolutions
    p.Put32(0);
    p.Put32(0);  // data size
    p.Put16(1);  // frame count
    p.PutFill(0, 32);
    p.Put16(24);
    p.Put16(0xFFFF);
    // esds: ES, decoder configuration, decoder-specific information, SL
    static const unsigned char abEsdsHead[] = {
        0x00, 0x00, 0x00, 67,   'e', 's', 'd', 's', 0x00, 0x00, 0x00, 0x00,
        0x03, 0x80, 0x80, 0x80, 0x32, 0x00, 0x00, 0x00,
        0x04, 0x80, 0x80, 0x80, 0x24, 0x20, 0x11,
    };
    p.PutBytes(abEsdsHead, sizeof(abEsdsHead));
    p.Put8(10000 >> 16);
    p.Put16(10000 & 0xFFFF);
    p.Put32(4194304);
    p.Put32(4194304);
    static const unsigned char abDsiHead[] = {0x05, 0x80, 0x80, 0x80, 0x12};
    p.PutBytes(abDsiHead, sizeof(abDsiHead));
    int nCopy = nDsiLen < 18 ? (nDsiLen > 0 ? nDsiLen : 0) : 18;
    p.PutBytes(pDsi, nCopy);
    p.PutFill(0xFF, 18 - nCopy);
    static const unsigned char abSl[] = {0x06, 0x80, 0x80, 0x80, 0x01, 0x02};
    p.PutBytes(abSl, sizeof(abSl));
}

}  // namespace

CMovCreator::CMovCreator()
    : m_nAudioChunkCount(0), m_pAudioChunk(m_AudioChunk), m_nVideoChunkCount(0), m_pVideoChunk(m_VideoChunk),
      m_nAudioSamples(0), m_nVideoFrames(0), m_nDecSpecInfoLen(0), m_nExitCode(0), m_bCreating(0), m_pWriter(NULL),
      m_nWidth(0), m_nHeight(0), m_nFps(0), m_nSampleRate(0), m_nBits(0), m_nChannels(0), m_dwTime(0),
      m_dwDuration(0), m_nAudioEntries(0), m_nVideoEntries(0), m_bJournal(0), m_fpJournal(NULL), m_nJournalBlocks(0)
{
    m_szJournal[0] = 0;
    m_AudioChunk[0].dwOffset = 0;
    m_AudioChunk[0].nSamples = 0;
    m_VideoChunk[0].dwOffset = 0;
    m_VideoChunk[0].nSamples = 0;
    memset(m_baDecSpecInfo, 0, sizeof(m_baDecSpecInfo));
    m_szPreCreated[0] = 0;
}

CMovCreator::~CMovCreator()
{
    delete m_pWriter;
    if (m_fpJournal)
        fclose(m_fpJournal);
}

void CMovCreator::PostCreateFile(const char* szPath) {}
void CMovCreator::PreLoop() {}
void CMovCreator::PostAddVideoFrame() {}
void CMovCreator::PostAddAudioFrame() {}

void CMovCreator::ClearParam()
{
    m_nAudioSamples = 0;
    m_nVideoFrames = 0;
}

long CMovCreator::GetCurrentPos()
{
    CMovWriter* pWriter = m_pWriter;
    return pWriter ? pWriter->GetCurrentPos() : -1;
}

// A file that an earlier PreCreate opened and no Create used holds only its
// first 40 bytes: it is closed and removed so that no empty movie is left.
void CMovCreator::DiscardPreCreated()
{
    if (!m_pWriter)
        return;
    delete m_pWriter;
    m_pWriter = NULL;
    if (m_szPreCreated[0])
        SYS_unlink(m_szPreCreated);
    m_szPreCreated[0] = 0;
}

int CMovCreator::PreCreate(const char* szPath)
{
    DiscardPreCreated();
    m_pWriter = new (std::nothrow) CMovWriter();
    if (!m_pWriter) {
        ERR_PRINT("create error CMovWriter!!\n");
        return -1;
    }
    if (!m_pWriter->Create(szPath)) {
        delete m_pWriter;
        m_pWriter = NULL;
        return -2;
    }
    CPayload ftyp;
    ftyp.PutCode("qt  ");
    ftyp.Put32(0x20050300);
    ftyp.PutCode("qt  ");
    ftyp.Put32(0);
    ftyp.Put32(0);
    ftyp.Put32(0);
    if (!m_pWriter->AddChild(NULL, "ftyp", ftyp.Data(), ftyp.Size()) || !m_pWriter->AddChild(NULL, "wide", NULL, 0)) {
        delete m_pWriter;
        m_pWriter = NULL;
        SYS_unlink(szPath);
        return -2;
    }
    snprintf(m_szPreCreated, sizeof(m_szPreCreated), "%s", strlen(szPath) < sizeof(m_szPreCreated) ? szPath : "");
    return 0;
}

int CMovCreator::Begin(int nWidth, int nHeight, int nFps, int nSampleRate, int nBits, int nChannels)
{
    // A copy takes these from a source file; none of them may be zero.
    if (nWidth <= 0 || nWidth > 0xFFFF || nHeight <= 0 || nHeight > 0xFFFF || nFps <= 0 || nSampleRate <= 0 ||
        nBits <= 0 || nBits % 8 != 0 || nChannels <= 0) {
        ERR_PRINT("bad movie format %dx%d %d fps, %d Hz %d bits %d ch\n", nWidth, nHeight, nFps, nSampleRate, nBits,
                  nChannels);
        return FALSE;
    }
    m_nAudioChunkCount = 0;
    m_pAudioChunk = m_AudioChunk;
    m_pAudioChunk->nSamples = 0;
    m_nVideoChunkCount = 0;
    m_pVideoChunk = m_VideoChunk;
    m_pVideoChunk->nSamples = 0;
    m_nAudioSamples = 0;
    m_nVideoFrames = 0;
    m_nAudioEntries = 0;
    m_nVideoEntries = 0;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nFps = nFps;
    m_nSampleRate = nSampleRate;
    m_nBits = nBits;
    m_nChannels = nChannels;
    m_dwTime = (DWORD)SYS_time(NULL) + MOV_TIME_OFFSET;
    return TRUE;
}

int CMovCreator::Create(const char* szPath, int nWidth, int nHeight, int nFps, int nSampleRate, int nBits,
                        int nChannels)
{
    if (!Begin(nWidth, nHeight, nFps, nSampleRate, nBits, nChannels))
        return -1;
    m_bCreating = 1;

    if (!m_pWriter && PreCreate(szPath) != 0) {
        m_bCreating = 0;
        return -1;
    }
    m_szPreCreated[0] = 0;  // in use now: never discarded
    PostCreateFile(szPath);

    MOV_ATOM* pMdat = m_pWriter->CreateAtom(NULL, "mdat");
    if (!pMdat) {
        ERR_PRINT("cannot write %s\n", szPath);
        delete m_pWriter;
        m_pWriter = NULL;
        SYS_unlink(szPath);
        m_bCreating = 0;
        return -1;
    }
    m_nExitCode = MOV_EXIT_RUNNING;
    OpenJournal(szPath);
    RecordLoop(pMdat);
    CloseJournal(Finish(pMdat));

    if (m_nExitCode != MOV_EXIT_SIZE_LIMIT && m_nExitCode != MOV_EXIT_NEW_FILE)
        g_bSyncReq = 1;
    m_bCreating = 0;
    return m_nExitCode;
}

void CMovCreator::RecordLoop(MOV_ATOM* pMdat)
{
    while (m_nExitCode == MOV_EXIT_RUNNING) {
        PreLoop();
        if (m_nExitCode != MOV_EXIT_RUNNING)
            return;
        for (;;) {
            int bWritten = FALSE;
            int n = GetVideo(m_baSampleBuffer);
            if (n > 0) {
                if (!AddVideoFrame(pMdat, n))
                    return;
                bWritten = TRUE;
            }
            int a = GetAudio(m_baSampleBuffer);
            if (a > 0 && m_nVideoFrames > 0) {  // sound before the first frame is dropped
                if (!AddAudioBlock(pMdat, a))
                    return;
                bWritten = TRUE;
            }
            if (!bWritten) {
                SleepMS(2);
                break;
            }
            SleepUS(10);
            PreLoop();
            if (m_nExitCode != MOV_EXIT_RUNNING)
                return;
        }
    }
}

// The current chunk of a track is closed: the next entry becomes current.
void CMovCreator::CloseChunk(int bVideo)
{
    MOV_CHUNK* pTable = bVideo ? m_VideoChunk : m_AudioChunk;
    MOV_CHUNK*& pCurrent = bVideo ? m_pVideoChunk : m_pAudioChunk;
    int& nCount = bVideo ? m_nVideoChunkCount : m_nAudioChunkCount;
    int& nEntries = bVideo ? m_nVideoEntries : m_nAudioEntries;
    if (nCount == 0 || pCurrent->nSamples != pTable[nCount - 1].nSamples)
        ++nEntries;
    assert(nCount + 1 < MOV_MAX_CHUNKS);
    ++pCurrent;
    pCurrent->nSamples = 0;
    ++nCount;
}

// A sample the card does not take ends the file: a full card as such, any
// other failure (a pulled card) as a file that could not be made. The
// sample is not counted.
int CMovCreator::WriteSample(MOV_ATOM* pMdat, int nBytes)
{
    errno = 0;
    if (m_pWriter->WriteAtom(pMdat, m_baSampleBuffer, nBytes)) {
        g_RemainMedia.Subtraction(nBytes);
        return TRUE;
    }
    int nError = errno ? errno : EIO;
    ERR_PRINT("movie sample not written\n%s\n", strerror(nError));
    m_nExitCode = nError == ENOSPC ? MOV_EXIT_CARD_FULL : MOV_EXIT_NOT_CREATED;
    return FALSE;
}

void CMovCreator::NoteVideoFrame(long nPos, int nBytes)
{
    if (m_pVideoChunk->nSamples == 0)
        m_pVideoChunk->dwOffset = (DWORD)nPos;
    m_pVideoChunk->nSamples++;
    m_dwFrameSize[m_nVideoFrames] = (DWORD)nBytes;
    m_nVideoFrames++;
    if (m_pAudioChunk->nSamples != 0)
        CloseChunk(FALSE);
}

void CMovCreator::NoteAudioBlock(long nPos, int nBytes)
{
    if (m_pAudioChunk->nSamples == 0)
        m_pAudioChunk->dwOffset = (DWORD)nPos;
    int nFrames = nBytes / ((m_nBits / 8) * m_nChannels);
    m_pAudioChunk->nSamples += nFrames;
    m_nAudioSamples += nFrames;
    if (m_pVideoChunk->nSamples != 0)
        CloseChunk(TRUE);
}

// Returns FALSE when the loop must end (the exit code changed).
int CMovCreator::AddVideoFrame(MOV_ATOM* pMdat, int nBytes)
{
    assert(nBytes <= MOV_SAMPLE_BUFFER_SIZE);
    const long nPos = m_pWriter->GetCurrentPos();
    if (!WriteSample(pMdat, nBytes))
        return FALSE;
    NoteVideoFrame(nPos, nBytes);
    if (m_nVideoFrames == 1 && m_nDecSpecInfoLen > 0)
        JournalSample(RCV_JOURNAL_DSI, m_nDecSpecInfoLen);
    JournalSample(RCV_JOURNAL_VIDEO, nBytes);
    PostAddVideoFrame();
    EndIfFull();
    return m_nExitCode == MOV_EXIT_RUNNING;
}

int CMovCreator::AddAudioBlock(MOV_ATOM* pMdat, int nBytes)
{
    assert(nBytes <= MOV_SAMPLE_BUFFER_SIZE);
    const long nPos = m_pWriter->GetCurrentPos();
    if (!WriteSample(pMdat, nBytes))
        return FALSE;
    NoteAudioBlock(nPos, nBytes);
    JournalSample(RCV_JOURNAL_SOUND, nBytes);
    PostAddAudioFrame();
    EndIfFull();
    return m_nExitCode == MOV_EXIT_RUNNING;
}

// The "moov" size if the file ended now, with room for the chunk that the
// next sample may open and the trimmed chunk that may start a new entry.
long CMovCreator::MoovSizeBound()
{
    long nFrames = m_nVideoFrames + 1;
    long nEntries = m_nAudioEntries + m_nVideoEntries + 6;
    long nChunks = m_nAudioChunkCount + m_nVideoChunkCount + 4;
    return MOV_MOOV_FIXED + MOV_MOOV_IN24_EXTRA + 12 * nEntries + 4 * (nChunks + nFrames + nFrames / 30 + 1);
}

// The tables, the index buffer and 32-bit offsets have fixed limits. The
// file is ended (as at the size limit, so that recording goes on in a new
// file) while the next frame or block still fits in all of them.
void CMovCreator::EndIfFull()
{
    if (m_nExitCode != MOV_EXIT_RUNNING)
        return;
    long nBound = MoovSizeBound();
    long nPos = m_pWriter->GetCurrentPos();
    if (m_nVideoFrames >= MOV_MAX_FRAMES || m_nVideoChunkCount + 2 >= MOV_MAX_CHUNKS ||
        m_nAudioChunkCount + 2 >= MOV_MAX_CHUNKS || nBound > MOV_SAMPLE_BUFFER_SIZE ||
        nPos < 0 || nPos > MOV_MAX_FILE_END - MOV_SAMPLE_BUFFER_SIZE - nBound) {
        printf("movie tables full: %d frames, %d/%d chunks, %ld bytes\n", m_nVideoFrames, m_nVideoChunkCount,
               m_nAudioChunkCount, nPos);
        m_nExitCode = MOV_EXIT_SIZE_LIMIT;
    }
}

int CMovCreator::Finish(MOV_ATOM* pMdat)
{
    if (m_pAudioChunk->nSamples != 0)
        m_nAudioChunkCount++;
    if (m_pVideoChunk->nSamples != 0)
        m_nVideoChunkCount++;
    errno = 0;
    int bComplete = m_pWriter->CloseAtom(pMdat);
    int nError = errno;

    // Both tracks end together, the sound on a 100 ms step when it is longer.
    const DWORD dwSoundMs = (DWORD)((double)m_nAudioSamples / m_nSampleRate * 1000.0);
    const DWORD dwVideoMs = (DWORD)((int64_t)m_nVideoFrames * 1000 / m_nFps);
    if (dwSoundMs >= dwVideoMs) {
        m_dwDuration = dwVideoMs / 100 * 100;
        m_nAudioSamples = (int)((int64_t)m_nSampleRate * m_dwDuration / 1000);
        TrimChunks(m_AudioChunk, &m_nAudioChunkCount, m_nAudioSamples);
    } else {
        m_dwDuration = dwSoundMs;
    }
    printf("C:%lu\n", (unsigned long)GetTime());
    // D x 3 / 100 at the device's 30 frames/s
    m_nVideoFrames = (int)((int64_t)m_dwDuration * m_nFps / 1000);
    TrimChunks(m_VideoChunk, &m_nVideoChunkCount, m_nVideoFrames);

    long nLength = BuildMoov(m_baSampleBuffer, MOV_SAMPLE_BUFFER_SIZE);
    if (bComplete) {
        errno = 0;
        bComplete = m_pWriter->Write(m_baSampleBuffer, nLength);
        nError = errno;
    }
    // The index may reach the card only as the file is closed.
    errno = 0;
    if (!m_pWriter->Close() && bComplete) {
        bComplete = FALSE;
        nError = errno;
    }
    delete m_pWriter;
    m_pWriter = NULL;
    // Without its index the file is no movie: that must not pass for a
    // finished recording or copy.
    if (!bComplete) {
        if (!nError)
            nError = EIO;
        ERR_PRINT("movie index not written\n%s\n", strerror(nError));
        if (m_nExitCode != MOV_EXIT_CARD_FULL && m_nExitCode != MOV_EXIT_NOT_CREATED)
            m_nExitCode = nError == ENOSPC ? MOV_EXIT_CARD_FULL : MOV_EXIT_NOT_CREATED;
    }
    return bComplete;
}

// ---- The journal ---------------------------------------------------------------------

void CMovCreator::OpenJournal(const char* szPath)
{
    if (!m_bJournal)
        return;
    RCV_JournalPath(m_szJournal, sizeof(m_szJournal), szPath);
    m_fpJournal = m_szJournal[0] ? SYS_fopen(m_szJournal, "wb") : NULL;
    if (!m_fpJournal) {
        ERR_PRINT("no journal for %s\n%s\n", szPath, strerror(errno));
        return;
    }
    m_nJournalBlocks = 0;
    unsigned char ab[RCV_JOURNAL_HEAD_SIZE];
    RCV_PutJournalHead(ab, m_nWidth, m_nHeight, m_nFps, m_nSampleRate, m_nBits, m_nChannels, m_dwTime);
    fwrite(ab, 1, sizeof(ab), m_fpJournal);
    fflush(m_fpJournal);
}

// A record follows the bytes it describes. At each sound block (ten times a
// second) both files go to the file system, the data first, so that the
// journal never names bytes that were still in a buffer; once a second
// both are synced, so that a power loss takes at most the last second.
void CMovCreator::JournalSample(int nType, int nBytes)
{
    if (!m_fpJournal)
        return;
    unsigned char ab[4 + MOV_DEC_SPEC_INFO_SIZE];
    MOV_PutBE32(ab, RCV_JournalRecord(nType, nBytes));
    int nLength = 4;
    if (nType == RCV_JOURNAL_DSI) {
        if (nBytes > MOV_DEC_SPEC_INFO_SIZE)
            nBytes = MOV_DEC_SPEC_INFO_SIZE;
        MOV_PutBE32(ab, RCV_JournalRecord(nType, nBytes));
        memset(ab + 4, 0, MOV_DEC_SPEC_INFO_SIZE);
        memcpy(ab + 4, m_baDecSpecInfo, (size_t)nBytes);
        nLength += (nBytes + 3) / 4 * 4;
    }
    fwrite(ab, 1, (size_t)nLength, m_fpJournal);
    if (nType != RCV_JOURNAL_SOUND)
        return;
    if (++m_nJournalBlocks % RCV_SYNC_BLOCKS == 0) {
        m_pWriter->Sync();
        SYS_fdatasync(m_fpJournal);
    } else {
        m_pWriter->Flush();
        fflush(m_fpJournal);
    }
}

// The journal of a finished file has served; one left by a failure stays
// for the recovery.
void CMovCreator::CloseJournal(int bFinished)
{
    if (!m_fpJournal)
        return;
    fclose(m_fpJournal);
    m_fpJournal = NULL;
    if (bFinished)
        SYS_unlink(m_szJournal);
}

int CMovCreator::Reindex(const char* szPath, int nWidth, int nHeight, int nFps, int nSampleRate, int nBits,
                         int nChannels, DWORD dwTime, const unsigned char* pDsi, int nDsiLen,
                         CMovSampleList& samples)
{
    if (m_bCreating || !Begin(nWidth, nHeight, nFps, nSampleRate, nBits, nChannels))
        return -1;
    DiscardPreCreated();
    m_dwTime = dwTime;
    m_nDecSpecInfoLen = nDsiLen < 0 ? 0 : (nDsiLen > MOV_DEC_SPEC_INFO_SIZE ? MOV_DEC_SPEC_INFO_SIZE : nDsiLen);
    memcpy(m_baDecSpecInfo, pDsi, (size_t)m_nDecSpecInfoLen);
    m_pWriter = new (std::nothrow) CMovWriter();
    if (!m_pWriter || !m_pWriter->OpenForUpdate(szPath) || !m_pWriter->Seek(40)) {
        delete m_pWriter;
        m_pWriter = NULL;
        return -1;
    }
    m_bCreating = 1;
    MOV_ATOM* pMdat = m_pWriter->CreateAtom(NULL, "mdat");
    if (!pMdat) {
        delete m_pWriter;
        m_pWriter = NULL;
        m_bCreating = 0;
        return -1;
    }
    // The samples stay where they are; the tables learn where that is.
    long nPos = 48;
    int bVideo = 0;
    int n;
    while ((n = samples.Next(&bVideo)) > 0) {
        if (bVideo) {
            if (m_nVideoFrames >= MOV_MAX_FRAMES - 1 || m_nVideoChunkCount + 2 >= MOV_MAX_CHUNKS)
                break;
            NoteVideoFrame(nPos, n);
        } else if (m_nAudioChunkCount + 2 >= MOV_MAX_CHUNKS) {
            break;
        } else if (m_nVideoFrames > 0) {  // as recorded: no sound before the first frame
            NoteAudioBlock(nPos, n);
        }
        pMdat->size += (DWORD)n;
        nPos += n;
    }
    int bOk = m_pWriter->Seek(nPos);
    m_nExitCode = MOV_EXIT_STOPPED;
    bOk = Finish(pMdat) && bOk;
    // A tail that reached the card without its record is cut off.
    if (bOk) {
        long nEnd = nPos + 8;
        FILE* fp = SYS_fopen(szPath, "rb");
        if (fp) {
            unsigned char ab[4];
            if (fseeko(fp, nPos, SEEK_SET) == 0 && fread(ab, 1, 4, fp) == 4)
                nEnd = nPos + (long)MOV_GetBE32(ab);
            fclose(fp);
        }
        bOk = SYS_truncate(szPath, (off_t)nEnd) == 0;
    }
    m_bCreating = 0;
    return bOk ? m_nVideoFrames : -1;
}

long CMovCreator::BuildMoov(unsigned char* pBuffer, long nCapacity)
{
    const DWORD T = m_dwTime;
    const DWORD D = m_dwDuration;
    CMoovBuilder b(pBuffer, nCapacity);
    MOV_ATOM* pMoov = b.Open(NULL, "moov");

    CPayload mvhd;
    HeaderPayload(mvhd, T);
    mvhd.Put32(1000);
    mvhd.Put32(D);
    mvhd.Put32(0x00010000);
    mvhd.Put16(0x0100);
    mvhd.PutFill(0, 10);
    mvhd.PutMatrix();
    mvhd.PutFill(0, 24);
    mvhd.Put32(2);
    b.Child(pMoov, "mvhd", mvhd);

    // sound track
    {
        MOV_ATOM* pTrak = b.Open(pMoov, "trak");
        CPayload tkhd;
        TrackHeader(tkhd, T, 1, D, 0x0100, 0, 0);
        b.Child(pTrak, "tkhd", tkhd);
        MOV_ATOM* pMdia = b.Open(pTrak, "mdia");
        CPayload mdhd;
        HeaderPayload(mdhd, T);
        mdhd.Put32((DWORD)m_nSampleRate);
        mdhd.Put32((DWORD)m_nAudioSamples);
        mdhd.Put16(0);
        mdhd.Put16(0);
        b.Child(pMdia, "mdhd", mdhd);
        CPayload hdlr;
        HandlerPayload(hdlr, "soun");
        b.Child(pMdia, "hdlr", hdlr);
        MOV_ATOM* pMinf = b.Open(pMdia, "minf");
        CPayload smhd;
        smhd.PutFill(0, 8);
        b.Child(pMinf, "smhd", smhd);
        DataInformation(b, pMinf);
        MOV_ATOM* pStbl = b.Open(pMinf, "stbl");
        CPayload stsd;
        SoundDescription(stsd, m_nChannels, m_nBits, m_nSampleRate);
        b.Child(pStbl, "stsd", stsd);
        CPayload stts;
        stts.Put32(0);
        stts.Put32(1);
        stts.Put32((DWORD)m_nAudioSamples);
        stts.Put32(1);
        b.Child(pStbl, "stts", stts);
        b.ChunkTables(pStbl, m_AudioChunk, m_nAudioChunkCount);
        CPayload stsz;
        stsz.Put32(0);
        stsz.Put32(1);  // one sample is one sample frame
        stsz.Put32((DWORD)m_nAudioSamples);
        b.Child(pStbl, "stsz", stsz);
        b.ChunkOffsets(pStbl, m_AudioChunk, m_nAudioChunkCount);
        b.Close(pStbl);
        b.Close(pMinf);
        b.Close(pMdia);
        b.Close(pTrak);
    }

    // video track
    {
        MOV_ATOM* pTrak = b.Open(pMoov, "trak");
        CPayload tkhd;
        TrackHeader(tkhd, T, 2, D, 0, m_nWidth, m_nHeight);
        b.Child(pTrak, "tkhd", tkhd);
        MOV_ATOM* pTapt = b.Open(pTrak, "tapt");
        static const char* const aszAperture[] = {"clef", "prof", "enof"};
        for (int i = 0; i < 3; ++i) {
            CPayload dim;
            dim.Put32(0);
            dim.Put32((DWORD)m_nWidth << 16);
            dim.Put32((DWORD)m_nHeight << 16);
            b.Child(pTapt, aszAperture[i], dim);
        }
        b.Close(pTapt);
        MOV_ATOM* pMdia = b.Open(pTrak, "mdia");
        CPayload mdhd;
        HeaderPayload(mdhd, T);
        mdhd.Put32((DWORD)m_nFps * 100);
        mdhd.Put32((DWORD)m_nVideoFrames * 100);
        mdhd.Put16(0);
        mdhd.Put16(0);
        b.Child(pMdia, "mdhd", mdhd);
        CPayload hdlr;
        HandlerPayload(hdlr, "vide");
        b.Child(pMdia, "hdlr", hdlr);
        MOV_ATOM* pMinf = b.Open(pMdia, "minf");
        CPayload vmhd;
        vmhd.Put32(1);
        vmhd.Put16(0x0040);
        vmhd.Put16(0x8000);
        vmhd.Put16(0x8000);
        vmhd.Put16(0x8000);
        b.Child(pMinf, "vmhd", vmhd);
        DataInformation(b, pMinf);
        MOV_ATOM* pStbl = b.Open(pMinf, "stbl");
        CPayload stsd;
        VideoDescription(stsd, m_nWidth, m_nHeight, m_baDecSpecInfo, m_nDecSpecInfoLen);
        b.Child(pStbl, "stsd", stsd);
        CPayload stts;
        stts.Put32(0);
        stts.Put32(1);
        stts.Put32((DWORD)m_nVideoFrames);
        stts.Put32(100);
        b.Child(pStbl, "stts", stts);
        b.ChunkTables(pStbl, m_VideoChunk, m_nVideoChunkCount);
        MOV_ATOM* pStsz = b.Open(pStbl, "stsz");
        b.Put(pStsz, 0);
        b.Put(pStsz, 0);
        b.Put(pStsz, (DWORD)m_nVideoFrames);
        for (int i = 0; i < m_nVideoFrames; ++i)
            b.Put(pStsz, m_dwFrameSize[i]);
        b.Close(pStsz);
        b.ChunkOffsets(pStbl, m_VideoChunk, m_nVideoChunkCount);
        MOV_ATOM* pStss = b.Open(pStbl, "stss");
        const int nKey = (m_nVideoFrames + 29) / 30;
        b.Put(pStss, 0);
        b.Put(pStss, (DWORD)nKey);
        for (int i = 0; i < nKey; ++i)
            b.Put(pStss, (DWORD)(1 + 30 * i));
        b.Close(pStss);
        b.Close(pStbl);
        b.Close(pMinf);
        b.Close(pMdia);
        b.Close(pTrak);
    }
    b.Close(pMoov);
    if (!b.Ok())
        ERR_PRINT("movie index incomplete (%ld bytes)\n", b.Length());
    return b.Length();
}
