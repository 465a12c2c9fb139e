// The level meter: peak magnitudes to bar values (0.6 dB steps over 48 dB),
// dB levels, and a peak indicator with hold that drives the peak LED.
#ifndef MIDDLEWARE_AUDIO_LEVELMETER_H
#define MIDDLEWARE_AUDIO_LEVELMETER_H

extern int g_nAudioLevelL;
extern int g_nAudioLevelR;
extern float g_fAudioLevelL;
extern float g_fAudioLevelR;
extern int g_nPeakL;
extern int g_nPeakR;

// peak: 0 .. 32767. Returns the bar value 0 .. 162 and stores the dB level.
int GetAudioLevel(int nPeak, float* pfLevel);
void LM_Update(int nPeakLeft, int nPeakRight, int bHold, int bReset);

#endif
