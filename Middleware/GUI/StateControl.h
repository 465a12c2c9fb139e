// The state control thread: card, USB, HDMI, battery and speaker.
#ifndef MIDDLEWARE_GUI_STATECONTROL_H
#define MIDDLEWARE_GUI_STATECONTROL_H

extern int g_bSdCard;
extern int g_bSdCardFormatReq;
extern int g_bSdCardFormatting;
extern int g_bUsbMode;
extern int g_bExtAudio;
extern int g_bHdmi;
extern int g_bCameraFlip;
extern int g_bSyncReq;
extern int g_bPowerOffReq;

// The player screen asks for HDMI to be switched off (recorder, menu).
extern int g_bHdmiOffReq;

void* StateControlThread(void* pArg);

#endif
