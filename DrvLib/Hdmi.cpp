#include "DrvLib/Hdmi.h"

#include "Lib/Sys.h"
#include "Lib/Thread.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>

static int s_hHdmi = -1;
static void* s_pHdmiLock = nullptr;

int HDIM_Init(void)
{
    if (s_hHdmi >= 0)
        return 0;
    s_hHdmi = SYS_open("/dev/adv7523_hdmi", O_RDWR);
    if (s_hHdmi < 0) {
        printf("HDIM_Init():Error= %d\n", errno);
        return 0;
    }
    s_pHdmiLock = TH_CreateLock();
    return 1;
}

void HDIM_Exit(void)
{
    if (s_hHdmi >= 0)
        SYS_close(s_hHdmi);
    s_hHdmi = -1;
    TH_DeleteLock(s_pHdmiLock);
    s_pHdmiLock = nullptr;
}

static int Request(unsigned long dwRequest, void* pArg)
{
    if (s_hHdmi < 0)
        return 0;
    TH_Lock(s_pHdmiLock);
    int nResult = SYS_ioctl(s_hHdmi, dwRequest, pArg);
    TH_Unlock(s_pHdmiLock);
    return nResult >= 0;
}

// The two-byte records {register or address, value}.
static int ReadPair(unsigned long dwRequest, int nIndex, int* pnValue)
{
    uint8_t aPair[2] = {static_cast<uint8_t>(nIndex), 0};
    if (!Request(dwRequest, aPair))
        return 0;
    *pnValue = aPair[1];
    return 1;
}

int HDIM_DbgReadReg(int nReg, int* pnValue)
{
    return ReadPair(HDMI_IOCTL_READ_REG, nReg, pnValue);
}

int HDIM_DbgWriteReg(int nReg, int nValue)
{
    uint8_t aPair[2] = {static_cast<uint8_t>(nReg), static_cast<uint8_t>(nValue)};
    return Request(HDMI_IOCTL_WRITE_REG, aPair);
}

int HDIM_DbgReadEDID(int nAddress, int* pnValue)
{
    return ReadPair(HDMI_IOCTL_READ_EDID, nAddress, pnValue);
}

int HDMI_CheckEDID(int* pnResult)
{
    int32_t nResult = 0xFFFF;
    int bOk = Request(HDMI_IOCTL_CHECK_EDID, &nResult);
    *pnResult = nResult;
    return bOk;
}

int HDMI_SetAudioFmt(int nBits, int nRate, int nWidth)
{
    int32_t aFormat[3] = {nBits, nRate, nWidth};
    return Request(HDMI_IOCTL_SET_AUDIO_FMT, aFormat);
}

int HDMI_SetVideoFmt(int nFormat)
{
    int32_t nArg = nFormat;
    return Request(HDMI_IOCTL_SET_VIDEO_FMT, &nArg);
}

int HDMI_AV_Mute_ON(void)
{
    return Request(HDMI_IOCTL_AV_MUTE_ON, nullptr);
}

int HDMI_AV_Mute_OFF(void)
{
    return Request(HDMI_IOCTL_AV_MUTE_OFF, nullptr);
}
