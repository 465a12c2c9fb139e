#include "Middleware/Audio/LevelMeter.h"

#include "DrvLib/Led.h"

#include <math.h>

int g_nAudioLevelL = 0;
int g_nAudioLevelR = 0;
float g_fAudioLevelL = -96.0f;
float g_fAudioLevelR = -96.0f;
int g_nPeakL = 0;
int g_nPeakR = 0;

enum
{
    LEVEL_STEPS = 81,
    PEAK_HOLD = 10,  // updates
    BAR_FALL = 5,    // units per update
};

struct LEVEL_ENTRY
{
    float fLevel;  // dB
    int nThreshold;
};

struct LEVEL_TABLE
{
    LEVEL_ENTRY a[LEVEL_STEPS];

    LEVEL_TABLE()
    {
        for (int i = 0; i < LEVEL_STEPS; ++i) {
            float fLevel = -0.6f * static_cast<float>(i);
            float fThreshold = 32768.0f * powf(10.0f, fLevel / 20.0f);
            int nThreshold = static_cast<int>(fThreshold);
            a[i].fLevel = fLevel;
            a[i].nThreshold = nThreshold > 32767 ? 32767 : nThreshold;
        }
    }
};

// 0.0, -0.6, ... -48.0 dB; thresholds 32767, 30580, 28539, ... 139, 130.
static const LEVEL_TABLE s_level;

int GetAudioLevel(int nPeak, float* pfLevel)
{
    if (nPeak >= 32767) {
        *pfLevel = 0.0f;
        return (LEVEL_STEPS * 2);
    }
    if (nPeak < s_level.a[LEVEL_STEPS - 1].nThreshold) {
        *pfLevel = -96.0f;
        return 0;
    }
    // The smallest index whose threshold is at or below the peak.
    int nLow = 0;
    int nHigh = LEVEL_STEPS - 1;
    while (nLow < nHigh) {
        int nMid = (nLow + nHigh) / 2;
        if (s_level.a[nMid].nThreshold <= nPeak)
            nHigh = nMid;
        else
            nLow = nMid + 1;
    }
    *pfLevel = s_level.a[nLow].fLevel;
    return (LEVEL_STEPS - nLow) * 2;
}

static int Fall(int nCurrent, int nNew)
{
    if (nNew >= nCurrent)
        return nNew;
    nCurrent -= BAR_FALL;
    return nCurrent < 0 ? 0 : nCurrent;
}

void LM_Update(int nPeakLeft, int nPeakRight, int bHold, int bReset)
{
    static int last_led = 0;

    if (bReset) {
        g_nAudioLevelL = 0;
        g_nAudioLevelR = 0;
        g_fAudioLevelL = -96.0f;
        g_fAudioLevelR = -96.0f;
        return;
    }

    int nNewL = GetAudioLevel(nPeakLeft, &g_fAudioLevelL);
    int nNewR = GetAudioLevel(nPeakRight, &g_fAudioLevelR);

    if (bHold) {
        if (g_fAudioLevelL >= -2.0f)
            g_nPeakL = PEAK_HOLD;
        else if (g_nPeakL > 0)
            --g_nPeakL;
        if (g_fAudioLevelR >= -2.0f)
            g_nPeakR = PEAK_HOLD;
        else if (g_nPeakR > 0)
            --g_nPeakR;
        if ((g_nPeakL || g_nPeakR) && !last_led) {
            LED_SetPeak(1);
            last_led = 1;
        } else if (!g_nPeakL && !g_nPeakR && last_led) {
            LED_SetPeak(0);
            last_led = 0;
        }
    } else {
        g_nPeakL = 0;
        g_nPeakR = 0;
        if (last_led) {
            LED_SetPeak(0);
            last_led = 0;
        }
    }

    g_nAudioLevelL = Fall(g_nAudioLevelL, nNewL);
    g_nAudioLevelR = Fall(g_nAudioLevelR, nNewR);
}
