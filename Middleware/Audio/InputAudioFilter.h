// Conditioning of the captured sound: low cut, the built-in microphones'
// equaliser, mono mixing and block peaks, in fixed point on interleaved
// 16-bit or 24-bit (3-byte) little-endian PCM.
#ifndef MIDDLEWARE_AUDIO_INPUTAUDIOFILTER_H
#define MIDDLEWARE_AUDIO_INPUTAUDIOFILTER_H

#include <stdint.h>

class CInputAudioFilter
{
public:
    enum LCF_LEVEL
    {
        LCF_OFF = 0,
        LCF_40HZ = 1,
        LCF_80HZ = 2,
        LCF_120HZ = 3,
    };

    enum
    {
        PATH_MONO_16 = 0,
        PATH_STEREO_16 = 1,
        PATH_MONO_24 = 2,
        PATH_STEREO_24 = 3,
        PATH_COPY = 4,
    };

    CInputAudioFilter();
    ~CInputAudioFilter();

    void SetInputParameter(int nRate, int nBits, int nChannels);
    void SetLcfLevel(LCF_LEVEL eLevel);
    void EnableEQ();
    void DisableEQ();
    void UpdateParameter();
    // Filters nBytes of interleaved stereo PCM; peaks on a 16-bit scale.
    void FilterExecute(void* pOut, const void* pIn, int nBytes, int* pnPeakLeft, int* pnPeakRight);

    int GetStageCount() const { return m_nStageCount; }
    int GetPath() const { return m_nPath; }
    LCF_LEVEL GetLcfLevel() const { return m_eLcfLevel; }
    int IsEQEnabled() const { return m_bEQ; }

private:
    enum
    {
        MAX_STAGES = 4,
    };

    int32_t RunStages(int32_t nX, int32_t (*pnState)[4]);

    int m_nSampleRate;
    int m_nBits;
    int m_nChannels;
    int m_nPath;
    LCF_LEVEL m_eLcfLevel;
    int m_bEQ;
    int m_nStageCount;
    int32_t m_nStateL[MAX_STAGES][4];  // x1, x2, y1, y2
    int32_t m_nStateR[MAX_STAGES][4];
    int32_t m_nCoef[MAX_STAGES][5];    // b0, b1, b2, a1, a2 in Q29
};

extern CInputAudioFilter g_InputAudioFilter;

#endif
