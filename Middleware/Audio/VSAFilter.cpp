#include "Middleware/Audio/VSAFilter.h"

#include <stdlib.h>

#define WINDOW_ONE (1ULL << 37)            // one whole window of phase
#define WEIGHT_ONE (1LL << 36)             // weight 1.0
#define WINDOW_FIFTH 0x666666666ULL        // a fifth of a window: the silent edge

// Window length in output frames, by speed ÷ 10 − 5. Speeding up and slowing
// down by the same step use the same length.
static const int32_t s_dwWindowLength[11] = {11264, 9830, 8400, 6960, 5520, 4096, 5520, 6960, 8400, 9830, 11264};

CWindowFuncPara::CWindowFuncPara()
    : m_qwPhase(0), m_nIncrement(0), m_nLength(0), m_nCounter(-1), m_nReadPos(-1), m_nSpeed(0)
{
}

void CWindowFuncPara::Create(int nSpeed, int nReadPos, int bHalfStart, int bKeep)
{
    if (nSpeed != m_nSpeed) {
        m_nLength = s_dwWindowLength[nSpeed / 10 - 5];
        m_nIncrement = (int32_t)(WINDOW_ONE / (uint64_t)m_nLength);
        m_nSpeed = nSpeed;
    }
    if (bHalfStart) {
        int32_t h = m_nLength / 2;
        m_qwPhase = (uint64_t)h * (uint64_t)m_nIncrement;
        m_nCounter = h;
        m_nReadPos = (int32_t)((int64_t)(nReadPos - h) * nSpeed / 100 + h);
        return;
    }
    m_qwPhase = 0;
    m_nCounter = 0;
    m_nReadPos = bKeep ? 0 : nReadPos + m_nLength * (nSpeed - 100) / 100;
}

// 0 on the outer fifths, 1 on the middle two fifths, linear in between: two
// windows half a window apart always add up to 1.
int64_t CWindowFuncPara::GetWeight() const
{
    uint64_t x = m_qwPhase < WINDOW_ONE - m_qwPhase ? m_qwPhase : WINDOW_ONE - m_qwPhase;
    if (m_qwPhase > WINDOW_ONE || x <= WINDOW_FIFTH)
        return 0;
    uint64_t c = 5 * (x - WINDOW_FIFTH);
    return c > (uint64_t)WEIGHT_ONE ? WEIGHT_ONE : (int64_t)c;
}

CVSAFilter::CVSAFilter()
    : m_nRate(44100),
      m_nInBits(24),
      m_nChannels(2),
      m_nInFrameBytes(6),
      m_nInSampleBytes(3),
      m_nBlockFrames(882),
      m_nReqSpeed(100),
      m_nCurSpeed(100),
      m_nOutBits(24),
      m_nOutSampleBytes(3),
      m_nOutFrameBytes(6),
      m_nInFrames(0)
{
    m_WindowA.Create(100, 0, 0, 1);
    m_WindowB.Create(m_nCurSpeed, 0, 1, 0);
    m_WindowA.m_nReadPos += 5 * m_nBlockFrames;
    m_WindowB.m_nReadPos += 5 * m_nBlockFrames;
}

int CVSAFilter::RoundSpeed(float fSpeed)
{
    int p = (int)(fSpeed * 100.0f);
    if (p % 10 != 0)
        p = (p / 10 + 1) * 10;
    // Outside the window table: 0 (or less) is what callers pass while the
    // speed control does not apply, which is normal speed; anything else is
    // held to the nearest end.
    if (p <= 0)
        return 100;
    if (p < 50)
        return 50;
    if (p > 150)
        return 150;
    return p;
}

// Window A from its start, window B from its half, both five blocks in (the
// middle of the caller's buffer).
void CVSAFilter::SetUpWindows()
{
    m_WindowA.Create(m_nCurSpeed, 0, 0, 1);
    m_WindowB.Create(m_nCurSpeed, 0, 1, 0);
    m_WindowA.m_nReadPos += 5 * m_nBlockFrames;
    m_WindowB.m_nReadPos += 5 * m_nBlockFrames;
}

void CVSAFilter::SetInputParameter(int nRate, int nBits, int nChannels, float fSpeed)
{
    m_nRate = nRate;
    m_nInBits = nBits;
    m_nChannels = nChannels;
    m_nInSampleBytes = nBits / 8;
    m_nInFrameBytes = m_nInSampleBytes * nChannels;
    m_nOutBits = nBits;
    m_nOutSampleBytes = m_nInSampleBytes;
    m_nOutFrameBytes = m_nInFrameBytes;
    m_nReqSpeed = RoundSpeed(fSpeed);
    m_nBlockFrames = m_nCurSpeed * nRate / 1000;
    SetUpWindows();
}

void CVSAFilter::SetOutputParameter(int nBits)
{
    m_nOutBits = nBits;
    m_nOutSampleBytes = nBits / 8;
    m_nOutFrameBytes = m_nOutSampleBytes * m_nChannels;
}

void CVSAFilter::SetSpeed(float fSpeed)
{
    m_nReqSpeed = RoundSpeed(fSpeed);
}

int CVSAFilter::ReadSample(const unsigned char* pBuffer, int nFrame, int nChannel)
{
    if (nFrame < 0 || nFrame >= m_nInFrames)
        return 0;
    const unsigned char* p = pBuffer + (size_t)nFrame * m_nInFrameBytes + (nChannel ? m_nInSampleBytes : 0);
    if (m_nInBits == 16)
        return (int16_t)(p[0] | (p[1] << 8));
    if (m_nInBits == 24) {
        int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
        return (v ^ 0x800000) - 0x800000;
    }
    return 0;
}

void CVSAFilter::WriteSample(unsigned char* pBuffer, int nValue, int nFrame, int nChannel)
{
    unsigned char* p = pBuffer + (size_t)nFrame * m_nOutFrameBytes + (nChannel ? m_nOutSampleBytes : 0);
    if (m_nInBits == 24 && m_nOutBits == 16) {
        // Rounded to the nearest 16-bit step: half a step or more goes up.
        if (nValue & 0x80) {
            nValue += 256;
            if (nValue > 0x7FFFFF)
                nValue = 0x7FFFFF;
        }
        p[0] = (unsigned char)(nValue >> 8);
        p[1] = (unsigned char)(nValue >> 16);
        return;
    }
    p[0] = (unsigned char)nValue;
    p[1] = (unsigned char)(nValue >> 8);
    if (m_nOutBits == 24)
        p[2] = (unsigned char)(nValue >> 16);
}

int CVSAFilter::FilterExecute(unsigned char* pOut, const unsigned char* pIn, int nInSize, int* pnPeakL, int* pnPeakR,
                              int bReset)
{
    int anPeak[2] = {0, 0};
    if (bReset && m_nReqSpeed != m_nCurSpeed) {
        m_nCurSpeed = m_nReqSpeed;
        m_nBlockFrames = m_nRate * m_nCurSpeed / 1000;
        SetUpWindows();
    }
    m_nInFrames = m_nInFrameBytes > 0 ? nInSize / m_nInFrameBytes : 0;
    const int nChannels = m_nChannels == 1 ? 1 : 2;
    int nBytes;

    if (m_nCurSpeed == 100 && m_WindowA.m_nSpeed == 100 && m_WindowB.m_nSpeed == 100) {
        // Normal speed: the middle block as it is.
        const int nFirst = m_nInFrameBytes > 0 ? (nInSize / 2) / m_nInFrameBytes : 0;
        for (int i = 0; i < m_nBlockFrames; ++i) {
            for (int ch = 0; ch < nChannels; ++ch) {
                int v = ReadSample(pIn, nFirst + i, ch);
                if (abs(v) > anPeak[ch])
                    anPeak[ch] = abs(v);
                WriteSample(pOut, v, i, ch);
            }
        }
        nBytes = m_nBlockFrames * m_nOutFrameBytes;
    } else {
        const int n = m_nBlockFrames * 100 / m_nCurSpeed;
        CWindowFuncPara* apWindow[2] = {&m_WindowA, &m_WindowB};
        for (int i = 0; i < n; ++i) {
            const int64_t nWeightA = m_WindowA.GetWeight();
            const int64_t nWeightB = m_WindowB.GetWeight();
            for (int ch = 0; ch < nChannels; ++ch) {
                int64_t nSum = 0;
                if (nWeightA)
                    nSum += (int64_t)ReadSample(pIn, m_WindowA.m_nReadPos, ch) * nWeightA;
                if (nWeightB)
                    nSum += (int64_t)ReadSample(pIn, m_WindowB.m_nReadPos, ch) * nWeightB;
                int v = (int)(nSum / WEIGHT_ONE);
                if (abs(v) > anPeak[ch])
                    anPeak[ch] = abs(v);
                WriteSample(pOut, v, i, ch);
            }
            for (CWindowFuncPara* pWindow : apWindow) {
                ++pWindow->m_nCounter;
                pWindow->m_qwPhase += (uint64_t)pWindow->m_nIncrement;
                ++pWindow->m_nReadPos;
                if (pWindow->m_nCounter >= pWindow->m_nLength)
                    pWindow->Create(m_nCurSpeed, pWindow->m_nReadPos, 0, 0);
            }
        }
        // The caller slides its buffer one block to the left. (At normal
        // speed the windows stand still, so hours of play cannot wrap them.)
        m_WindowA.m_nReadPos -= m_nBlockFrames;
        m_WindowB.m_nReadPos -= m_nBlockFrames;
        nBytes = n * m_nOutFrameBytes;
    }

    if (m_nInBits == 24) {
        anPeak[0] >>= 8;
        anPeak[1] >>= 8;
    }
    *pnPeakL = anPeak[0];
    *pnPeakR = anPeak[1];
    return nBytes;
}
