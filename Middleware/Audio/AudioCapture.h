// The audio capture thread: codec input, filter, meter, monitor and the
// 100 ms recording buffers.
#ifndef MIDDLEWARE_AUDIO_AUDIOCAPTURE_H
#define MIDDLEWARE_AUDIO_AUDIOCAPTURE_H

#include "Middleware/Audio/InputAudioFilter.h"
#include "media-stack/Dmai.h"

extern Fifo_Handle g_hAudioCaptureFree;
extern Fifo_Handle g_hAudioCaptureOut;
extern int g_nAudioFreq;  // sample rate (Hz) of the current capture
extern int g_nAudioBits;  // 16 or 24
extern CInputAudioFilter g_InputAudioFilter;

void* AudioCaptureThread(void* pArg);
void ResetAudioCapture(void);

#endif
