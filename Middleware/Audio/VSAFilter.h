// The variable-speed filter: playback speed from 50 % to 150 % without a
// change of pitch. Two read windows half a window apart walk through the
// input, each weighted by a trapezoid; at its end a window jumps by the
// amount that makes the input advance at the requested speed.
#ifndef MIDDLEWARE_AUDIO_VSAFILTER_H
#define MIDDLEWARE_AUDIO_VSAFILTER_H

#include <stdint.h>

// One read window. Its phase is fixed point: 2^37 is one whole window.
class CWindowFuncPara
{
public:
    CWindowFuncPara();

    // Sets the window up for a speed (percent): from the half-window point
    // (bHalfStart), or from its start at read position 0 (bKeep) or at the
    // position it jumps to when it restarts from nReadPos.
    void Create(int nSpeed, int nReadPos, int bHalfStart, int bKeep);
    // Trapezoid weight of the current phase, 2^36 = 1.
    int64_t GetWeight() const;

    uint64_t m_qwPhase;
    int32_t m_nIncrement;  // phase per output frame
    int32_t m_nLength;     // window length in output frames
    int32_t m_nCounter;    // output frames produced in this window
    int32_t m_nReadPos;    // input frame read, relative to the caller's buffer
    int32_t m_nSpeed;      // speed the length was taken for
};

class CVSAFilter
{
public:
    CVSAFilter();

    void SetInputParameter(int nRate, int nBits, int nChannels, float fSpeed);
    void SetOutputParameter(int nBits);
    // Takes effect at the next FilterExecute with its reset flag set.
    void SetSpeed(float fSpeed);
    int GetSpeed() { return m_nCurSpeed; }
    int GetReqSpeed() { return m_nReqSpeed; }

    // pIn holds ten blocks of input, block 5 being "now"; pOut gets 100 ms
    // of output. Returns the bytes written; the peaks are on a 16-bit scale.
    int FilterExecute(unsigned char* pOut, const unsigned char* pIn, int nInSize, int* pnPeakL, int* pnPeakR,
                      int bReset);

    // Speed in percent from a factor: up to the next multiple of 10.
    static int RoundSpeed(float fSpeed);

private:
    int ReadSample(const unsigned char* pBuffer, int nFrame, int nChannel);
    void WriteSample(unsigned char* pBuffer, int nValue, int nFrame, int nChannel);
    void SetUpWindows();

    CWindowFuncPara m_WindowA;
    CWindowFuncPara m_WindowB;
    int m_nRate;
    int m_nInBits;
    int m_nChannels;
    int m_nInFrameBytes;
    int m_nInSampleBytes;
    int m_nBlockFrames;  // input frames consumed per call
    int m_nReqSpeed;
    int m_nCurSpeed;
    int m_nOutBits;
    int m_nOutSampleBytes;
    int m_nOutFrameBytes;
    int m_nInFrames;  // frames in the caller's buffer during a call
};

#endif
