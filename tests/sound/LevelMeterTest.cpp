// The level meter: table, bar values, dB levels, peak hold, ballistics and
// the peak LED as the board shows it.
#include "DrvLib/Led.h"
#include "Middleware/Audio/LevelMeter.h"
#include "sim/board/Board.h"
#include "sim/board/Devices.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Bars to zero, hold counters to zero and the LED off.
void ResetMeter()
{
    LM_Update(0, 0, 0, 0);
    LM_Update(0, 0, 0, 1);
}

TEST(LevelMeter, TableThresholdsFollowTheDecibelSteps)
{
    // Every step of 0.6 dB starts at 32768 * 10^(-0.6 i / 20), truncated.
    for (int i = 1; i <= 80; ++i) {
        int threshold = static_cast<int>(32768.0f * powf(10.0f, -0.6f * i / 20.0f));
        float level;
        EXPECT_EQ(GetAudioLevel(threshold, &level), (81 - i) * 2) << i;
        EXPECT_FLOAT_EQ(level, -0.6f * i);
        if (i < 80) {
            EXPECT_EQ(GetAudioLevel(threshold - 1, &level), (80 - i) * 2) << i;
        }
    }
    const int kListed[] = {30580, 28539, 26634, 24857, 23197};
    for (int i = 0; i < 5; ++i) {
        float level;
        EXPECT_EQ(GetAudioLevel(kListed[i], &level), (80 - i) * 2);
        EXPECT_EQ(GetAudioLevel(kListed[i] - 1, &level), (79 - i) * 2);
    }
}

TEST(LevelMeter, EndsOfTheScale)
{
    float level = 1;
    EXPECT_EQ(GetAudioLevel(32767, &level), 162);
    EXPECT_FLOAT_EQ(level, 0.0f);
    EXPECT_EQ(GetAudioLevel(40000, &level), 162);
    EXPECT_EQ(GetAudioLevel(32766, &level), 160);
    EXPECT_FLOAT_EQ(level, -0.6f);
    EXPECT_EQ(GetAudioLevel(130, &level), 2);
    EXPECT_FLOAT_EQ(level, -48.0f);
    EXPECT_EQ(GetAudioLevel(138, &level), 2);
    EXPECT_EQ(GetAudioLevel(139, &level), 4);
    EXPECT_EQ(GetAudioLevel(129, &level), 0);
    EXPECT_FLOAT_EQ(level, -96.0f);
    EXPECT_EQ(GetAudioLevel(0, &level), 0);
    EXPECT_EQ(GetAudioLevel(26000, &level), 154);
    EXPECT_FLOAT_EQ(level, -2.4f);
}

TEST(LevelMeter, FullScaleSetsBarsLevelsAndHold)
{
    ResetMeter();
    LM_Update(32767, 32767, 1, 0);
    EXPECT_EQ(g_nAudioLevelL, 162);
    EXPECT_EQ(g_nAudioLevelR, 162);
    EXPECT_FLOAT_EQ(g_fAudioLevelL, 0.0f);
    EXPECT_FLOAT_EQ(g_fAudioLevelR, 0.0f);
    EXPECT_EQ(g_nPeakL, 10);
    EXPECT_EQ(g_nPeakR, 10);
}

TEST(LevelMeter, BarsFallFiveUnitsAnUpdate)
{
    ResetMeter();
    LM_Update(32767, 32767, 1, 0);
    LM_Update(26000, 129, 1, 0);
    EXPECT_EQ(g_nAudioLevelL, 157);
    EXPECT_EQ(g_nAudioLevelR, 157);
    EXPECT_FLOAT_EQ(g_fAudioLevelR, -96.0f);
    LM_Update(26000, 129, 1, 0);
    EXPECT_EQ(g_nAudioLevelL, 152);
    LM_Update(26000, 129, 1, 0);
    EXPECT_EQ(g_nAudioLevelL, 154);
    EXPECT_EQ(g_nAudioLevelR, 147);
    for (int i = 0; i < 40; ++i)
        LM_Update(26000, 129, 1, 0);
    EXPECT_EQ(g_nAudioLevelL, 154);
    EXPECT_EQ(g_nAudioLevelR, 0);
}

TEST(LevelMeter, HoldRunsDownOverTenUpdatesBelowMinusTwoDecibels)
{
    ResetMeter();
    LM_Update(32767, 0, 1, 0);
    for (int i = 1; i <= 10; ++i) {
        LM_Update(26000, 0, 1, 0);  // -2.4 dB
        EXPECT_EQ(g_nPeakL, 10 - i);
        EXPECT_EQ(g_nPeakR, 0);
    }
    // -2.0 dB or more holds again.
    int minusTwo = static_cast<int>(32768.0f * powf(10.0f, -1.8f / 20.0f));
    LM_Update(minusTwo, 0, 1, 0);
    EXPECT_EQ(g_nPeakL, 10);
    LM_Update(0, 0, 0, 0);
    EXPECT_EQ(g_nPeakL, 0);
}

TEST(LevelMeter, ResetZeroesBarsAndLevelsOnly)
{
    ResetMeter();
    LM_Update(32767, 32767, 1, 0);
    LM_Update(0, 0, 1, 1);
    EXPECT_EQ(g_nAudioLevelL, 0);
    EXPECT_EQ(g_nAudioLevelR, 0);
    EXPECT_FLOAT_EQ(g_fAudioLevelL, -96.0f);
    EXPECT_FLOAT_EQ(g_fAudioLevelR, -96.0f);
    EXPECT_EQ(g_nPeakL, 10);
}

// The peak LED as the board shows it. The board's LED device and driver
// come with the devices issue; until they are merged these tests skip.
class LevelMeterLedTest : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        if (!vrec::board::FindDeviceNode("/dev/vrecled"))
            GTEST_SKIP() << "the board has no LED device yet";
        ASSERT_TRUE(LED_Init());
        ResetMeter();
    }

    void TearDown() override
    {
        LED_Exit();
        BoardTest::TearDown();
    }

    vrec::board::Leds& leds() { return vrec::board::Board::Get().state().leds; }
};

TEST_F(LevelMeterLedTest, PeakLedFollowsTheHoldAndSwitchesOnlyOnChanges)
{
    uint32_t changes = leds().peakChanges.load();
    LM_Update(32767, 32767, 1, 0);
    EXPECT_EQ(leds().peak.load(), 1);
    EXPECT_EQ(leds().peakChanges.load(), changes + 1);
    for (int i = 1; i <= 10; ++i) {
        LM_Update(26000, 26000, 1, 0);
        EXPECT_EQ(leds().peak.load(), i < 10 ? 1 : 0) << i;
    }
    // On once and off once: no calls while the state stays.
    EXPECT_EQ(leds().peakChanges.load(), changes + 2);
    LM_Update(0, 0, 1, 0);
    EXPECT_EQ(leds().peakChanges.load(), changes + 2);
}

TEST_F(LevelMeterLedTest, UpdateWithoutHoldSwitchesALitLedOff)
{
    LM_Update(32767, 0, 1, 0);
    ASSERT_EQ(leds().peak.load(), 1);
    LM_Update(32767, 0, 0, 0);
    EXPECT_EQ(leds().peak.load(), 0);
    EXPECT_EQ(g_nPeakL, 0);
}

}  // namespace
