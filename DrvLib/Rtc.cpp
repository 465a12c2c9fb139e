// The clock driver arrives with the device drivers; until then every call fails.
#include "DrvLib/Rtc.h"

int RTC_Init(void) { return 0; }
int RTC_Read(int* pnYear, int* pnMonth, int* pnDay, int* pnHour, int* pnMinute, int* pnSecond) { return 0; }
int RTC_Write(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond) { return 0; }
int RTC_IsValid(void) { return 0; }
void RTC_Exit(void) {}
