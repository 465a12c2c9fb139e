// LEDs, backlight and the processor register access of "/dev/vrecled".
#ifndef DRVLIB_LED_H
#define DRVLIB_LED_H

#define LED_IOCTL_SET_REC        0x4004AF00
#define LED_IOCTL_SET_PEAK       0x4004AF01
#define LED_IOCTL_SET_CAMERA     0x4004AF02
#define LED_IOCTL_SET_BACKLIGHT  0x4004AF03
#define LED_IOCTL_READ_REG       0xC008AF04
#define LED_IOCTL_WRITE_REG      0xC008AF05

int LED_Init(void);
int LED_SetRec(int bOn);
int LED_SetPeak(int bOn);
int LED_SetCamera(int bOn);
int LED_SetBacklight(int nLevel);
int LED_DbgReadReg(unsigned long dwAddress, unsigned long* pdwValue);
int LED_DbgWriteReg(unsigned long dwAddress, unsigned long dwValue);
void LED_Exit(void);

#endif
