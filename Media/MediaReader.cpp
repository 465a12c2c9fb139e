#include "Media/MediaReader.h"

#include "Middleware/CODEC/Jpeg.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

// The player's read buffers hold 100 ms blocks of at most 96 kHz, 24-bit
// stereo at 150 %; the decoder takes pictures up to 1280 x 720.
#define PLAY_MAX_RATE 96000
#define PLAY_MAX_WIDTH 1280
#define PLAY_MAX_HEIGHT 720

static int GetLE16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

static DWORD GetLE32(const unsigned char* p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

static int IsPlayableSound(int nRate, int nBits, int nChannels)
{
    return (nBits == 16 || nBits == 24) && (nChannels == 1 || nChannels == 2) && nRate > 0 && nRate <= PLAY_MAX_RATE;
}

CMediaReader::CMediaReader() : m_hImage(NULL)
{
}

CMediaReader::~CMediaReader()
{
    // The picture belongs to the JPEG module.
}

int CMediaReader::ReadAtomHeader(MOV_ATOM* pAtom)
{
    return strcmp(m_szExt, "MOV") == 0 ? CMovReader::ReadAtomHeader(pAtom) : 0;
}

int CMediaReader::Read(MOV_ATOM* pParent, long nEnd)
{
    return strcmp(m_szExt, "MOV") == 0 ? CMovReader::Read(pParent, nEnd) : 0;
}

int CMediaReader::Read(void* pBuffer, long nOffset, int nSize)
{
    return CMovReader::Read(pBuffer, nOffset, nSize);
}

int CMediaReader::Open(const char* szPath)
{
    // Another thread's lookups wait until the track records are complete.
    Lock();
    if (m_fp) {
        Unlock();
        return 0;
    }
    m_hImage = NULL;
    int nResult = CMovReader::Open(szPath);
    if (nResult == 0) {
        if (strcmp(m_szExt, "MOV") == 0)
            nResult = CheckMovie();
        else if (strcmp(m_szExt, "WAV") == 0)
            nResult = OpenWav(szPath);
        else if (strcmp(m_szExt, "JPG") == 0 || strcmp(m_szExt, "JPEG") == 0)
            nResult = OpenJpeg(szPath);
        else
            nResult = 2;
    }
    if (nResult != 0) {
        printf("error Open(%s)!!!\n", szPath);
        // A file that cannot be played is not kept open.
        Close();
        m_hImage = NULL;
        ResetTracks();
    }
    Unlock();
    return nResult;
}

// A movie whose streams the device cannot decode is refused at once rather
// than failing during play: MPEG-4 Visual up to 1280 x 720 and 16 or 24-bit
// PCM in one or two channels.
int CMediaReader::CheckMovie()
{
    MovTrack* pVideo = GetTrack(MOV_TRACK_VIDEO);
    MovTrack* pSound = GetTrack(MOV_TRACK_SOUND);
    if (!pVideo && !pSound)
        return 2;
    if (pVideo) {
        if (!pVideo->pStsd || pVideo->nStsdSize < 4 || MOV_FourCC((const char*)pVideo->pStsd) != MOV_FOURCC('m', 'p', '4', 'v'))
            return 2;
        if (m_nVideoWidth < 1 || m_nVideoWidth > PLAY_MAX_WIDTH || m_nVideoHeight < 1 || m_nVideoHeight > PLAY_MAX_HEIGHT)
            return 2;
        if (!(pVideo->dTimeScale > 0.0) || pVideo->nTotalSamples < 1)
            return 2;
    }
    if (pSound) {
        if (!pSound->pStsd || pSound->nStsdSize < 4 || !(pSound->dTimeScale > 0.0))
            return 2;
        DWORD dwFormat = MOV_FourCC((const char*)pSound->pStsd);
        if (dwFormat != MOV_FOURCC('t', 'w', 'o', 's') && dwFormat != MOV_FOURCC('s', 'o', 'w', 't') &&
            dwFormat != MOV_FOURCC('i', 'n', '2', '4'))
            return 2;
        // Big-endian sound is turned round in 16-bit pairs only.
        if (dwFormat == MOV_FOURCC('t', 'w', 'o', 's') && m_nBits != 16)
            return 2;
        if (!IsPlayableSound(m_nSampleRate, m_nBits, m_nChannels))
            return 2;
    }
    return 0;
}

int CMediaReader::ReadLE32(long nOffset, DWORD* pdwValue)
{
    unsigned char b[4];
    if (!CMovReader::Read(b, nOffset, 4))
        return FALSE;
    *pdwValue = GetLE32(b);
    return TRUE;
}

int CMediaReader::OpenWav(const char* szPath)
{
    DWORD dwValue;
    if (!ReadLE32(0, &dwValue) || dwValue != MOV_FOURCC('R', 'I', 'F', 'F'))
        return 2;
    if (!ReadLE32(8, &dwValue) || dwValue != MOV_FOURCC('W', 'A', 'V', 'E'))
        return 2;
    if (!ReadLE32(12, &dwValue) || dwValue != MOV_FOURCC('f', 'm', 't', ' '))
        return 2;
    if (!ReadLE32(16, &dwValue) || dwValue != 16)
        return 2;
    unsigned char abFormat[16];
    if (!CMovReader::Read(abFormat, 20, 16))
        return 2;
    const int nChannels = GetLE16(abFormat + 2);
    const DWORD dwRate = GetLE32(abFormat + 4);
    const int nBits = GetLE16(abFormat + 14);
    if (dwRate > PLAY_MAX_RATE || !IsPlayableSound((int)dwRate, nBits, nChannels))
        return 2;

    // The chunks behind the format, up to "data".
    long long nPos = 20 + 16;
    for (;;) {
        if (!ReadLE32((long)nPos, &dwValue))
            return 2;
        if (dwValue == MOV_FOURCC('d', 'a', 't', 'a'))
            break;
        DWORD dwLength;
        if (!ReadLE32((long)nPos + 4, &dwLength))
            return 2;
        nPos += 8 + (long long)dwLength;
        if (nPos >= (long long)m_dwFileLength)
            return 2;
    }
    DWORD dwDataBytes;
    if (!ReadLE32((long)nPos + 4, &dwDataBytes))
        return 2;
    // The sound starts behind the data chunk's header wherever that lies (at
    // 44 in the recorder's own files). A recording cut short by a power
    // loss still says 0xFFFFFFFF: its sound runs to the end of the file.
    const long long nDataOffset = nPos + 8;
    const long long nAvailable = (long long)m_dwFileLength - nDataOffset;
    long long nDataBytes = dwDataBytes;
    if (nDataBytes > nAvailable)
        nDataBytes = nAvailable > 0 ? nAvailable : 0;
    const int nFrameBytes = nBits / 8 * nChannels;
    const long long nFrames = nDataBytes / nFrameBytes;

    m_nSampleRate = (int)dwRate;
    m_nBits = nBits;
    m_nChannels = nChannels;
    m_dwDuration = (DWORD)(nFrames * 1000 / (long long)dwRate);
    m_dwMediaOffset = (DWORD)nDataOffset;
    m_nVideoWidth = 0;
    m_nVideoHeight = 0;
    m_nTrackCount = 1;
    MovTrack* pSound = &m_Track[0];
    pSound->nKind = MOV_TRACK_SOUND;
    pSound->dTimeScale = dwRate;
    pSound->dDuration = (double)nFrames;
    pSound->nTotalSamples = (int)nFrames;

    // A photo taken during the recording lies beside it under the same name.
    char szImage[1024];
    snprintf(szImage, sizeof(szImage), "%s", szPath);
    char* pDot = strrchr(szImage, '.');
    if (pDot && (size_t)(pDot - szImage) + 5 <= sizeof(szImage)) {
        strcpy(pDot, ".JPG");
        Buffer_Handle hImage = JPEG_DecodeFromFile(szImage);
        if (!hImage) {
            // The recorder names it in lower case; a FAT card finds either.
            strcpy(pDot, ".jpg");
            hImage = JPEG_DecodeFromFile(szImage);
        }
        if (hImage)
            AddImageTrack(hImage);
    }
    return 0;
}

void CMediaReader::AddImageTrack(Buffer_Handle hImage)
{
    m_hImage = hImage;
    MovTrack* pTrack = &m_Track[m_nTrackCount++];
    pTrack->nKind = MOV_TRACK_VIDEO;
    pTrack->dTimeScale = 1.0;
    pTrack->dDuration = 1.0;
    pTrack->nTotalSamples = 1;
    BufferGfx_Dimensions dim;
    if (BufferGfx_getDimensions(hImage, &dim) == Dmai_EOK) {
        m_nVideoWidth = dim.width;
        m_nVideoHeight = dim.height;
    }
}

int CMediaReader::OpenJpeg(const char* szPath)
{
    Buffer_Handle hImage = JPEG_DecodeFromFile(szPath);
    if (!hImage)
        return 2;
    m_nTrackCount = 0;
    AddImageTrack(hImage);
    m_dwDuration = 1000;
    m_dwMediaOffset = 0;
    // The picture is in memory; the file is not needed any more.
    Close();
    return 0;
}

int CMediaReader::GetSamplePos(int nKind, int nIndex, long* pnOffset, int* pnSize, int* pnCount, int* pnTotal)
{
    if (strcmp(m_szExt, "WAV") == 0) {
        if (nKind != MOV_TRACK_SOUND)
            return 0;
        Lock();
        const MovTrack* pSound = &m_Track[0];
        const int nFrames = pSound->nTotalSamples;
        int bOk = m_fp && m_nTrackCount > 0 && nIndex >= 0 && nIndex < nFrames;
        if (bOk) {
            // Runs end with each second of sound.
            const long long nFrameBytes = m_nBits / 8 * m_nChannels;
            long long nCount = m_nSampleRate - nIndex % m_nSampleRate;
            if (nFrames - nIndex < nCount)
                nCount = nFrames - nIndex;
            *pnOffset = (long)(m_dwMediaOffset + nFrameBytes * nIndex);
            *pnSize = 1;
            *pnCount = (int)nCount;
            *pnTotal = (int)(nCount * nFrameBytes);
        }
        Unlock();
        return bOk;
    }
    if (nKind != MOV_TRACK_SOUND && m_hImage) {
        *pnOffset = 0;
        *pnSize = (int)Buffer_getNumBytesUsed(m_hImage);
        *pnCount = 1;
        *pnTotal = *pnSize;
        return 1;
    }
    return CMovReader::GetSamplePos(nKind, nIndex, pnOffset, pnSize, pnCount, pnTotal);
}
