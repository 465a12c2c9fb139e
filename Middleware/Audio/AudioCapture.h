// The audio capture thread: codec input, filter, meter, monitor and the
// 100 ms recording buffers.
#ifndef MIDDLEWARE_AUDIO_AUDIOCAPTURE_H
#define MIDDLEWARE_AUDIO_AUDIOCAPTURE_H

#include "media-stack/Dmai.h"

extern Fifo_Handle g_hAudioCaptureFree;
extern Fifo_Handle g_hAudioCaptureOut;

void* AudioCaptureThread(void* pArg);
void ResetAudioCapture(void);

#endif
