// The clock driver on the board's RTC, and the system clock set with
// "date".
#include "DrvLib/Rtc.h"
#include "Lib/Sys.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <linux/rtc.h>

namespace {

struct Date
{
    int year, month, day, hour, minute, second;
};

class Clock : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        ASSERT_EQ(RTC_Init(), 1);
    }
    void TearDown() override
    {
        RTC_Exit();
        BoardTest::TearDown();
    }
    static Date Read()
    {
        Date d = {-1, -1, -1, -1, -1, -1};
        EXPECT_EQ(RTC_Read(&d.year, &d.month, &d.day, &d.hour, &d.minute, &d.second), 1);
        return d;
    }
};

TEST_F(Clock, AFreshBoardReads1970)
{
    Date d = Read();
    EXPECT_EQ(d.year, 1970);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(RTC_IsValid(), 0);
    EXPECT_EQ(RTC_Init(), 0);  // already open
}

TEST_F(Clock, WriteSetsTheClockAndTheSystemTime)
{
    ASSERT_EQ(RTC_Write(2012, 7, 1, 10, 0, 0), 1);
    Date d = Read();
    EXPECT_EQ(d.year, 2012);
    EXPECT_EQ(d.month, 7);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 10);
    EXPECT_EQ(d.minute, 0);
    EXPECT_LE(d.second, 2);
    EXPECT_EQ(RTC_IsValid(), 1);
    // The "date" command reached the board's system clock.
    time_t now = SYS_time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    EXPECT_EQ(local.tm_year, 112);
    EXPECT_EQ(local.tm_mon, 6);
    EXPECT_EQ(local.tm_mday, 1);
    EXPECT_EQ(local.tm_hour, 10);
    EXPECT_EQ(local.tm_min, 0);
}

TEST_F(Clock, ImpossibleDatesAreRefusedAndLeaveTheClock)
{
    time_t before = SYS_time(nullptr);
    EXPECT_EQ(RTC_Write(2012, 2, 30, 10, 0, 0), 0);
    EXPECT_EQ(RTC_Write(2013, 2, 29, 10, 0, 0), 0);
    EXPECT_EQ(RTC_Write(2012, 13, 1, 10, 0, 0), 0);
    EXPECT_EQ(RTC_Write(2012, 4, 31, 10, 0, 0), 0);
    EXPECT_EQ(RTC_Write(2012, 7, 1, 24, 0, 0), 0);
    EXPECT_EQ(RTC_Write(2012, 7, 1, 10, 60, 0), 0);
    EXPECT_EQ(RTC_Write(2012, 7, 1, 10, 0, -1), 0);
    EXPECT_EQ(Read().year, 1970);
    EXPECT_LT(SYS_time(nullptr) - before, 5);
    ASSERT_EQ(RTC_Write(2012, 2, 29, 23, 59, 58), 1);  // a leap day is real
    Date d = Read();
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);
}

TEST_F(Clock, ValidYearsRunFrom2000To2050)
{
    ASSERT_EQ(RTC_Write(1999, 12, 31, 12, 0, 0), 1);
    EXPECT_EQ(RTC_IsValid(), 0);
    ASSERT_EQ(RTC_Write(2000, 1, 1, 12, 0, 0), 1);
    EXPECT_EQ(RTC_IsValid(), 1);
    ASSERT_EQ(RTC_Write(2050, 12, 31, 12, 0, 0), 1);
    EXPECT_EQ(RTC_IsValid(), 1);
    ASSERT_EQ(RTC_Write(2051, 1, 1, 12, 0, 0), 1);
    EXPECT_EQ(RTC_IsValid(), 0);
}

TEST_F(Clock, TheClockKeepsRunningAcrossAPowerCycle)
{
    ASSERT_EQ(RTC_Write(2015, 3, 4, 5, 6, 7), 1);
    RTC_Exit();
    PowerCycle();
    ASSERT_EQ(RTC_Init(), 1);
    Date d = Read();
    EXPECT_EQ(d.year, 2015);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 4);
    EXPECT_EQ(d.hour, 5);
}

TEST_F(Clock, TheDeviceRefusesAnInvalidTime)
{
    int fd = SYS_open("/dev/rtc", O_RDONLY);
    ASSERT_GE(fd, 0);
    struct rtc_time t = {};
    t.tm_year = 112;
    t.tm_mon = 1;
    t.tm_mday = 30;
    EXPECT_EQ(SYS_ioctl(fd, RTC_SET_TIME, &t), -1);
    EXPECT_EQ(errno, EINVAL);
    SYS_close(fd);
    EXPECT_EQ(Read().year, 1970);
}

TEST_F(Clock, AClosedClockAnswersNothing)
{
    RTC_Exit();
    int y, mo, d, h, mi, s;
    EXPECT_EQ(RTC_Read(&y, &mo, &d, &h, &mi, &s), 0);
    EXPECT_EQ(RTC_Write(2012, 7, 1, 10, 0, 0), 0);
    EXPECT_EQ(RTC_IsValid(), 0);
    ASSERT_EQ(RTC_Init(), 1);
    EXPECT_EQ(Read().year, 1970);
}

}  // namespace
