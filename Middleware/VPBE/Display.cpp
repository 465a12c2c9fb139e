// Video output arrives with the video issue; until then the thread idles.
#include "Middleware/VPBE/Display.h"

#include "Lib/Global.h"

int g_bDispHdmi = 0;
int g_bSetAV_MuteOFF_Flag = 0;

void* DisplayThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}
