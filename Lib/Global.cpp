#include "Lib/Global.h"

#include "Lib/Thread.h"

#include <assert.h>

int g_bQuit = 0;
int g_nActionMode = ACTION_MODE_MOVIE;
int g_bRecorder = 0;
Engine_Handle g_hEngine = nullptr;
Rendezvous_Handle g_hRendezvousInit = nullptr;
Rendezvous_Handle g_hRendezvousCleanup = nullptr;

#define CHECK_RANGE(lo, x, hi) assert(((lo) <= x) && (x <= (hi)))

void SetActionMode(int nMode)
{
    CHECK_RANGE(0, nMode, 2);
    g_nActionMode = nMode;
}

int GetActionMode(void)
{
    return g_nActionMode;
}

void gblSetQuit(void)
{
    g_bQuit = 1;
}

void gblIdleThreadBody(void)
{
    Rendezvous_meet(g_hRendezvousInit);
    while (!g_bQuit)
        SleepMS(50);
    Rendezvous_meet(g_hRendezvousCleanup);
}
