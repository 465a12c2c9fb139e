// The rules of the application main loop: backlight, dimmer, HOLD, card
// and USB pictures, the format question, battery-empty and auto power-off.
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/StateControl.h"
#include "tests/gui/GuiFixture.h"

#include <unistd.h>

using namespace vrec::test;
using vrec::board::Rgb;

namespace {

class MainLoopTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_Msp430_bAdapterConnect = 0;
        g_bDimmerBacklightOn = 0;
        g_bRecorder = 0;
        g_bRecording = 0;
        g_ScreenManager.SetActive("menu", 1);
        HoldClock();
    }

    static int Backlight() { return State().leds.backlight.load(); }
    // Long enough for at least one 500 ms tick of the loop.
    static void Tick() { usleep(1200 * 1000); }
    // Stays at the level for a while.
    static bool StaysAt(int level)
    {
        for (int i = 0; i < 60; ++i, usleep(20 * 1000))
            if (Backlight() != level)
                return false;
        return true;
    }
};

TEST_F(MainLoopTest, BacklightTimesOutOnBatteryAndAKeyBringsItBack)
{
    SetParameter("/Setup/BACKLIGHT", 5.0f);
    StartLoop();
    Tick();
    Advance(4900);
    Tick();
    EXPECT_EQ(Backlight(), 4);
    Advance(200);
    EXPECT_TRUE(WaitFor([] { return Backlight() == 0; }));
    Tap(KEY_DOWN);
    EXPECT_TRUE(WaitFor([] { return Backlight() == 4; }));
    // The key restarted the time-out.
    Advance(4900);
    Tick();
    EXPECT_EQ(Backlight(), 4);
}

TEST_F(MainLoopTest, BacklightStaysOnWithTheAdapter)
{
    SetParameter("/Setup/BACKLIGHT", 5.0f);
    StartLoop();
    Tick();
    Advance(6000);
    EXPECT_TRUE(WaitFor([] { return Backlight() == 0; }));
    // Plugging the adapter in brings it back at the dimmer level; it stays.
    SetParameter("/Setup/DIMMER", 2.0f);
    g_Msp430_bAdapterConnect = 1;
    EXPECT_TRUE(WaitFor([] { return Backlight() == 2; }));
    Advance(60000);
    Tick();
    EXPECT_TRUE(StaysAt(2));
}

TEST_F(MainLoopTest, BacklightZeroMeansAlwaysOn)
{
    SetParameter("/Setup/BACKLIGHT", 0.0f);
    StartLoop();
    Advance(3600 * 1000);
    Tick();
    EXPECT_TRUE(StaysAt(4));
}

TEST_F(MainLoopTest, DimmerAllOffWakesTheBacklightFor5Seconds)
{
    SetParameter("/Setup/DIMMER", 0.0f);
    LED_SetBacklight(0);
    StartLoop();
    Tick();
    Tap(KEY_DOWN);
    EXPECT_EQ(Backlight(), 4);
    Advance(4900);
    Tick();
    EXPECT_EQ(Backlight(), 4);
    Advance(200);
    EXPECT_TRUE(WaitFor([] { return Backlight() == 0; }));
    EXPECT_EQ(g_bDimmerBacklightOn, 0);
}

TEST_F(MainLoopTest, DimmerChangedDuringAWakeUpTakesOver)
{
    SetParameter("/Setup/DIMMER", 0.0f);
    LED_SetBacklight(0);
    StartLoop();
    Tap(KEY_DOWN);
    ASSERT_EQ(Backlight(), 4);
    SetParameter("/Setup/DIMMER", 2.0f);
    EXPECT_TRUE(WaitFor([] { return Backlight() == 2; }));
    Advance(10000);
    Tick();
    EXPECT_TRUE(StaysAt(2));
}

TEST_F(MainLoopTest, HoldShowsOneMessageFor2Seconds)
{
    KEY_EnableHold(1);
    Keys(KEY_HOLD, true);
    StartLoop();
    Tick();
    int group = GetMenuInfo()->nSelectedGroup;
    Tap(KEY_DOWN);
    ASSERT_TRUE(WaitForBox(BOX_TIMER));
    EXPECT_STREQ(g_ScreenManager.m_szBoxText, "\nHOLD ON!\n\n");
    Advance(1000);
    Tap(KEY_UP);  // blocked again: no second message
    Advance(1000);
    EXPECT_TRUE(WaitFor([] { return BoxState() == BOX_NONE; }));
    usleep(300 * 1000);
    EXPECT_EQ(BoxState(), BOX_NONE);
    // The menu saw none of the blocked keys.
    EXPECT_EQ(GetMenuInfo()->nSelectedGroup, group);
    KEY_EnableHold(0);
}

TEST_F(MainLoopTest, HoldMessageIsDrawnInTheMiddleOfTheScreen)
{
    KEY_EnableHold(1);
    Keys(KEY_HOLD, true);
    StartLoop();
    Tick();
    Tap(KEY_MENU);
    ASSERT_TRUE(WaitForBox(BOX_TIMER));
    Tick();
    vrec::board::RgbImage lcd = Lcd();
    Snap("hold");
    // Four lines, 56 pixels high, centred: (30, 92) to (289, 147).
    Rgb box = At(lcd, 160, 100);
    EXPECT_GT(box.r, 200);  // a light box over the dark menu
    EXPECT_GT(CountNear(lcd, 30, 110, 260, 20, Shown(0)), 30);  // the black text "HOLD ON!"
    EXPECT_FALSE(Same(At(lcd, 160, 88), box));
    KEY_EnableHold(0);
}

TEST_F(MainLoopTest, NoCardShowsRedTextAndACardBeingCheckedWhiteText)
{
    g_bSdCard = 0;
    Keys(KEY_SD_DETECT, false);
    StartLoop();
    Tick();
    vrec::board::RgbImage lcd = Lcd();
    Snap("nocard");
    EXPECT_GT(CountNear(lcd, 0, 96, 320, 24, Shown(0xF800), 40), 100);
    EXPECT_EQ(CountNear(lcd, 0, 96, 320, 24, Shown(0xFFFF), 40), 0);
    EXPECT_TRUE(Same(At(lcd, 10, 10), Shown(0)));

    Keys(KEY_SD_DETECT, true);
    Tick();
    lcd = Lcd();
    EXPECT_GT(CountNear(lcd, 0, 96, 320, 24, Shown(0xFFFF), 40), 100);
    EXPECT_EQ(CountNear(lcd, 0, 96, 320, 24, Shown(0xF800), 40), 0);
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(0)));  // no header outside a firmware update

    g_FW_UPDATE = 1;
    Tick();
    lcd = Lcd();
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(GUI_COLOR_HEADER)));
    g_FW_UPDATE = 0;
}

TEST_F(MainLoopTest, UsbModeShowsTheUsbPicture)
{
    StartLoop();
    Tick();
    g_bUsbMode = 1;
    Tick();
    vrec::board::RgbImage lcd = Lcd();
    g_bUsbMode = 0;
    int same = 0;
    int points = 0;
    for (int y = 5; y < 240; y += 17)
        for (int x = 3; x < 320; x += 23, ++points)
            if (Same(At(lcd, x, y), Shown(g_pBmp_usb_bg->aPixels[y * 320 + x])))
                ++same;
    EXPECT_EQ(same, points);
}

TEST_F(MainLoopTest, FormatQuestionShowsOnlyTheBoxAndNoKeepsTheCard)
{
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/MY_FOLDER/keep.wav"), "data"));
    StartLoop();
    Tick();
    g_bSdCardFormatReq = 1;
    ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
    EXPECT_EQ(g_bSdCardFormatting, 1);
    EXPECT_EQ(g_bSdCardFormatReq, 0);
    EXPECT_EQ(std::string(g_ScreenManager.m_szBoxText), "--- FORMAT ERROR ---\nFormat this card. Are You Sure ?");
    Tick();
    vrec::board::RgbImage lcd = Lcd();
    Snap("format-question");
    EXPECT_TRUE(Same(At(lcd, 160, 40), Shown(0)));  // the screen is black above the box
    Rgb boxTop = At(lcd, 160, 240 - 60 + 2);        // two lines: a 60-pixel box
    EXPECT_GT(boxTop.r, 200);
    Tap(KEY_F3);
    EXPECT_TRUE(WaitFor([] { return BoxState() == BOX_NONE && g_bSdCardFormatting == 0; }));
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER/keep.wav")));
}

// Power-off ends the process: these run as death tests, each in a process
// of its own that must end with the board's power cut (exit status 0).
class PowerOffRuleTest : public MainLoopTest
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        MainLoopTest::SetUp();
    }
    static void Say(const char* text)
    {
        fprintf(stderr, "%s\n", text);
        fflush(stderr);
    }
    static void NeverReached()
    {
        sleep(20);
        Say("still running");
        _exit(3);
    }
};

TEST_F(PowerOffRuleTest, BatteryEmptyPowersOff15SecondsLaterInsideTheBox)
{
    EXPECT_EXIT(
        {
            StartLoop();
            Tick();
            g_bPowerOffReq = 1;
            if (!WaitForBox(BOX_CONFIRM))
                _exit(4);
            if (std::string(g_ScreenManager.m_szBoxText).find("Battery Empty") != std::string::npos)
                Say("box shown");
            Advance(14900);
            Tick();
            if (BoxState() == BOX_CONFIRM)
                Say("on at 14.9 s");
            Advance(200);
            NeverReached();
        },
        testing::ExitedWithCode(0), "box shown\non at 14.9 s\n");
}

TEST_F(PowerOffRuleTest, BatteryEmptyPowersOffAlsoAfterTheBoxIsClosed)
{
    EXPECT_EXIT(
        {
            StartLoop();
            g_bPowerOffReq = 1;
            if (!WaitForBox(BOX_CONFIRM))
                _exit(4);
            Tap(KEY_ENTER);
            if (WaitFor([] { return BoxState() == BOX_NONE; }))
                Say("box closed");
            Advance(10000);
            Tick();
            Say("on at 10 s");
            Advance(5100);
            NeverReached();
        },
        testing::ExitedWithCode(0), "box closed\non at 10 s\n");
}

TEST_F(PowerOffRuleTest, AutoOffAfterTheSetMinutesIdle)
{
    SetParameter("/Setup/AUTO OFF", 3.0f);
    EXPECT_EXIT(
        {
            StartLoop();
            Tick();
            Advance(100 * 1000);
            Tap(KEY_DOWN);  // a key change restarts the count
            Advance(179 * 1000);
            Tick();
            Say("on 179 s after the key");
            Advance(2000);
            NeverReached();
        },
        testing::ExitedWithCode(0), "on 179 s after the key\n");
}

TEST_F(PowerOffRuleTest, AutoOffWaitsWhileRecording)
{
    SetParameter("/Setup/AUTO OFF", 3.0f);
    g_bRecorder = 1;
    g_bRecording = 1;
    EXPECT_EXIT(
        {
            StartLoop();
            Tick();
            Advance(200 * 1000);
            Tick();
            Say("on while recording");
            g_bRecording = 0;
            Tick();
            Advance(181 * 1000);
            NeverReached();
        },
        testing::ExitedWithCode(0), "on while recording\n");
}

TEST_F(MainLoopTest, AutoOffZeroNeverPowersOff)
{
    SetParameter("/Setup/AUTO OFF", 0.0f);
    StartLoop();
    Advance(24 * 3600 * 1000);
    Tick();
    Tick();
    // Still here: the process would have ended otherwise.
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
}

}  // namespace
