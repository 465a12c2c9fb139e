// Keys, switches and detect lines from "/dev/vreckey".
#ifndef DRVLIB_KEY_H
#define DRVLIB_KEY_H

#define KEY_SPEAKER       0x1
#define KEY_HOLD          0x2
#define KEY_F1            0x4
#define KEY_F2            0x8
#define KEY_F3            0x10
#define KEY_MENU          0x20
#define KEY_MODE          0x40
#define KEY_DISPLAY       0x80
#define KEY_T             0x100
#define KEY_W             0x200
#define KEY_UP            0x400
#define KEY_ENTER         0x800
#define KEY_LEFT          0x1000
#define KEY_RIGHT         0x2000
#define KEY_DOWN          0x4000
#define KEY_RECORD        0x8000
#define KEY_PLAY          0x10000
#define KEY_STOP          0x20000
#define KEY_PHONE_DETECT  0x40000
#define KEY_MIC_DETECT    0x80000
#define KEY_SD_DETECT     0x100000
#define KEY_CAMERA_SW     0x200000
#define KEY_HDMI_DETECT   0x400000
#define KEY_USB_DETECT    0x800000

#define KEY_MASK_KEYS     0x3FFFC   // bits 2 to 17, the ones HOLD blocks

int KEY_Init(void);
unsigned long KEY_Get(int bRead, int* pbHoldBlocked);
void KEY_EnableHold(int bEnable);
int KEY_GetName(char* szOut, int nMask, int bAll);
void KEY_Exit(void);

#endif
