// Reads a QuickTime movie: walks its atom tree once, keeps where the sample
// tables of (at most) two tracks lie, and answers where each sample is by
// reading those tables from the file on demand.
#ifndef MEDIA_MOVREADER_H
#define MEDIA_MOVREADER_H

#include "Media/MovAtom.h"

#include <stdint.h>
#include <stdio.h>

#define MOV_TRACK_SOUND 0
#define MOV_TRACK_VIDEO 1
#define MOV_MAX_TRACKS 2
#define MOV_RUN_CHECKPOINTS 256

struct MovTrack
{
    int nKind;               // 1 video ("tkhd" width and height non-zero), 0 other
    double dTimeScale;       // from "mdhd"
    double dDuration;        // in time-scale units
    unsigned char* pStsd;    // sample description entry from its format code on
    int nStsdSize;
    int nSttsCount;
    DWORD dwSttsOffset;
    int nStscCount;
    DWORD dwStscOffset;
    int nStszCount;          // 0 when every sample has the same size
    DWORD dwStszValue;       // that size, or the offset of the size table
    int nStcoCount;
    DWORD dwStcoOffset;
    int nTotalSamples;       // sum of the "stts" sample counts

    // The "stsc" run found by the last lookup; playback asks for samples in
    // order, so most lookups start from here instead of the table's head.
    int nRunEntry;           // -1 when nothing is remembered
    int64_t nRunStart;
    int64_t nRunEnd;         // INT64_MAX for the last entry's run
    DWORD dwRunFirstChunk;
    DWORD dwRunSamples;
    // Where the runs of every nCheckSpacing-th entry begin, learnt by the
    // lookups as they pass them, so that a seek need not add up the table
    // from its head.
    int nCheckSpacing;
    int nCheckCount;
    int64_t anCheckStart[MOV_RUN_CHECKPOINTS];
};

class CMovReader
{
public:
    CMovReader();

    virtual void Lock();
    virtual void Unlock();
    virtual int ReadDWord(DWORD* pdwValue);
    virtual int ReadAtomHeader(MOV_ATOM* pAtom);
    virtual int Read(MOV_ATOM* pParent, long nEnd);
    virtual ~CMovReader();
    virtual int Open(const char* szPath);
    virtual void Close();
    virtual int GetSampleCount(int nKind);
    virtual int GetSampleIndex(int nKind, double dValue);
    virtual int GetSamplePos(int nKind, int nIndex, long* pnOffset, int* pnSize, int* pnCount, int* pnTotal);
    virtual double GetFps(int nKind);
    virtual int Read(void* pBuffer, long nOffset, int nSize);
    virtual int HasVideo();
    virtual int HasAudio(int* pbBigEndian);
    virtual MovTrack* GetTrack(int nKind);
    virtual int GetVideoWidth();
    virtual int GetVideoHeight();
    virtual void GetAudioInfo(int* pnRate, int* pnBits, int* pnChannels);

    void GetTitle(char* szBuffer);
    DWORD GetFileLength() { return m_dwFileLength; }
    void GetDateStr(char* szBuffer);

protected:
    char m_szTitle[256];
    char m_szExt[256];
    char m_szDate[32];
    void* m_hLock;
    FILE* m_fp;
    DWORD m_dwFileLength;
    DWORD m_dwDuration;        // ms, from "mvhd"
    DWORD m_dwMediaOffset;     // first payload byte of "mdat"; 0 when none was seen
    int m_nTrackCount;
    MovTrack m_Track[MOV_MAX_TRACKS];
    MovTrack* m_pCurrentTrack;
    int m_nVideoWidth;
    int m_nVideoHeight;
    int m_nSampleRate;
    int m_nBits;
    int m_nChannels;

    void ResetTracks();

private:
    CMovReader(const CMovReader&);
    CMovReader& operator=(const CMovReader&);

    int ReadAtomBody(MOV_ATOM* pAtom);
    int ReadBytes(void* pBuffer, long nSize);
    int Skip(long nBytes);
    long Tell();
    int ReadSampleDescriptions(MOV_ATOM* pAtom);
    int ReadTimeToSample(MOV_ATOM* pAtom);
    int ReadSampleSizes(MOV_ATOM* pAtom);
    void TakeSoundFormat(MovTrack* pTrack, DWORD* pdwFrameBytes);
    int FindRun(MovTrack* pTrack, int nIndex);
    int ReadTableEntry(DWORD dwTable, int64_t nEntry, DWORD* pdwValue);
    int SumSampleSizes(MovTrack* pTrack, int64_t nFirst, int64_t nBefore, int64_t* pnSum, int64_t* pnSize);
};

// The MPEG-4 decoder configuration (VOS and VOL headers) that goes before
// the first frame of a decoder run: the 18 bytes the recorder stores at a
// fixed place of its 149-byte description, or the decoder-specific
// information of another writer's "esds". Returns its length (0: none).
int MOV_GetDecoderConfig(const MovTrack* pTrack, const unsigned char** ppConfig);

#endif
