#include "DrvLib/Led.h"

#include "Lib/Sys.h"

#include <fcntl.h>
#include <stdint.h>

static int s_hLed = -1;

// The register record of the debug requests.
struct LED_REG
{
    uint32_t dwAddress;
    uint32_t dwValue;
};

int LED_Init(void)
{
    if (s_hLed >= 0)
        return 0;
    s_hLed = SYS_open("/dev/vrecled", O_RDWR);
    return s_hLed >= 0;
}

static int Request(unsigned long dwRequest, unsigned long dwValue)
{
    if (s_hLed < 0)
        return 0;
    return SYS_ioctl(s_hLed, dwRequest, dwValue) >= 0;
}

// The driver lights an LED on 0 (any flag from 1 up means on).
static unsigned long LedValue(int bOn)
{
    return bOn >= 1 ? 0 : 1;
}

int LED_SetRec(int bOn)
{
    return Request(LED_IOCTL_SET_REC, LedValue(bOn));
}

int LED_SetPeak(int bOn)
{
    return Request(LED_IOCTL_SET_PEAK, LedValue(bOn));
}

int LED_SetCamera(int bOn)
{
    return Request(LED_IOCTL_SET_CAMERA, LedValue(bOn));
}

int LED_SetBacklight(int nLevel)
{
    return Request(LED_IOCTL_SET_BACKLIGHT, static_cast<unsigned long>(nLevel));
}

int LED_DbgReadReg(unsigned long dwAddress, unsigned long* pdwValue)
{
    if (s_hLed < 0)
        return 0;
    LED_REG reg = {static_cast<uint32_t>(dwAddress), 0};
    if (SYS_ioctl(s_hLed, LED_IOCTL_READ_REG, &reg) < 0)
        return 0;
    *pdwValue = reg.dwValue;
    return 1;
}

int LED_DbgWriteReg(unsigned long dwAddress, unsigned long dwValue)
{
    if (s_hLed < 0)
        return 0;
    LED_REG reg = {static_cast<uint32_t>(dwAddress), static_cast<uint32_t>(dwValue)};
    return SYS_ioctl(s_hLed, LED_IOCTL_WRITE_REG, &reg) >= 0;
}

void LED_Exit(void)
{
    if (s_hLed >= 0)
        SYS_close(s_hLed);
    s_hLed = -1;
}
