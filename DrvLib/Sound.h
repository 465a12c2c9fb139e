// The stereo codec: PCM capture and playback and its mixer controls.
#ifndef DRVLIB_SOUND_H
#define DRVLIB_SOUND_H

#include <alsa/asoundlib.h>

enum Sound_Mode : int  // other values open nothing
{
    SOUND_MODE_PLAY = 0,
    SOUND_MODE_REC = 1,
    SOUND_MODE_REC_MONITOR = 2,
};

struct Sound_Object
{
    snd_pcm_t* hCapture;
    snd_pcm_t* hPlayback;
    int nSampleRate;
    short nChannels;
    int nPeriodSize;  // frames: the request before negotiation, the grant after
    int nBufferSize;  // frames
    snd_pcm_hw_params_t* pCaptureHwParams;
    snd_pcm_hw_params_t* pPlaybackHwParams;
    snd_pcm_sw_params_t* pCaptureSwParams;
    snd_pcm_sw_params_t* pPlaybackSwParams;
    int nBits;
    int nBytesPerFrame;
    Sound_Mode eMode;
};

void SND_ValInit(void);
void SND_ValExit(void);
void SND_CloseMixer(void);
int SND_Init(int nMode, int nRate, int nBits, int nChannels);
void SND_Exit(void);
int SND_Read(void* pBuffer, int nBytes);
int SND_Write(const void* pBuffer, int nBytes);
void SND_Wait(void);
int SND_SetMixer(const char* szControl, const char* szValue);
int SND_SetPlayVolume(int nLevel);
int SND_SetRecVolume(int nLevel);
int SND_DAC_Mute(int bOn);
int SND_ADC_Mute(int bOn);

// The open device (none while closed), for the capture thread and tests.
const Sound_Object* SND_GetObject(void);

#endif
