// Encoding and decoding arrive with the codec issue; until then the thread idles.
#include "Middleware/CODEC/Video.h"

#include "Lib/Global.h"

void* VideoThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}
