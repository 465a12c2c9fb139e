// Monitor output of the captured sound.
#ifndef MIDDLEWARE_AUDIO_AUDIOPLAY_H
#define MIDDLEWARE_AUDIO_AUDIOPLAY_H

void* AudioPlayThread(void* pArg);
void AudioPlayFlushReq(void);

#endif
