// Recording arrives with the writers' issue; until then the writer thread idles.
#include "Media/Writer.h"

#include "Lib/Global.h"

int g_bMovWriterRunning = 0;
int g_bWavWriterRunning = 0;

void* WriterThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

void PreRecExitVal(void) {}
