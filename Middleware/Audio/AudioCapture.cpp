// Capture arrives with the sound issue; until then the thread idles.
#include "Middleware/Audio/AudioCapture.h"

#include "Lib/Global.h"

Fifo_Handle g_hAudioCaptureFree = nullptr;
Fifo_Handle g_hAudioCaptureOut = nullptr;

void* AudioCaptureThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

void ResetAudioCapture(void) {}
