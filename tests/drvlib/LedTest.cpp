// LEDs, backlight and the register access of the board's LED device.
#include "DrvLib/Led.h"
#include "Lib/Sys.h"
#include "sim/board/Board.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <fcntl.h>

namespace {

class Leds : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        ASSERT_EQ(LED_Init(), 1);
    }
    void TearDown() override
    {
        LED_Exit();
        BoardTest::TearDown();
    }
    static vrec::board::HardwareState& State() { return vrec::board::Board::Get().state(); }
};

TEST_F(Leds, TheDeviceLightsAnLedOnZero)
{
    int fd = SYS_open("/dev/vrecled", O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(SYS_ioctl(fd, LED_IOCTL_SET_REC, 0UL), 0);
    EXPECT_EQ(State().leds.rec.load(), 1);
    ASSERT_EQ(SYS_ioctl(fd, LED_IOCTL_SET_REC, 1UL), 0);
    EXPECT_EQ(State().leds.rec.load(), 0);
    SYS_close(fd);
}

TEST_F(Leds, OnFlagsAreInvertedForTheDriver)
{
    struct Led
    {
        int (*set)(int);
        vrec::board::AtomicInt& lit;
        vrec::board::AtomicWord& changes;
    };
    vrec::board::Leds& leds = State().leds;
    Led all[] = {{LED_SetRec, leds.rec, leds.recChanges},
                 {LED_SetPeak, leds.peak, leds.peakChanges},
                 {LED_SetCamera, leds.camera, leds.cameraChanges}};
    for (Led& led : all) {
        uint32_t changes = led.changes.load();
        ASSERT_EQ(led.set(1), 1);  // passes 0: lit
        EXPECT_EQ(led.lit.load(), 1);
        ASSERT_EQ(led.set(0), 1);
        EXPECT_EQ(led.lit.load(), 0);
        ASSERT_EQ(led.set(2), 1);  // above 1 also lights it
        EXPECT_EQ(led.lit.load(), 1);
        EXPECT_EQ(led.changes.load(), changes + 3);
    }
}

TEST_F(Leds, BacklightLevelIsPassedAsItIs)
{
    ASSERT_EQ(LED_SetBacklight(4), 1);
    EXPECT_EQ(State().leds.backlight.load(), 4);
    ASSERT_EQ(LED_SetBacklight(2), 1);
    EXPECT_EQ(State().leds.backlight.load(), 2);
    ASSERT_EQ(LED_SetBacklight(0), 1);
    EXPECT_EQ(State().leds.backlight.load(), 0);
}

TEST_F(Leds, RegistersReadAndWrite)
{
    unsigned long value = 0;
    ASSERT_EQ(LED_DbgReadReg(0x01C7062C, &value), 1);  // CCDC culling: all pixels
    EXPECT_EQ(value, 0xFFFFu);
    ASSERT_EQ(LED_DbgReadReg(0x01C70600, &value), 1);
    EXPECT_EQ(value, 0u);
    ASSERT_EQ(LED_DbgWriteReg(0x01C70604, 0x12345678), 1);
    ASSERT_EQ(LED_DbgReadReg(0x01C70604, &value), 1);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(State().registers.word[0x604 / 4].load(), 0x12345678u);

    value = 99;
    EXPECT_EQ(LED_DbgReadReg(0x02000000, &value), 0);  // no register there
    EXPECT_EQ(LED_DbgReadReg(0x01C70602, &value), 0);  // not word aligned
    EXPECT_EQ(LED_DbgWriteReg(0x01C6FFFC, 1), 0);
    EXPECT_EQ(value, 99u);
}

TEST_F(Leds, RegistersResetAtPowerOn)
{
    ASSERT_EQ(LED_DbgWriteReg(0x01C7062C, 7), 1);
    LED_Exit();
    PowerCycle();
    ASSERT_EQ(LED_Init(), 1);
    unsigned long value = 0;
    ASSERT_EQ(LED_DbgReadReg(0x01C7062C, &value), 1);
    EXPECT_EQ(value, 0xFFFFu);
}

TEST_F(Leds, AClosedDeviceAnswersNothing)
{
    EXPECT_EQ(LED_Init(), 0);  // already open
    LED_Exit();
    unsigned long value = 0;
    EXPECT_EQ(LED_SetRec(1), 0);
    EXPECT_EQ(LED_SetPeak(1), 0);
    EXPECT_EQ(LED_SetCamera(1), 0);
    EXPECT_EQ(LED_SetBacklight(4), 0);
    EXPECT_EQ(LED_DbgReadReg(0x01C70600, &value), 0);
    EXPECT_EQ(LED_DbgWriteReg(0x01C70600, 1), 0);
    EXPECT_EQ(State().leds.rec.load(), 0);
    ASSERT_EQ(LED_Init(), 1);
}

}  // namespace
