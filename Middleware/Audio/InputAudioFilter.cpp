// The input filter: second-order stages in Q29 with 64-bit accumulation,
// saturating at four times full scale inside the stage.
#include "Middleware/Audio/InputAudioFilter.h"

#include <string.h>

CInputAudioFilter g_InputAudioFilter;

// Second-order Butterworth high-pass sections at 40, 80 and 120 Hz; row 0
// (low cut off) is never loaded.
static const int32_t s_nLcfCoef44100[4][5] = {
    {536870912, 0, 0, 0, 0},
    {534711768, -1069423537, 534711768, 1069414845, -532561305},
    {532561342, -1065122684, 532561342, 1065088080, -528286330},
    {530419493, -1060838987, 530419493, 1060761451, -524045602},
};
static const int32_t s_nLcfCoef48000[4][5] = {
    {536870912, 0, 0, 0, 0},
    {534886860, -1069773720, 534886860, 1069766388, -532910155},
    {532910179, -1065820358, 532910179, 1065791138, -528978657},
    {530940777, -1061881554, 530940777, 1061816049, -525076139},
};
static const int32_t s_nLcfCoef96000[4][5] = {
    {536870912, 0, 0, 0, 0},
    {535877964, -1071755928, 535877964, 1071754092, -534886864},
    {534886860, -1069773720, 534886860, 1069766388, -532910155},
    {533897610, -1067795219, 533897610, 1067778753, -530940772},
};

// The low-end lift of the built-in microphones.
static const int32_t s_nEqCoef44100[5] = {594168640, -920075008, 338844800, 821701568, -292994240};
static const int32_t s_nEqCoef48000[5] = {594617408, -938967808, 355483840, 838304896, -308458720};
static const int32_t s_nEqCoef96000[5] = {597796288, -1058303232, 463630112, 943620160, -408719872};

CInputAudioFilter::CInputAudioFilter()
    : m_nSampleRate(44100), m_nBits(24), m_nChannels(2), m_nPath(PATH_STEREO_24), m_eLcfLevel(LCF_OFF), m_bEQ(0),
      m_nStageCount(0)
{
    UpdateParameter();
}

CInputAudioFilter::~CInputAudioFilter() {}

void CInputAudioFilter::SetInputParameter(int nRate, int nBits, int nChannels)
{
    if (nRate == m_nSampleRate && nBits == m_nBits && nChannels == m_nChannels)
        return;
    m_nSampleRate = nRate;
    m_nBits = nBits;
    m_nChannels = nChannels;
    UpdateParameter();
}

void CInputAudioFilter::SetLcfLevel(LCF_LEVEL eLevel)
{
    if (eLevel == m_eLcfLevel)
        return;
    m_eLcfLevel = eLevel;
    UpdateParameter();
}

void CInputAudioFilter::EnableEQ()
{
    if (m_bEQ)
        return;
    m_bEQ = 1;
    UpdateParameter();
}

void CInputAudioFilter::DisableEQ()
{
    if (!m_bEQ)
        return;
    m_bEQ = 0;
    UpdateParameter();
}

void CInputAudioFilter::UpdateParameter()
{
    m_nStageCount = 0;
    memset(m_nStateL, 0, sizeof(m_nStateL));
    memset(m_nStateR, 0, sizeof(m_nStateR));
    memset(m_nCoef, 0, sizeof(m_nCoef));

    const int32_t (*pnLcf)[5] = nullptr;
    const int32_t* pnEq = nullptr;
    switch (m_nSampleRate) {
    case 44100:
        pnLcf = s_nLcfCoef44100;
        pnEq = s_nEqCoef44100;
        break;
    case 48000:
        pnLcf = s_nLcfCoef48000;
        pnEq = s_nEqCoef48000;
        break;
    case 96000:
        pnLcf = s_nLcfCoef96000;
        pnEq = s_nEqCoef96000;
        break;
    default:
        break;
    }
    if (pnLcf && m_eLcfLevel >= LCF_40HZ && m_eLcfLevel <= LCF_120HZ)
        memcpy(m_nCoef[m_nStageCount++], pnLcf[m_eLcfLevel], sizeof(m_nCoef[0]));
    if (pnEq && m_bEQ)
        memcpy(m_nCoef[m_nStageCount++], pnEq, sizeof(m_nCoef[0]));

    if (m_nBits == 16 && m_nChannels == 1)
        m_nPath = PATH_MONO_16;
    else if (m_nBits == 16 && m_nChannels == 2)
        m_nPath = PATH_STEREO_16;
    else if (m_nBits == 24 && m_nChannels == 1)
        m_nPath = PATH_MONO_24;
    else if (m_nBits == 24 && m_nChannels == 2)
        m_nPath = PATH_STEREO_24;
    else
        m_nPath = PATH_COPY;
}

int32_t CInputAudioFilter::RunStages(int32_t nX, int32_t (*pnState)[4])
{
    for (int s = 0; s < m_nStageCount; ++s) {
        const int32_t* c = m_nCoef[s];
        int32_t* st = pnState[s];
        int64_t nAcc = ((static_cast<int64_t>(c[0]) * nX) >> 31) + ((static_cast<int64_t>(c[1]) * st[0]) >> 31) +
                       ((static_cast<int64_t>(c[2]) * st[1]) >> 31) + ((static_cast<int64_t>(c[3]) * st[2]) >> 31) +
                       ((static_cast<int64_t>(c[4]) * st[3]) >> 31);
        // Four times full scale (2^27 at this point) is the stage's limit.
        if (nAcc > (1 << 29) - 1)
            nAcc = (1 << 29) - 1;
        else if (nAcc < -(1 << 29))
            nAcc = -(1 << 29);
        int32_t nY = static_cast<int32_t>(nAcc * 4);
        st[1] = st[0];
        st[0] = nX;
        st[3] = st[2];
        st[2] = nY;
        nX = nY;
    }
    return nX;
}

static inline int32_t Read24(const uint8_t* p)
{
    uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(u << 8) >> 8;
}

static inline void Write24(uint8_t* p, int32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}

static inline int Magnitude(int32_t v, int32_t nCap)
{
    int64_t m = v < 0 ? -static_cast<int64_t>(v) : v;
    return static_cast<int>(m > nCap ? nCap : m);
}

void CInputAudioFilter::FilterExecute(void* pOut, const void* pIn, int nBytes, int* pnPeakLeft, int* pnPeakRight)
{
    int nPeakL = 0;
    int nPeakR = 0;
    const int16_t* pIn16 = static_cast<const int16_t*>(pIn);
    int16_t* pOut16 = static_cast<int16_t*>(pOut);
    const uint8_t* pIn8 = static_cast<const uint8_t*>(pIn);
    uint8_t* pOut8 = static_cast<uint8_t*>(pOut);

    switch (m_nPath) {
    case PATH_MONO_16: {
        int nFrames = nBytes / 4;
        for (int i = 0; i < nFrames; ++i) {
            int32_t nX = (pIn16[2 * i] / 2 + pIn16[2 * i + 1] / 2) * (1 << 14);
            int16_t nOut = static_cast<int16_t>(RunStages(nX, m_nStateL) >> 14);
            pOut16[2 * i] = nOut;
            pOut16[2 * i + 1] = nOut;
            int nMag = Magnitude(nOut, 32767);
            if (nMag > nPeakL)
                nPeakL = nMag;
        }
        nPeakR = nPeakL;
        break;
    }
    case PATH_STEREO_16: {
        int nFrames = nBytes / 4;
        for (int i = 0; i < nFrames; ++i) {
            int16_t nL = static_cast<int16_t>(RunStages(pIn16[2 * i] * (1 << 14), m_nStateL) >> 14);
            int16_t nR = static_cast<int16_t>(RunStages(pIn16[2 * i + 1] * (1 << 14), m_nStateR) >> 14);
            pOut16[2 * i] = nL;
            pOut16[2 * i + 1] = nR;
            int nMag = Magnitude(nL, 32767);
            if (nMag > nPeakL)
                nPeakL = nMag;
            nMag = Magnitude(nR, 32767);
            if (nMag > nPeakR)
                nPeakR = nMag;
        }
        break;
    }
    case PATH_MONO_24: {
        int nFrames = nBytes / 6;
        for (int i = 0; i < nFrames; ++i) {
            int32_t nX = (Read24(pIn8 + 6 * i) / 2 + Read24(pIn8 + 6 * i + 3) / 2) * 64;
            int32_t nY = RunStages(nX, m_nStateL) >> 6;
            Write24(pOut8 + 6 * i, nY);
            Write24(pOut8 + 6 * i + 3, nY);
            int nMag = Magnitude(nY, 8388607);
            if (nMag > nPeakL)
                nPeakL = nMag;
        }
        nPeakL >>= 8;
        nPeakR = nPeakL;
        break;
    }
    case PATH_STEREO_24: {
        int nFrames = nBytes / 6;
        for (int i = 0; i < nFrames; ++i) {
            int32_t nL = RunStages(Read24(pIn8 + 6 * i) * 64, m_nStateL) >> 6;
            int32_t nR = RunStages(Read24(pIn8 + 6 * i + 3) * 64, m_nStateR) >> 6;
            Write24(pOut8 + 6 * i, nL);
            Write24(pOut8 + 6 * i + 3, nR);
            int nMag = Magnitude(nL, 8388607);
            if (nMag > nPeakL)
                nPeakL = nMag;
            nMag = Magnitude(nR, 8388607);
            if (nMag > nPeakR)
                nPeakR = nMag;
        }
        nPeakL >>= 8;
        nPeakR >>= 8;
        break;
    }
    default:
        if (pOut != pIn)
            memmove(pOut, pIn, nBytes);
        break;
    }
    if (pnPeakLeft)
        *pnPeakLeft = nPeakL;
    if (pnPeakRight)
        *pnPeakRight = nPeakR;
}
