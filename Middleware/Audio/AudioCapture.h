// The audio capture thread: codec input in 5 ms blocks, filter, meter,
// monitor and the 100 ms recording buffers.
#ifndef MIDDLEWARE_AUDIO_AUDIOCAPTURE_H
#define MIDDLEWARE_AUDIO_AUDIOCAPTURE_H

#include "Middleware/Audio/InputAudioFilter.h"
#include "media-stack/Dmai.h"

#define AUDIO_CAPTURE_BUFFERS 5
#define AUDIO_CAPTURE_BUFFER_SIZE 57856

extern int g_nAudioFreq;
extern int g_nAudioBits;
extern int g_nAudioSampleBytes;
extern int g_nAudioChannels;
extern Fifo_Handle g_hAudioCaptureFree;
extern Fifo_Handle g_hAudioCaptureOut;
extern int g_bAudioCaptureRunning;   // a capture run is active
extern int g_bAudioCaptureRunning2;  // its block loop runs (the monitor plays)
extern int g_bAutoRecStartReq;
extern int g_bAutoRecStopReq;

void* AudioCaptureThread(void* pArg);
// Re-applies the input settings; waits until the thread took the request
// (about 1 s at most).
void ResetAudioCapture(void);

#endif
