// The HDMI transmitter on "/dev/adv7523_hdmi".
#ifndef DRVLIB_HDMI_H
#define DRVLIB_HDMI_H

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
