// "/dev/rtc": the board's real-time clock (UTC broken-down time, the Linux
// RTC_RD_TIME and RTC_SET_TIME requests). It keeps running while the
// board is off.
#include "sim/board/Board.h"
#include "sim/board/Devices.h"

#include <ctime>
#include <linux/rtc.h>
#include <sys/ioctl.h>

namespace vrec::board {

namespace {

bool IsLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month0)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month0 == 1 && IsLeap(year) ? 29 : kDays[month0];
}

// As the kernel's rtc_valid_tm: a real date from 1970 on.
bool Valid(const struct rtc_time& t)
{
    if (t.tm_year < 70 || t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1)
        return false;
    if (t.tm_mday > DaysInMonth(t.tm_year + 1900, t.tm_mon))
        return false;
    return t.tm_hour >= 0 && t.tm_hour < 24 && t.tm_min >= 0 && t.tm_min < 60 && t.tm_sec >= 0 && t.tm_sec < 60;
}

class RtcDevice : public BoardDevice
{
public:
    explicit RtcDevice(Board& board) : board_(board) {}

    int Ioctl(unsigned long request, void* arg) override
    {
        if (request != RTC_RD_TIME && request != RTC_SET_TIME)
            return Fail(ENOTTY);
        if (!arg)
            return Fail(EFAULT);
        auto* rtc = static_cast<struct rtc_time*>(arg);
        if (request == RTC_RD_TIME) {
            int64_t us = board_.RtcTimeUs();
            time_t seconds = static_cast<time_t>(us >= 0 ? us / 1000000 : -((-us + 999999) / 1000000));
            struct tm tm;
            gmtime_r(&seconds, &tm);
            *rtc = {};
            rtc->tm_sec = tm.tm_sec;
            rtc->tm_min = tm.tm_min;
            rtc->tm_hour = tm.tm_hour;
            rtc->tm_mday = tm.tm_mday;
            rtc->tm_mon = tm.tm_mon;
            rtc->tm_year = tm.tm_year;
            rtc->tm_wday = tm.tm_wday;
            rtc->tm_yday = tm.tm_yday;
            return 0;
        }
        if (!Valid(*rtc))
            return Fail(EINVAL);
        struct tm tm = {};
        tm.tm_sec = rtc->tm_sec;
        tm.tm_min = rtc->tm_min;
        tm.tm_hour = rtc->tm_hour;
        tm.tm_mday = rtc->tm_mday;
        tm.tm_mon = rtc->tm_mon;
        tm.tm_year = rtc->tm_year;
        board_.SetRtcTimeUs(static_cast<int64_t>(timegm(&tm)) * 1000000);
        return 0;
    }

private:
    Board& board_;
};

}  // namespace

std::shared_ptr<BoardDevice> OpenRtcDevice(Board& board, int flags)
{
    return std::make_shared<RtcDevice>(board);
}

}  // namespace vrec::board
