// Monitoring arrives with the sound issue; until then the thread idles.
#include "Middleware/Audio/AudioPlay.h"

#include "Lib/Global.h"

void* AudioPlayThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

void AudioPlayFlushReq(void) {}
