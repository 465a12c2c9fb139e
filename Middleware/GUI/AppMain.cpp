// The screens and the main loop arrive with the GUI issue. Until then the
// thread brings up the power controller and the player threads, takes part
// in both meeting points and waits for quit.
#include "Middleware/GUI/AppMain.h"

#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "player/Player.h"

#include <stdio.h>

DWORD g_dwPowerOffTime = 0;
int g_FW_UPDATE = 0;
int g_FW_UPDATE_DEBUG = 0;
const char* g_strInitMode = "player";

void AppMainLoop(void)
{
    while (!g_bQuit)
        SleepMS(50);
}

void* AppMain(void* pArg)
{
    if (!MSP430_Init())
        perror("MSP430_Init() failed.\n");
    if (!PL_Init())
        perror("PL_Init() failed.\n");
    Rendezvous_meet(g_hRendezvousInit);
    AppMainLoop();
    MSP430_Exit();
    Rendezvous_meet(g_hRendezvousCleanup);
    return nullptr;
}
