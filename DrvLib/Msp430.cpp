#include "DrvLib/Msp430.h"

#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"

#include <fcntl.h>
#include <stdio.h>

int g_Msp430_nInputVolume = 0;
int g_Msp430_bKeyPress_F1 = 0;
int g_Msp430_bAdapterConnect = 0;
int g_Msp430_nBatteryVolt = 0;
int g_Msp430_nBatteryLevel = 3;

static void* s_pLock = nullptr;
static DWORD s_dwLastAccessEnd = 0;
static int s_hMsp430 = 0;

#define MSP430_ACCESS_SPACING_MS 30

// Every access holds the lock and keeps 30 ms from the end of the previous one.
static void BeginAccess(void)
{
    TH_Lock(s_pLock);
    DWORD dwElapsed = DeltaTime(s_dwLastAccessEnd, GetTime());
    if (dwElapsed < MSP430_ACCESS_SPACING_MS)
        SleepMS(MSP430_ACCESS_SPACING_MS - dwElapsed);
}

static void EndAccess(void)
{
    s_dwLastAccessEnd = GetTime();
    TH_Unlock(s_pLock);
}

static int Request(unsigned long dwRequest, void* pArg)
{
    if (s_hMsp430 <= 0)
        return 0;
    BeginAccess();
    int nResult = SYS_ioctl(s_hMsp430, dwRequest, pArg);
    EndAccess();
    return nResult >= 0;
}

int MSP430_Init(void)
{
    if (s_hMsp430 > 0)
        return 0;
    int hFd = SYS_open("/dev/msp430", O_RDONLY);
    if (hFd < 0)
        return 0;
    s_hMsp430 = hFd;
    s_pLock = TH_CreateLock();
    if (!s_pLock) {
        SYS_close(s_hMsp430);
        s_hMsp430 = 0;
        return 0;
    }
    MSP430_UpdateStatus();
    MSP430_SetBatteryType(static_cast<int>(GetParameter("/Setup/BATTERY", nullptr)));
    return 1;
}

int MSP430_UpdateStatus(void)
{
    unsigned int nStatus = 0;
    if (!Request(MSP430_IOCTL_GET_STATUS, &nStatus))
        return 0;
    unsigned int nVolt = 0;
    if (!Request(MSP430_IOCTL_GET_VOLTAGE, &nVolt))
        return 0;

    g_Msp430_bAdapterConnect = (nStatus & 0x200) ? 0 : 1;
    g_Msp430_nInputVolume = static_cast<int>(nStatus & 0x7F);
    g_Msp430_bKeyPress_F1 = (nStatus & 0x100) ? 1 : 0;
    int nLevel = g_Msp430_bAdapterConnect ? 6 : static_cast<int>((nStatus >> 11) & 0x7);
    if (nLevel != g_Msp430_nBatteryLevel)
        printf("BAT:%d->%d\n", g_Msp430_nBatteryLevel, nLevel);
    g_Msp430_nBatteryLevel = nLevel;
    g_Msp430_nBatteryVolt = static_cast<int>(nVolt & 0xFF);
    return 1;
}

int MSP430_UpdateF1(void)
{
    unsigned int nStatus = 0;
    if (!Request(MSP430_IOCTL_GET_QUICK_STATUS, &nStatus))
        return 0;
    g_Msp430_nInputVolume = static_cast<int>(nStatus & 0x7F);
    g_Msp430_bKeyPress_F1 = (nStatus & 0x100) ? 1 : 0;
    return 1;
}

int MSP430_SetBatteryType(int nType)
{
    int nArg = nType;
    return Request(MSP430_IOCTL_SET_BATTERY_TYPE, &nArg);
}

int MSP430_DoPowerOffStart(void)
{
    return Request(MSP430_IOCTL_POWER_OFF_START, nullptr);
}

int MSP430_DoPowerOff(void)
{
    return Request(MSP430_IOCTL_POWER_OFF, nullptr);
}

int MSP430_SetLcdReset(int bOn)
{
    int nArg = 0;
    return Request(bOn ? MSP430_IOCTL_LCD_RESET_ON : MSP430_IOCTL_LCD_RESET_OFF, &nArg);
}

void MSP430_Exit(void)
{
    if (s_hMsp430 > 0)
        SYS_close(s_hMsp430);
    s_hMsp430 = 0;
    TH_DeleteLock(s_pLock);
    s_pLock = nullptr;
}
