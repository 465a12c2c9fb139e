// Builds one movie file from encoded video frames and PCM sound blocks that
// a subclass hands over: samples go into "mdat" in arrival order, the tables
// stay in memory, and the "moov" index is appended when recording ends.
#ifndef MEDIA_MOVCREATOR_H
#define MEDIA_MOVCREATOR_H

#include "Media/MovAtom.h"

// Exit codes of a recording or a copy.
#define MOV_EXIT_RUNNING 999999
#define MOV_EXIT_STOPPED 0
#define MOV_EXIT_NOT_CREATED 100
#define MOV_EXIT_NO_FILE_NAME 101
#define MOV_EXIT_CARD_FULL 200
#define MOV_EXIT_SIZE_LIMIT 201
#define MOV_EXIT_BATTERY_LOW 202
#define MOV_EXIT_NEW_FILE 203
#define MOV_EXIT_COPY_CANCELLED 302

#define MOV_MAX_CHUNKS 48000
#define MOV_MAX_FRAMES 144000
#define MOV_SAMPLE_BUFFER_SIZE 1638400
#define MOV_DEC_SPEC_INFO_SIZE 64

struct MOV_CHUNK
{
    DWORD dwOffset;
    int nSamples;
};

// The samples of a file whose index is rebuilt, in file order.
class CMovSampleList
{
public:
    virtual ~CMovSampleList() {}
    // The next sample's size in bytes, 0 after the last; *pbVideo: its track.
    virtual int Next(int* pbVideo) = 0;
};

class CMovCreator
{
public:
    CMovCreator();
    virtual ~CMovCreator();

    int PreCreate(const char* szPath);
    int Create(const char* szPath, int nWidth, int nHeight, int nFps, int nSampleRate, int nBits, int nChannels);

    // Gives a movie whose recording was cut (its "mdat" unclosed, no index)
    // the index of the samples listed, in place: what follows the last of
    // them is replaced. Returns the frames the index holds, or -1.
    int Reindex(const char* szPath, int nWidth, int nHeight, int nFps, int nSampleRate, int nBits, int nChannels,
                DWORD dwTime, const unsigned char* pDsi, int nDsiLen, CMovSampleList& samples);

    void SetExitCode(int nCode) { m_nExitCode = nCode; }
    int GetExitCode() { return m_nExitCode; }
    int GetCreating() { return m_bCreating; }
    void ClearParam();
    long GetCurrentPos();

protected:
    virtual void PostCreateFile(const char* szPath);
    virtual int GetAudio(unsigned char* pBuffer) = 0;
    virtual int GetVideo(unsigned char* pBuffer) = 0;
    virtual void PreLoop();
    virtual void PostAddVideoFrame();
    virtual void PostAddAudioFrame();

    // A recorder keeps a journal beside the file while it records, from
    // which a file cut by a power loss gets its index (Media/Recovery.h).
    void EnableJournal(int bEnable) { m_bJournal = bEnable; }

    int m_nAudioChunkCount;
    MOV_CHUNK m_AudioChunk[MOV_MAX_CHUNKS];
    MOV_CHUNK* m_pAudioChunk;
    int m_nVideoChunkCount;
    MOV_CHUNK m_VideoChunk[MOV_MAX_CHUNKS];
    MOV_CHUNK* m_pVideoChunk;
    int m_nAudioSamples;
    int m_nVideoFrames;
    DWORD m_dwFrameSize[MOV_MAX_FRAMES];
    unsigned char m_baDecSpecInfo[MOV_DEC_SPEC_INFO_SIZE];
    int m_nDecSpecInfoLen;
    unsigned char m_baSampleBuffer[MOV_SAMPLE_BUFFER_SIZE];
    volatile int m_nExitCode;
    volatile int m_bCreating;
    CMovWriter* m_pWriter;

private:
    CMovCreator(const CMovCreator&);
    CMovCreator& operator=(const CMovCreator&);

    int Begin(int nWidth, int nHeight, int nFps, int nSampleRate, int nBits, int nChannels);
    void NoteVideoFrame(long nPos, int nBytes);
    void NoteAudioBlock(long nPos, int nBytes);
    void OpenJournal(const char* szPath);
    void JournalSample(int nType, int nBytes);
    void CloseJournal(int bFinished);
    void RecordLoop(MOV_ATOM* pMdat);
    int WriteSample(MOV_ATOM* pMdat, int nBytes);
    int AddVideoFrame(MOV_ATOM* pMdat, int nBytes);
    int AddAudioBlock(MOV_ATOM* pMdat, int nBytes);
    void CloseChunk(int bVideo);
    void EndIfFull();
    long MoovSizeBound();
    int Finish(MOV_ATOM* pMdat);
    long BuildMoov(unsigned char* pBuffer, long nCapacity);
    void DiscardPreCreated();

    // Arguments of the running Create and the file's time stamp.
    int m_nWidth;
    int m_nHeight;
    int m_nFps;
    int m_nSampleRate;
    int m_nBits;
    int m_nChannels;
    DWORD m_dwTime;
    DWORD m_dwDuration;
    // "stsc" entries of the closed chunks, kept to bound the index size.
    int m_nAudioEntries;
    int m_nVideoEntries;
    // The file a PreCreate opened, until a Create uses it.
    char m_szPreCreated[256];
    // The journal of the file being recorded.
    int m_bJournal;
    FILE* m_fpJournal;
    int m_nJournalBlocks;
    char m_szJournal[300];
};

#endif
