// Monitor output of the captured sound.
#ifndef MIDDLEWARE_AUDIO_AUDIOPLAY_H
#define MIDDLEWARE_AUDIO_AUDIOPLAY_H

#include "media-stack/Dmai.h"

#define AUDIO_PLAY_BUFFERS 20
#define AUDIO_PLAY_BUFFER_SIZE 3136

extern Fifo_Handle g_hAudioPlayFree;
extern Fifo_Handle g_hAudioPlayOut;

void* AudioPlayThread(void* pArg);
// Gives every queued monitor buffer back unplayed: 1 done, 0 time-out.
int AudioPlayFlushReq(void);

#endif
