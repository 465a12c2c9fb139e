// Encoding and decoding arrive with the codec issue; until then the thread idles.
#include "Middleware/CODEC/Video.h"

#include "Lib/Global.h"

void* VideoThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

// Stand-ins until the codec issue lands (remove then): no decoder runs.
Fifo_Handle g_hDecoderIn = nullptr;
Fifo_Handle g_hDecoderFree = nullptr;
int g_bWaitDispImage = 0;
int g_bNonSkip = 0;
void VideoDecStop(void) {}
