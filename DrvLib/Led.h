// LEDs, backlight and the processor register access of "/dev/vrecled".
#ifndef DRVLIB_LED_H
#define DRVLIB_LED_H

int LED_Init(void);
int LED_SetRec(int bOn);
int LED_SetPeak(int bOn);
int LED_SetCamera(int bOn);
int LED_SetBacklight(int nLevel);
int LED_DbgReadReg(unsigned long dwAddress, unsigned long* pdwValue);
int LED_DbgWriteReg(unsigned long dwAddress, unsigned long dwValue);
void LED_Exit(void);

#endif
