// The HDMI driver arrives with the device drivers; until then every call fails.
#include "DrvLib/Hdmi.h"

int HDIM_Init(void) { return 0; }
void HDIM_Exit(void) {}
int HDIM_DbgReadReg(int nReg, int* pnValue) { return 0; }
int HDIM_DbgWriteReg(int nReg, int nValue) { return 0; }
int HDIM_DbgReadEDID(int nAddress, int* pnValue) { return 0; }
int HDMI_CheckEDID(int* pnResult) { return 0; }
int HDMI_SetAudioFmt(int nBits, int nRate, int nWidth) { return 0; }
int HDMI_SetVideoFmt(int nFormat) { return 0; }
int HDMI_AV_Mute_ON(void) { return 0; }
int HDMI_AV_Mute_OFF(void) { return 0; }
