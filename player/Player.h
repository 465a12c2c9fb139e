// The player: opening, playing and pacing MOV, WAV and JPEG files.
#ifndef PLAYER_PLAYER_H
#define PLAYER_PLAYER_H

extern int g_bAudioRenderRunning;  // the sound device is open for playback

int PL_Init(void);
int PL_IsPlaying(void);
int PL_GetSlideShowing(void);
int PL_Stop(int bWait);
void PL_Close(void);

void* PlayAudioThread(void* pArg);
void* PlayVideoThread(void* pArg);

#endif
