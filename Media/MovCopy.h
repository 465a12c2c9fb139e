// Copies a whole-second range of a movie or a WAV file into a new file,
// optionally mixing a second sound file (the patch) over its sound: the
// screens divide files with it and finish sound dubs.
#ifndef MEDIA_MOVCOPY_H
#define MEDIA_MOVCOPY_H

#include "Media/MovCreator.h"
#include "Media/MovReader.h"

#include <stdint.h>
#include <stdio.h>

// One chunk of patch sound, and one second of a WAV copy.
#define COPY_SOUND_BUFFER_SIZE 576000

// Receives the percentage done; in a movie copy 0 cancels (exit code 302).
typedef int (*COPY_PROGRESS)(int nPercent);

extern unsigned char g_baPatchData[COPY_SOUND_BUFFER_SIZE];

class CMovCopy : public CMovCreator
{
public:
    CMovCopy();
    virtual ~CMovCopy();

    // start, end and total in seconds; end -1: to the end of the source,
    // total -1: the source's length (for progress only). Returns the exit
    // code: 0 finished, 200 card full, 202 battery low, 302 cancelled, -1
    // destination not created, 100 source or patch not readable or nothing
    // to copy. A copy that did not finish leaves no destination behind.
    int Copy(const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal);
    // FALSE when the path does not fit (no patch is kept then).
    int SetAudioPatch(const char* szPath, int nSourceGain, int nPatchGain);
    void SetProgress(COPY_PROGRESS pProgress) { m_pProgress = pProgress; }

protected:
    virtual int GetAudio(unsigned char* pBuffer);
    virtual int GetVideo(unsigned char* pBuffer);
    virtual void PreLoop();
    virtual void PostAddAudioFrame();

private:
    int CopyFrom(const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal);
    void TakeDecoderInfo();

    COPY_PROGRESS m_pProgress;
    CMovReader m_Source;
    int m_nSrcWidth;
    int m_nSrcHeight;
    int m_nSrcFps;
    int m_nSrcRate;
    int m_nSrcBits;
    int m_nSrcChannels;
    int64_t m_nNextFrame;
    int64_t m_nEndFrame;
    int64_t m_nProgressFrames;
    int m_bVideoDone;
    int64_t m_nNextSample;
    int64_t m_nEndSample;
    int m_bSoundDone;
    char m_szPatchPath[256];
    FILE* m_fpPatch;
    int m_nSourceGain;
    int m_nPatchGain;
};

// Mixes nPatchBytes of patch sound into the sound at pSound: each sample
// becomes patch x patch gain / 100 + sound x sound gain / 100, clamped to
// the sample width (16 bits, or 24 bits in 3 little-endian bytes).
void MixPatchSound(unsigned char* pSound, const unsigned char* pPatch, int nPatchBytes, int nBits, int nSourceGain,
                   int nPatchGain);

// TRUE when both paths exist and name the same file.
int COPY_IsSameFile(const char* szA, const char* szB);

int MovCopy(COPY_PROGRESS pProgress, const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal,
            const char* szPatch, int nSourceGain, int nPatchGain);
// The same for WAV files: 0 finished, 200 card full, 100 a file could not
// be opened, created or written.
int WavCopy(COPY_PROGRESS pProgress, const char* szDst, const char* szSrc, int nStart, int nEnd, int nTotal,
            const char* szPatch, int nSourceGain, int nPatchGain);

#endif
