// The HDMI transmitter on "/dev/adv7523_hdmi".
#ifndef DRVLIB_HDMI_H
#define DRVLIB_HDMI_H

#define HDMI_IOCTL_READ_REG       0xC002B000
#define HDMI_IOCTL_WRITE_REG      0xC002B001
#define HDMI_IOCTL_READ_EDID      0xC002B002
#define HDMI_IOCTL_CHECK_EDID     0xC002B003
#define HDMI_IOCTL_SET_AUDIO_FMT  0xC002B004
#define HDMI_IOCTL_SET_VIDEO_FMT  0xC002B005
#define HDMI_IOCTL_AV_MUTE_ON     0xC002B006
#define HDMI_IOCTL_AV_MUTE_OFF    0xC002B007

int HDIM_Init(void);
void HDIM_Exit(void);
int HDIM_DbgReadReg(int nReg, int* pnValue);
int HDIM_DbgWriteReg(int nReg, int nValue);
int HDIM_DbgReadEDID(int nAddress, int* pnValue);
int HDMI_CheckEDID(int* pnResult);
int HDMI_SetAudioFmt(int nBits, int nRate, int nWidth);
int HDMI_SetVideoFmt(int nFormat);
int HDMI_AV_Mute_ON(void);
int HDMI_AV_Mute_OFF(void);

#endif
