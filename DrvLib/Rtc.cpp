#include "DrvLib/Rtc.h"

#include "Lib/Common.h"
#include "Lib/Sys.h"

#include <fcntl.h>
#include <linux/rtc.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>

static int s_hRtc = -1;

// The broken-down date of struct tm and struct rtc_time alike.
template <typename TIME>
static void SetDate(TIME& t, int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond)
{
    memset(&t, 0, sizeof(t));
    t.tm_year = nYear - 1900;
    t.tm_mon = nMonth - 1;
    t.tm_mday = nDay;
    t.tm_hour = nHour;
    t.tm_min = nMinute;
    t.tm_sec = nSecond;
}

int RTC_Init(void)
{
    if (s_hRtc >= 0)
        return 0;
    s_hRtc = SYS_open("/dev/rtc", O_RDONLY);
    return s_hRtc >= 0;
}

int RTC_Read(int* pnYear, int* pnMonth, int* pnDay, int* pnHour, int* pnMinute, int* pnSecond)
{
    if (s_hRtc < 0)
        return 0;
    struct rtc_time tm;
    memset(&tm, 0, sizeof(tm));
    if (SYS_ioctl(s_hRtc, RTC_RD_TIME, &tm) < 0)
        return 0;
    *pnYear = tm.tm_year + 1900;
    *pnMonth = tm.tm_mon + 1;
    *pnDay = tm.tm_mday;
    *pnHour = tm.tm_hour;
    *pnMinute = tm.tm_min;
    *pnSecond = tm.tm_sec;
    return 1;
}

// A real calendar date comes back from mktime's normalisation unchanged.
static int IsCalendarDate(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond)
{
    struct tm tm;
    SetDate(tm, nYear, nMonth, nDay, nHour, nMinute, nSecond);
    tm.tm_isdst = -1;
    if (mktime(&tm) == static_cast<time_t>(-1))
        return 0;
    return tm.tm_year == nYear - 1900 && tm.tm_mon == nMonth - 1 && tm.tm_mday == nDay && tm.tm_hour == nHour &&
           tm.tm_min == nMinute && tm.tm_sec == nSecond;
}

int RTC_Write(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond)
{
    if (s_hRtc < 0)
        return 0;
    if (!IsCalendarDate(nYear, nMonth, nDay, nHour, nMinute, nSecond))
        return 0;
    struct rtc_time tm;
    SetDate(tm, nYear, nMonth, nDay, nHour, nMinute, nSecond);
    if (SYS_ioctl(s_hRtc, RTC_SET_TIME, &tm) < 0)
        return 0;
    char szCmd[64];
    snprintf(szCmd, sizeof(szCmd), "date %04d.%02d.%02d-%02d:%02d:%02d", nYear, nMonth, nDay, nHour, nMinute,
             nSecond);
    System(szCmd);
    return 1;
}

int RTC_IsValid(void)
{
    int nYear, nMonth, nDay, nHour, nMinute, nSecond;
    if (!RTC_Read(&nYear, &nMonth, &nDay, &nHour, &nMinute, &nSecond))
        return 0;
    return nYear >= 2000 && nYear <= 2050;
}

void RTC_Exit(void)
{
    if (s_hRtc >= 0)
        SYS_close(s_hRtc);
    s_hRtc = -1;
}
