// The device program booting on a board: the first screen from the keys
// held at power-on and the clock, the LCD it shows, settings changed in the
// menu surviving a power-off, and auto power-off, all from the outside.
#include "DrvLib/Key.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "sim/board/Board.h"
#include "tests/gui/GuiFixture.h"
#include "tests/support/AppProcess.h"

#include <unistd.h>

using namespace vrec::test;
using vrec::board::Board;
using vrec::board::RgbImage;

namespace {

constexpr int64_t k2012July1At10 = 1341136800LL;  // 2012-07-01 10:00:00 UTC

class BootTest : public PanelTest
{
protected:
    void TearDown() override
    {
        if (app_ && !app_->exited()) {
            app_->Send("quit");
            if (!app_->Wait(10000))
                app_->Kill();
        }
        PanelTest::TearDown();
    }
    void Boot()
    {
        app_ = std::make_unique<AppProcess>(BoardRoot());
        ASSERT_TRUE(app_->Start());
    }
    void ExpectScreen(const std::string& name)
    {
        EXPECT_TRUE(WaitFor([&] { return ActiveScreen() == name; }, 15000))
            << "active: '" << ActiveScreen() << "'\n" << app_->Output() << app_->Errors();
    }
    // Long enough for the screen's next complete draw.
    static void Settle() { usleep(1000 * 1000); }
    static void SetClock() { Board::Get().SetRtcTimeUs((k2012July1At10 + 3 * 365 * 86400LL) * 1000000); }
    static int64_t RtcSeconds() { return Board::Get().RtcTimeUs() / 1000000; }

    std::unique_ptr<AppProcess> app_;
};

TEST_F(BootTest, AnUnsetClockAsksForTheDateFirst)
{
    Boot();
    ExpectScreen("datetime");
    EXPECT_NEAR(static_cast<double>(RtcSeconds()), static_cast<double>(k2012July1At10), 120.0);
    Settle();
    RgbImage lcd = Lcd();
    Snap("boot-datetime");
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(GUI_COLOR_HEADER)));
    EXPECT_GT(CountNear(lcd, 64, 70, 50, 20, Shown(0), 30), 20);     // "2012", black on the highlight
    EXPECT_GT(CountNear(lcd, 151, 70, 30, 20, Shown(0xFFFF), 30), 15);  // "07" in white

    Tap(KEY_UP);  // 2013
    Tap(KEY_F1);  // SET
    ExpectScreen("player");
    EXPECT_NEAR(static_cast<double>(RtcSeconds()), static_cast<double>(k2012July1At10 + 365 * 86400LL), 120.0);
    Tap(KEY_MENU);
    ExpectScreen("menu");
    Settle();
    lcd = Lcd();
    Snap("boot-menu");
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(GUI_COLOR_HEADER)));
    EXPECT_GT(CountNear(lcd, 27, 47, 126, 2, {0xFF, 0xD6, 0x00}, 60), 100);  // the frame on the first tile
}

TEST_F(BootTest, StopAndDisplayHeldStartTheTestMode)
{
    Keys(KEY_STOP | KEY_DISPLAY, true);
    Boot();
    ExpectScreen("testmode");
    Keys(KEY_STOP | KEY_DISPLAY, false);
    EXPECT_NEAR(static_cast<double>(RtcSeconds()), static_cast<double>(k2012July1At10), 120.0);
}

TEST_F(BootTest, RecordPlayAndF3HeldStartTheFirmwareUpdate)
{
    SetClock();
    Keys(KEY_RECORD | KEY_PLAY | KEY_F3, true);
    Boot();
    ExpectScreen("fwupdate");
    Keys(KEY_RECORD | KEY_PLAY | KEY_F3, false);
    EXPECT_TRUE(app_->WaitForOutput(" ================= Start FW UPDATE ==============", 5000)) << app_->Output();
}

TEST_F(BootTest, ASetClockStartsThePlayerAndHoldIsOn)
{
    SetClock();
    Boot();
    ExpectScreen("player");
    Settle();
    Keys(KEY_HOLD, true);
    Tap(KEY_MENU);
    Settle();
    EXPECT_EQ(ActiveScreen(), "player");  // MENU was held back
    Keys(KEY_HOLD, false);
    usleep(2500 * 1000);  // the "HOLD ON!" message goes
    Tap(KEY_MENU);
    ExpectScreen("menu");
}

TEST_F(BootTest, ASettingChangedInTheMenuSurvivesPowerOff)
{
    SetClock();
    Boot();
    ExpectScreen("player");
    // The player screen takes MENU once its first picture is up: press again
    // as a person would.
    for (int attempt = 0; attempt < 10 && ActiveScreen() != "menu"; ++attempt) {
        Tap(KEY_MENU);
        WaitFor([] { return ActiveScreen() == "menu"; }, 1000);
    }
    ExpectScreen("menu");
    Tap(KEY_RIGHT);
    Tap(KEY_DOWN);    // Setup
    Tap(KEY_ENTER);
    Tap(KEY_DOWN);
    Tap(KEY_DOWN);    // DIMMER
    Tap(KEY_ENTER);
    Tap(KEY_DOWN);    // LOW, applied at once
    EXPECT_TRUE(WaitFor([] { return State().leds.backlight.load() == 2; }));
    Tap(KEY_ENTER);
    Settle();
    Snap("boot-setup");

    // F1 held: the device powers off.
    Keys(KEY_F1, true);
    ASSERT_TRUE(app_->Wait(20000)) << app_->Output();
    Keys(KEY_F1, false);
    EXPECT_EQ(app_->exitStatus(), 0);
    EXPECT_NE(app_->Output().find("PowerOff()!!!"), std::string::npos);
    EXPECT_EQ(State().power.powerCut.load(), 1);
    EXPECT_NE(ReadFile(HostPath("/mnt/mtd5/NVRAM.txt")).find("/Setup/DIMMER=2\n"), std::string::npos);
    // The panel went dark over the shut-down picture.
    EXPECT_EQ(State().leds.backlight.load(), 0);
    State().leds.backlight = 4;
    RgbImage lcd = Lcd();
    BITMAP* shutdown = GRA_LoadBitmap("img/shutdown_bg.bmp");
    ASSERT_NE(shutdown, nullptr);
    for (int y = 3; y < 240; y += 29)
        for (int x = 5; x < 320; x += 31)
            ASSERT_TRUE(Same(At(lcd, x, y), Shown(shutdown->aPixels[y * 320 + x]))) << x << "," << y;
    GRA_FreeBitmap(shutdown);
    State().leds.backlight = 0;

    Boot();
    ExpectScreen("player");
    EXPECT_TRUE(WaitFor([] { return State().leds.backlight.load() == 2; }));
}

TEST_F(BootTest, AutoOffPowersTheIdleDeviceOff)
{
    SetClock();
    ASSERT_TRUE(WriteFile(HostPath("/mnt/mtd5/NVRAM.txt"), "/Setup/AUTO OFF=3\n"));
    Boot();
    ExpectScreen("player");
    Settle();  // the main loop has seen the keys once
    HoldClock();
    Advance(179 * 1000);
    usleep(1500 * 1000);
    EXPECT_FALSE(app_->exited());
    Advance(2000);
    ASSERT_TRUE(app_->Wait(20000)) << app_->Output();
    EXPECT_EQ(app_->exitStatus(), 0);
    EXPECT_NE(app_->Output().find("PowerOff()!!!"), std::string::npos);
}

}  // namespace
