// The screens and the main loop arrive with the GUI issue. Until then the
// thread brings up the devices and the player threads, takes part in both
// meeting points and waits for quit.
#include "Middleware/GUI/AppMain.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Rtc.h"
#include "Lib/Global.h"
#include "Middleware/GUI/Graphics.h"
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
    if (!LED_Init())
        perror("LED_Init() failed.\n");
    if (!RTC_Init())
        perror("RTC_Init() failed.\n");
    if (!MSP430_Init())
        perror("MSP430_Init() failed.\n");
    if (!KEY_Init())
        perror("KEY_Init() failed.\n");
    if (!FB_Init())
        perror("FB_Init() failed.\n");
    if (!GRA_Init())
        perror("GRA_Init() failed.\n");
    if (!PL_Init())
        perror("PL_Init() failed.\n");
    if (!HDIM_Init())
        perror("HDIM_Init() failed.\n");
    KEY_Get(1, nullptr);
    Rendezvous_meet(g_hRendezvousInit);
    AppMainLoop();
    FB_Exit();
    KEY_Exit();
    MSP430_Exit();
    RTC_Exit();
    LED_Exit();
    Rendezvous_meet(g_hRendezvousCleanup);
    return nullptr;
}
