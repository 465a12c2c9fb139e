// The power controller driver on the board's MSP430: status word, battery
// level and adapter, F1 and the knob, battery type, spacing of accesses.
#include "DrvLib/Msp430.h"
#include "Lib/Parameter.h"
#include "sim/board/Board.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

class PowerController : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        g_Msp430_nBatteryLevel = 3;
        testing::internal::CaptureStdout();
        ASSERT_EQ(MSP430_Init(), 1);
        initOutput_ = testing::internal::GetCapturedStdout();
    }

    void TearDown() override
    {
        MSP430_Exit();
        BoardTest::TearDown();
    }

    static vrec::board::PowerController& Power() { return vrec::board::Board::Get().state().power; }

    std::string initOutput_;
};

TEST_F(PowerController, InitReadsTheStatusAndSetsTheBatteryType)
{
    EXPECT_NE(initOutput_.find("BAT:3->7\n"), std::string::npos) << initOutput_;
    EXPECT_EQ(g_Msp430_nBatteryLevel, 7);
    EXPECT_EQ(g_Msp430_bAdapterConnect, 0);
    EXPECT_EQ(Power().batteryType.load(), static_cast<int>(GetParameter("/Setup/BATTERY", nullptr)));
    EXPECT_EQ(MSP430_Init(), 0);  // already open
    ASSERT_EQ(MSP430_SetBatteryType(1), 1);
    EXPECT_EQ(Power().batteryType.load(), 1);
}

TEST_F(PowerController, TheAdapterReadsAsLevelSix)
{
    vrec::board::SetBatteryLevel(vrec::board::Board::Get().state(), 2);
    Power().adapter = 1;
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    EXPECT_EQ(g_Msp430_bAdapterConnect, 1);
    EXPECT_EQ(g_Msp430_nBatteryLevel, 6);
    Power().adapter = 0;
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    EXPECT_EQ(g_Msp430_bAdapterConnect, 0);
    EXPECT_EQ(g_Msp430_nBatteryLevel, 2);
    EXPECT_EQ(g_Msp430_nBatteryVolt, Power().batteryVoltage.load() & 0xFF);
}

TEST_F(PowerController, LevelChangesArePrintedOnce)
{
    vrec::board::SetBatteryLevel(vrec::board::Board::Get().state(), 5);
    testing::internal::CaptureStdout();
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BAT:7->5\n");
    vrec::board::SetBatteryLevel(vrec::board::Board::Get().state(), 0);
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    EXPECT_EQ(g_Msp430_nBatteryLevel, 0);
}

TEST_F(PowerController, QuickStatusGivesTheKnobAndF1)
{
    Power().inputVolume = 77;
    Power().f1Pressed = 1;
    ASSERT_EQ(MSP430_UpdateF1(), 1);
    EXPECT_EQ(g_Msp430_nInputVolume, 77);
    EXPECT_EQ(g_Msp430_bKeyPress_F1, 1);
    Power().inputVolume = 127;
    Power().f1Pressed = 0;
    ASSERT_EQ(MSP430_UpdateF1(), 1);
    EXPECT_EQ(g_Msp430_nInputVolume, 127);
    EXPECT_EQ(g_Msp430_bKeyPress_F1, 0);
}

TEST_F(PowerController, PowerOffStartAndLcdResetReachTheBoard)
{
    ASSERT_EQ(MSP430_DoPowerOffStart(), 1);
    EXPECT_EQ(Power().powerOffStarted.load(), 1);
    ASSERT_EQ(MSP430_SetLcdReset(1), 1);
    EXPECT_EQ(Power().lcdReset.load(), 1);
    ASSERT_EQ(MSP430_SetLcdReset(0), 1);
    EXPECT_EQ(Power().lcdReset.load(), 0);
}

TEST_F(PowerController, AccessesAreAtLeast30msApart)
{
    ASSERT_EQ(MSP430_UpdateF1(), 1);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(MSP430_UpdateF1(), 1);
    ASSERT_EQ(MSP430_UpdateStatus(), 1);  // two accesses
    ASSERT_EQ(MSP430_SetBatteryType(0), 1);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // Four accesses after the first, each waiting for the 30 ms to pass
    // (the millisecond clock may round one millisecond away).
    EXPECT_GE(elapsed.count(), 4 * 29);
}

TEST_F(PowerController, AClosedControllerAnswersNothing)
{
    MSP430_Exit();
    EXPECT_EQ(MSP430_UpdateStatus(), 0);
    EXPECT_EQ(MSP430_UpdateF1(), 0);
    EXPECT_EQ(MSP430_SetBatteryType(0), 0);
    EXPECT_EQ(MSP430_DoPowerOffStart(), 0);
    EXPECT_EQ(Power().powerOffStarted.load(), 0);
}

}  // namespace
