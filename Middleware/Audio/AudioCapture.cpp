// Capture arrives with the sound issue; until then the thread idles.
#include "Middleware/Audio/AudioCapture.h"

#include "Lib/Global.h"

Fifo_Handle g_hAudioCaptureFree = nullptr;
Fifo_Handle g_hAudioCaptureOut = nullptr;
int g_nAudioFreq = 44100;
int g_nAudioBits = 16;
CInputAudioFilter g_InputAudioFilter;

void* AudioCaptureThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

void ResetAudioCapture(void) {}
