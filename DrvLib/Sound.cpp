// The sound device arrives with the sound issue; until then the mixer is
// never open and the PCM device never opens.
#include "DrvLib/Sound.h"

void SND_ValInit(void) {}
void SND_ValExit(void) {}
void SND_CloseMixer(void) {}
int SND_Init(int nMode, int nRate, int nBits, int nChannels) { return 0; }
void SND_Exit(void) {}
int SND_Read(void* pBuffer, int nBytes) { return 0; }
int SND_Write(const void* pBuffer, int nBytes) { return 0; }
void SND_Wait(void) {}
int SND_SetMixer(const char* szControl, const char* szValue) { return -1; }
int SND_SetPlayVolume(int nLevel) { return -1; }
int SND_SetRecVolume(int nLevel) { return -1; }
int SND_DAC_Mute(int bOn) { return -1; }
int SND_ADC_Mute(int bOn) { return -1; }
