// Key input: the board's key device, HOLD, F1 from the power controller
// and the key names.
#include "DrvLib/Key.h"
#include "DrvLib/Msp430.h"
#include "Lib/Sys.h"
#include "sim/board/Board.h"
#include "sim/board/KeyBits.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>

namespace {

namespace keybit = vrec::board::keybit;

class Keys : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        g_Msp430_bKeyPress_F1 = 0;
        KEY_EnableHold(0);
        Lines(keybit::kHold | keybit::kPlay | keybit::kStop | keybit::kW | keybit::kT | keybit::kSpeaker, false);
        ASSERT_EQ(KEY_Init(), 1);
    }

    void TearDown() override
    {
        KEY_Exit();
        KEY_EnableHold(0);
        g_Msp430_bKeyPress_F1 = 0;
        BoardTest::TearDown();
    }

    static void Lines(uint32_t bits, bool on) { vrec::board::SetKeyBits(vrec::board::Board::Get().state(), bits, on); }
    static uint32_t LinesNow() { return vrec::board::Board::Get().state().keys.mask.load(); }

    static std::string Name(int mask, int all)
    {
        char name[32] = "junk";
        int found = KEY_GetName(name, mask, all);
        EXPECT_EQ(found, name[0] != 0) << name;
        return name;
    }
};

TEST_F(Keys, InitReadsTheLinesAtOnce)
{
    KEY_Exit();
    Lines(keybit::kStop, true);
    ASSERT_EQ(KEY_Init(), 1);
    EXPECT_EQ(KEY_Get(0, nullptr), LinesNow());
    EXPECT_TRUE(KEY_Get(0, nullptr) & KEY_STOP);
}

TEST_F(Keys, TheDeviceIsReadOnlyWhenAsked)
{
    Lines(keybit::kPlay, true);
    EXPECT_FALSE(KEY_Get(0, nullptr) & KEY_PLAY);
    EXPECT_TRUE(KEY_Get(1, nullptr) & KEY_PLAY);
    Lines(keybit::kPlay, false);
    EXPECT_TRUE(KEY_Get(0, nullptr) & KEY_PLAY);
    EXPECT_FALSE(KEY_Get(1, nullptr) & KEY_PLAY);
    EXPECT_EQ(KEY_Get(1, nullptr), LinesNow());
}

TEST_F(Keys, HoldBlocksTheKeysButNotTheSwitchesAndDetects)
{
    KEY_EnableHold(1);
    Lines(keybit::kHold | keybit::kPlay | keybit::kSpeaker | keybit::kSdDetect | keybit::kMicDetect, true);
    int blocked = 0;
    unsigned long mask = KEY_Get(1, &blocked);
    EXPECT_EQ(blocked, 1);
    EXPECT_EQ(mask & KEY_MASK_KEYS, 0u);
    EXPECT_TRUE(mask & KEY_HOLD);
    EXPECT_TRUE(mask & KEY_SPEAKER);
    EXPECT_TRUE(mask & KEY_SD_DETECT);
    EXPECT_TRUE(mask & KEY_MIC_DETECT);
    EXPECT_EQ(KEY_Get(0, nullptr), mask);  // the stored mask is the blocked one

    Lines(keybit::kPlay, false);
    blocked = 1;
    KEY_Get(1, &blocked);
    EXPECT_EQ(blocked, 0);

    // F1 is a key like the others.
    g_Msp430_bKeyPress_F1 = 1;
    blocked = 0;
    EXPECT_FALSE(KEY_Get(1, &blocked) & KEY_F1);
    EXPECT_EQ(blocked, 1);
}

TEST_F(Keys, HoldNotEnabledBlocksNothing)
{
    Lines(keybit::kHold | keybit::kPlay, true);
    int blocked = -7;
    unsigned long mask = KEY_Get(1, &blocked);
    EXPECT_TRUE(mask & KEY_HOLD);
    EXPECT_TRUE(mask & KEY_PLAY);
    EXPECT_EQ(blocked, -7);

    // Enabled but the switch off: untouched as well.
    KEY_EnableHold(1);
    Lines(keybit::kHold, false);
    mask = KEY_Get(1, &blocked);
    EXPECT_TRUE(mask & KEY_PLAY);
    EXPECT_EQ(blocked, -7);
}

TEST_F(Keys, F1ComesFromThePowerControllerOnly)
{
    vrec::board::HardwareState& state = vrec::board::Board::Get().state();
    // A stray F1 on the key lines is not the key.
    Lines(keybit::kF1, true);
    EXPECT_FALSE(KEY_Get(1, nullptr) & KEY_F1);

    state.power.f1Pressed = 1;
    ASSERT_EQ(MSP430_Init(), 1);
    ASSERT_EQ(MSP430_UpdateF1(), 1);
    EXPECT_TRUE(KEY_Get(1, nullptr) & KEY_F1);
    state.power.f1Pressed = 0;
    ASSERT_EQ(MSP430_UpdateF1(), 1);
    EXPECT_FALSE(KEY_Get(1, nullptr) & KEY_F1);
    MSP430_Exit();
}

TEST_F(Keys, EveryKeyHasItsName)
{
    const std::pair<int, const char*> keys[] = {
        {0x4, "F1"},      {0x8, "F2"},       {0x10, "F3"},     {0x20, "MENU"},    {0x40, "MODE"},
        {0x80, "DISPLAY"}, {0x100, "T"},     {0x200, "W"},     {0x400, "UP"},     {0x800, "ENTER"},
        {0x1000, "LEFT"}, {0x2000, "RIGHT"}, {0x4000, "DOWN"}, {0x8000, "RECORD"}, {0x10000, "PLAY"},
        {0x20000, "STOP"},
    };
    for (const auto& key : keys) {
        EXPECT_EQ(Name(key.first, 0), key.second);
        EXPECT_EQ(Name(key.first, 1), key.second);
    }
    const std::pair<int, const char*> switches[] = {
        {0x1, "SPEAKER"},        {0x2, "HOLD"},          {0x40000, "PHONE_DETECT"},
        {0x80000, "MIC_DETECT"}, {0x100000, "SD_DETECT"}, {0x200000, "CAMERA_SW"},
    };
    for (const auto& sw : switches) {
        EXPECT_EQ(Name(sw.first, 0), "");
        EXPECT_EQ(Name(sw.first, 1), sw.second);
    }
    EXPECT_EQ(Name(0x400000, 1), "");  // HDMI and USB detects have no name
    EXPECT_EQ(Name(0x800000, 1), "");
    EXPECT_EQ(Name(0, 1), "");
}

TEST_F(Keys, TheFirstNameInOrderWins)
{
    EXPECT_EQ(Name(KEY_W | KEY_T, 0), "W");
    EXPECT_EQ(Name(KEY_DOWN | KEY_LEFT, 0), "DOWN");
    EXPECT_EQ(Name(KEY_ENTER | KEY_RIGHT, 0), "RIGHT");
    EXPECT_EQ(Name(KEY_UP | KEY_T, 0), "T");
    EXPECT_EQ(Name(KEY_STOP | KEY_HOLD, 1), "STOP");
    EXPECT_EQ(Name(KEY_SPEAKER | KEY_HOLD, 1), "HOLD");
    EXPECT_EQ(Name(KEY_SD_DETECT | KEY_CAMERA_SW | KEY_MIC_DETECT, 1), "MIC_DETECT");
}

TEST_F(Keys, TheDeviceIsReadableOnlyAfterAChange)
{
    int fd = SYS_open("/dev/vreckey", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    auto readable = [fd] {
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        struct timeval tv = {0, 0};
        return SYS_select(fd + 1, &fds, nullptr, nullptr, &tv) == 1 && FD_ISSET(fd, &fds);
    };
    auto readMask = [fd](uint32_t* mask) {
        unsigned char bytes[4];
        ssize_t n = SYS_read(fd, bytes, 4);
        *mask = static_cast<uint32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
        return n;
    };
    uint32_t mask = 0;
    EXPECT_TRUE(readable());  // a new descriptor has not read the lines yet
    ASSERT_EQ(readMask(&mask), 4);
    EXPECT_EQ(mask, LinesNow());
    EXPECT_FALSE(readable());
    errno = 0;
    EXPECT_EQ(readMask(&mask), -1);
    EXPECT_EQ(errno, EAGAIN);

    Lines(keybit::kRecord, true);
    EXPECT_TRUE(readable());
    ASSERT_EQ(readMask(&mask), 4);
    EXPECT_TRUE(mask & keybit::kRecord);
    EXPECT_FALSE(readable());
    EXPECT_EQ(SYS_close(fd), 0);

    EXPECT_LT(SYS_open("/dev/vreckey", O_RDWR), 0);
}

}  // namespace
