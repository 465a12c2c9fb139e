// The state control thread: card, USB, HDMI, battery and speaker.
#ifndef MIDDLEWARE_GUI_STATECONTROL_H
#define MIDDLEWARE_GUI_STATECONTROL_H

extern int g_bSdCard;            // a card is mounted and accepted
extern int g_bSdCardFormatReq;   // the card in the slot must be formatted first (the main loop asks)
extern int g_bSdCardFormatting;  // the main loop's format question is open
extern int g_bUsbMode;           // the card is exported over USB
extern int g_bExtAudio;          // an external input device is plugged
extern int g_bHdmi;              // the output is to be HDMI
extern int g_bCameraFlip;        // CAMERA_SW is off: the camera head is turned over
extern int g_bSyncReq;           // any thread: have the file systems flushed
extern int g_bPowerOffReq;

#define STATE_CONTROL_PERIOD_MS 333
#define STATE_MOUNT_WAIT 21        // passes after a mount attempt before the format question
#define STATE_USB_PASSES 5         // idle passes with the cable in before USB mode
#define STATE_MIN_CLUSTER 32768    // smaller clusters are not this device's format

// The player screen asks for HDMI to be switched off (recorder, menu).
extern int g_bHdmiOffReq;

void* StateControlThread(void* pArg);

// One pass of the thread, and of each check in it (for tests).
void StateControlPass(void);
void ChkSdCard(unsigned long dwKeys);
void ChkUsb(unsigned long dwKeys);
void ChkHdmi(unsigned long dwKeys);
// Forgets what the checks counted and saw (a new power-on).
void StateControlReset(void);

#endif
