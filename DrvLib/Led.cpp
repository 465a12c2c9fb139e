// The LED driver arrives with the device drivers; until then every call fails.
#include "DrvLib/Led.h"

int LED_Init(void) { return 0; }
int LED_SetRec(int bOn) { return 0; }
int LED_SetPeak(int bOn) { return 0; }
int LED_SetCamera(int bOn) { return 0; }
int LED_SetBacklight(int nLevel) { return 0; }
int LED_DbgReadReg(unsigned long dwAddress, unsigned long* pdwValue) { return 0; }
int LED_DbgWriteReg(unsigned long dwAddress, unsigned long dwValue) { return 0; }
void LED_Exit(void) {}
