// The real-time clock on "/dev/rtc".
#ifndef DRVLIB_RTC_H
#define DRVLIB_RTC_H

int RTC_Init(void);
int RTC_Read(int* pnYear, int* pnMonth, int* pnDay, int* pnHour, int* pnMinute, int* pnSecond);
int RTC_Write(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond);
int RTC_IsValid(void);
void RTC_Exit(void);

#endif
