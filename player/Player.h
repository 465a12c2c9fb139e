// The player: opening, playing and pacing MOV, WAV and JPEG files.
#ifndef PLAYER_PLAYER_H
#define PLAYER_PLAYER_H

extern int g_bAudioRenderRunning;  // the sound device is open for playback
#include "Middleware/Audio/VSAFilter.h"

extern int g_bKeepStop;        // a stop that leaves the first frame on screen is in progress
extern int g_nAudioPlayFreq;   // sample rate of the open file
extern CVSAFilter g_VsaFilter;

// Stand-ins until the player lands (the player issue replaces them): the
// play format and the stop state that the video path reads.
extern int g_nVideoPlayWidth;
extern int g_nVideoPlayHeight;
extern int g_nVideoPlayFps;
int PL_IsStop(void);
int PL_GetStopReason(void);
int PL_GetSeekSpeed(void);

int PL_Init(void);
int PL_Open(const char* szPath);
void PL_Play(void);
int PL_WaitKeepStop(void);
int PL_IsPlaying(void);
int PL_GetSlideShowing(void);
int PL_Stop(int bWait);
void PL_Close(void);
int PL_IsOpen(void);
// The open file's name, date text, length and format texts (video, sound).
void PL_GetTitle(char* szTitle);
void PL_GetDateStr(char* szDate);
unsigned long PL_GetFileSize(void);
void PL_GetInfoStr(char* szVideo, char* szAudio);

void* PlayAudioThread(void* pArg);
void* PlayVideoThread(void* pArg);

#endif
