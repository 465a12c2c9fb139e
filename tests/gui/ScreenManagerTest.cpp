// The button state machine, screen switching and the modal boxes.
#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/VPBE/Display.h"
#include "tests/gui/GuiFixture.h"

#include <memory>
#include <string>
#include <vector>

using namespace vrec::test;

namespace {

struct Event
{
    std::string kind;
    unsigned long mask;
    DWORD at;  // ms after the start of the test clock
};

// A screen that records what it is told.
struct Recorder
{
    static std::vector<Event> events;
    static DWORD start;
    static std::string name;
    static int setActiveCalls;
    static int killActiveCalls;
    static int resetCalls;
    static std::vector<std::string> order;

    static void Add(const char* kind, unsigned long mask) { events.push_back({kind, mask, GetTime() - start}); }
    static int Press(unsigned long m) { Add("press", m); return 0; }
    static int Release(unsigned long m) { Add("release", m); return 0; }
    static int Long(unsigned long m) { Add("long", m); return 0; }
    static int Repeat(unsigned long m) { Add("repeat", m); return 0; }
    static int SetActive(CScreenBase*) { ++setActiveCalls; order.push_back("set"); return 7; }
    static int KillActive(CScreenBase*) { ++killActiveCalls; order.push_back("kill"); return 0; }
    static void Reset() { ++resetCalls; order.push_back("reset"); }

    static std::vector<Event> Of(const std::string& kind)
    {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.kind == kind)
                out.push_back(e);
        return out;
    }
};

std::vector<Event> Recorder::events;
DWORD Recorder::start = 0;
std::string Recorder::name = "recorder";
int Recorder::setActiveCalls = 0;
int Recorder::killActiveCalls = 0;
int Recorder::resetCalls = 0;
std::vector<std::string> Recorder::order;

const char* RecorderName() { return "recorder"; }
const char* OtherName() { return "other"; }

CScreenBase MakeScreen(const char* (*name)(void))
{
    CScreenBase screen;
    SCREEN_InitTable(&screen);
    screen.GetName = name;
    screen.OnButtonPress = Recorder::Press;
    screen.OnButtonRelease = Recorder::Release;
    screen.OnButtonLongPress = Recorder::Long;
    screen.OnButtonRepeat = Recorder::Repeat;
    screen.OnSetActive = Recorder::SetActive;
    screen.OnKillActive = Recorder::KillActive;
    screen.ResetAllDraw = Recorder::Reset;
    return screen;
}

class ButtonStateTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        HoldClock();
        Recorder::events.clear();
        Recorder::start = GetTime();
        manager_ = std::make_unique<CScreenManager>();
        screen_ = MakeScreen(RecorderName);
        manager_->Add(&screen_);
        manager_->SetActive(&screen_);
    }

    // One loop pass of 50 ms with the keys in mask.
    void Pass(unsigned long mask)
    {
        manager_->UpdateButtonState(mask);
        Advance(50);
    }
    void Hold(unsigned long mask, int ms)
    {
        for (int t = 0; t < ms; t += 50)
            Pass(mask);
    }

    std::unique_ptr<CScreenManager> manager_;
    CScreenBase screen_;
};

TEST_F(ButtonStateTest, HeldKeyWithoutRepeatGivesPressThenOneLongPressThenRelease)
{
    Hold(KEY_RIGHT, 3000);
    Pass(0);
    auto presses = Recorder::Of("press");
    auto longs = Recorder::Of("long");
    auto releases = Recorder::Of("release");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].at, 0u);
    EXPECT_EQ(presses[0].mask, static_cast<unsigned long>(KEY_RIGHT));
    ASSERT_EQ(longs.size(), 1u);
    EXPECT_EQ(longs[0].at, 1500u);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].at, 3000u);
    EXPECT_TRUE(Recorder::Of("repeat").empty());
}

TEST_F(ButtonStateTest, ShortHoldGivesNoLongPress)
{
    Hold(KEY_DOWN, 1450);
    Pass(0);
    EXPECT_EQ(Recorder::Of("press").size(), 1u);
    EXPECT_TRUE(Recorder::Of("long").empty());
    EXPECT_EQ(Recorder::Of("release").size(), 1u);
}

TEST_F(ButtonStateTest, AutoRepeatStartsAfter500msThenFollowsThePeriod)
{
    manager_->SetButtonAutoRepeat(KEY_UP, 100);
    Hold(KEY_UP, 1000);
    Pass(0);
    ASSERT_EQ(Recorder::Of("press").size(), 1u);
    std::vector<DWORD> times;
    for (const Event& e : Recorder::Of("repeat"))
        times.push_back(e.at);
    EXPECT_EQ(times, (std::vector<DWORD>{500, 600, 700, 800, 900}));
    EXPECT_TRUE(Recorder::Of("long").empty());

    Recorder::events.clear();
    manager_->SetButtonAutoRepeat(KEY_UP, 0);  // off again: the long press comes back
    Hold(KEY_UP, 1600);
    EXPECT_EQ(Recorder::Of("long").size(), 1u);
    EXPECT_TRUE(Recorder::Of("repeat").empty());
}

TEST_F(ButtonStateTest, PlayTapIsReportedAtTheRelease)
{
    Hold(KEY_PLAY, 300);
    EXPECT_TRUE(Recorder::Of("press").empty());
    Pass(0);
    ASSERT_EQ(Recorder::events.size(), 2u);
    EXPECT_EQ(Recorder::events[0].kind, "press");
    EXPECT_EQ(Recorder::events[0].at, 300u);
    EXPECT_EQ(Recorder::events[1].kind, "release");
    // The screen sees the key already up when told of the press.
    EXPECT_EQ(manager_->GetButtonState(KEY_PLAY), 0);
}

TEST_F(ButtonStateTest, LongPlayGivesLongPressAndAtReleaseNoPress)
{
    Hold(KEY_PLAY, 2000);
    Pass(0);
    ASSERT_EQ(Recorder::events.size(), 2u);
    EXPECT_EQ(Recorder::events[0].kind, "long");
    EXPECT_EQ(Recorder::events[0].at, 1500u);
    EXPECT_EQ(Recorder::events[1].kind, "release");
    // The next tap is a press again.
    Recorder::events.clear();
    Hold(KEY_PLAY, 100);
    Pass(0);
    EXPECT_EQ(Recorder::Of("press").size(), 1u);
}

TEST_F(ButtonStateTest, F1IsDeferredLikePlay)
{
    Hold(KEY_F1 | KEY_RIGHT, 200);
    // RIGHT reports at once, F1 not yet.
    ASSERT_EQ(Recorder::Of("press").size(), 1u);
    EXPECT_EQ(Recorder::Of("press")[0].mask, static_cast<unsigned long>(KEY_RIGHT));
    Pass(0);
    auto presses = Recorder::Of("press");
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(presses[1].mask, static_cast<unsigned long>(KEY_F1));
}

TEST_F(ButtonStateTest, NeedReleaseOfAKeyThatIsUpClearsAtOnce)
{
    manager_->SetButtonNeedRelease(KEY_ENTER);
    Pass(0);
    Hold(KEY_ENTER, 100);
    EXPECT_EQ(Recorder::Of("press").size(), 1u);
}

TEST_F(ButtonStateTest, NeedReleaseSetWhileHeldYieldsNoPressForThatHolding)
{
    // A holding that began under another screen (so the manager saw it down).
    Hold(KEY_LEFT, 100);
    Recorder::events.clear();
    manager_->SetButtonNeedRelease(KEY_LEFT);
    Hold(KEY_LEFT, 300);
    EXPECT_TRUE(Recorder::Of("press").empty());
    Pass(0);
    Hold(KEY_LEFT, 50);
    EXPECT_EQ(Recorder::Of("press").size(), 1u);
}

TEST_F(ButtonStateTest, DimmerAllOffLightsTheBacklightOnAKey)
{
    SetParameter("/Setup/DIMMER", 0.0f);
    LED_SetBacklight(0);
    g_bDimmerBacklightOn = 0;
    Advance(1000);
    Hold(KEY_DOWN, 50);
    EXPECT_EQ(State().leds.backlight.load(), 4);
    EXPECT_EQ(g_bDimmerBacklightOn, 1);
    EXPECT_EQ(g_dwDimmerPreTime, Recorder::start + 1000);

    // With the dimmer on, a key does not touch the backlight.
    SetParameter("/Setup/DIMMER", 2.0f);
    g_bDimmerBacklightOn = 0;
    LED_SetBacklight(2);
    Pass(0);
    Hold(KEY_DOWN, 50);
    EXPECT_EQ(State().leds.backlight.load(), 2);
    EXPECT_EQ(g_bDimmerBacklightOn, 0);
}

class ScreenSwitchTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        Recorder::setActiveCalls = Recorder::killActiveCalls = Recorder::resetCalls = 0;
        Recorder::order.clear();
        manager_ = std::make_unique<CScreenManager>();
        a_ = MakeScreen(RecorderName);
        b_ = MakeScreen(OtherName);
        manager_->Add(&a_);
        manager_->Add(&b_);
    }
    std::unique_ptr<CScreenManager> manager_;
    CScreenBase a_, b_;
};

TEST_F(ScreenSwitchTest, FindsScreensByNameAndNotesTheActiveOne)
{
    EXPECT_EQ(manager_->FindScreen("other"), &b_);
    EXPECT_EQ(manager_->FindScreen("none"), nullptr);
    EXPECT_EQ(manager_->GetActive(), nullptr);
    manager_->SetActive("other", 1);
    EXPECT_STREQ(manager_->GetActive(), "other");
    EXPECT_EQ(ActiveScreen(), "other");
}

TEST_F(ScreenSwitchTest, NotifiedSwitchKillsResetsAndActivatesInOrder)
{
    manager_->SetActive(&a_);
    Recorder::order.clear();
    EXPECT_EQ(manager_->SetActive(&b_), 7);  // the new screen's OnSetActive result
    EXPECT_EQ(Recorder::order, (std::vector<std::string>{"kill", "reset", "set"}));
}

TEST_F(ScreenSwitchTest, SwitchWithoutNotificationCallsNothing)
{
    manager_->SetActive("recorder", 0);
    EXPECT_STREQ(manager_->GetActive(), "recorder");
    EXPECT_EQ(Recorder::setActiveCalls + Recorder::killActiveCalls + Recorder::resetCalls, 0);
    EXPECT_EQ(ActiveScreen(), "recorder");
}

TEST_F(ScreenSwitchTest, OnlyThePlayerLeavesTheOsdLayerAsItIs)
{
    FB_SetEnable(0);
    g_ScreenManager.SetActive("player", 1);
    EXPECT_EQ(FB_GetEnable(), 0);
    g_ScreenManager.SetActive("menu", 0);
    EXPECT_EQ(FB_GetEnable(), 1);
}

TEST_F(ScreenSwitchTest, UnknownNameLeavesNoActiveScreen)
{
    manager_->SetActive("recorder", 1);
    manager_->SetActive("nowhere", 1);
    EXPECT_EQ(manager_->GetActive(), nullptr);
    EXPECT_EQ(manager_->UpdateButtonState(KEY_UP), 0);  // keys go nowhere, harmlessly
}

// The boxes run the main loop nested, on the global manager.
class BoxTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        recorder_ = MakeScreen(RecorderName);
        Recorder::events.clear();
        Recorder::start = GetTime();
        g_ScreenManager.SetActive(&recorder_);
    }
    // Runs a box on a thread (as the GUI thread would) and returns its result.
    template <class F>
    int RunBox(F open, const std::function<void()>& person)
    {
        int result = -2;
        std::thread gui([&] { result = open(); });
        person();
        gui.join();
        return result;
    }
    CScreenBase recorder_;
};

TEST_F(BoxTest, ConfirmIsAnsweredByItsKeysOnly)
{
    int result = RunBox([] { return g_ScreenManager.Confirm("Sure?", KEY_F1, "YES", KEY_F3, "NO"); },
                        [] {
                            ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
                            Tap(KEY_DOWN);
                            Tap(KEY_ENTER);
                            EXPECT_EQ(BoxState(), BOX_CONFIRM);
                            Tap(KEY_F3);
                        });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxState(), BOX_NONE);
    // The screen under the box got none of those presses.
    EXPECT_TRUE(Recorder::Of("press").empty());

    result = RunBox([] { return g_ScreenManager.Confirm("Sure?", KEY_F1, "YES", KEY_F3, "NO"); },
                    [] {
                        ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
                        Tap(KEY_F1);
                    });
    EXPECT_EQ(result, 1);
}

TEST_F(BoxTest, AKeyHeldWhenTheBoxOpensDoesNotAnswerIt)
{
    Keys(KEY_ENTER, true);
    int result = RunBox(
        [] {
            // The GUI saw ENTER down before the box.
            g_ScreenManager.UpdateButtonState(KEY_ENTER);
            return g_ScreenManager.Alert("Format OK.");
        },
        [] {
            ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
            usleep(400 * 1000);
            EXPECT_EQ(BoxState(), BOX_CONFIRM);
            Keys(KEY_ENTER, false);
            usleep(200 * 1000);
            EXPECT_EQ(BoxState(), BOX_CONFIRM);
            Tap(KEY_ENTER);
        });
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(g_ScreenManager.m_szBoxText, "\nFormat OK.\n\n\x07  ENTER  \x07");
}

TEST_F(BoxTest, ErrorBoxCarriesTheIconAndTheFormattedText)
{
    int result = RunBox([] { return g_ScreenManager.Error("Card %d of %s", 2, "two"); },
                        [] {
                            ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
                            EXPECT_STREQ(g_ScreenManager.m_szBoxText, "\x08" "0\nCard 2 of two\n\n\x07  ENTER  \x07");
                            EXPECT_EQ(g_ScreenManager.m_dwYesKey, static_cast<unsigned long>(KEY_ENTER));
                            EXPECT_EQ(g_ScreenManager.m_dwNoKey, 0u);
                            Tap(KEY_MENU);
                            EXPECT_EQ(BoxState(), BOX_CONFIRM);
                            Tap(KEY_ENTER);
                        });
    EXPECT_EQ(result, 1);
}

TEST_F(BoxTest, TimedMessageClosesByItselfAndSwallowsKeys)
{
    HoldClock();
    int result = RunBox([] { return g_ScreenManager.ConfirmTimer("\nHOLD ON!\n\n", 2000); },
                        [] {
                            ASSERT_TRUE(WaitForBox(BOX_TIMER));
                            Tap(KEY_UP);
                            Advance(1900);
                            usleep(200 * 1000);
                            EXPECT_EQ(BoxState(), BOX_TIMER);
                            Advance(100);
                            EXPECT_TRUE(WaitFor([] { return BoxState() == BOX_NONE; }));
                        });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Recorder::Of("press").empty());
}

TEST_F(BoxTest, ABoxOpenedInsideABoxGivesTheOuterOneBackAfterwards)
{
    HoldClock();
    int result = RunBox(
        [] {
            return g_ScreenManager.Confirm("--- FORMAT ERROR ---\nFormat this card. Are You Sure ?", KEY_F1, "Yes",
                                           KEY_F3, "No");
        },
        [] {
            ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
            // HOLD blocks a key: the main loop of the box shows "HOLD ON!".
            KEY_EnableHold(1);
            Keys(KEY_HOLD, true);
            Tap(KEY_F1, 150);
            ASSERT_TRUE(WaitForBox(BOX_TIMER));
            Keys(KEY_HOLD, false);
            Advance(2100);
            ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
            EXPECT_NE(std::string(g_ScreenManager.m_szBoxText).find("Format this card"), std::string::npos);
            Tap(KEY_F1);
        });
    KEY_EnableHold(0);
    EXPECT_EQ(result, 1);
}

TEST_F(BoxTest, QuittingLeavesAConfirmationUnanswered)
{
    int result = RunBox([] { return g_ScreenManager.Confirm("Sure?", KEY_F1, "YES", KEY_F3, "NO"); },
                        [] {
                            ASSERT_TRUE(WaitForBox(BOX_CONFIRM));
                            g_bQuit = 1;
                        });
    g_bQuit = 0;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxState(), BOX_NONE);
}

class PowerKeyTest : public GuiTest
{
};

TEST_F(PowerKeyTest, F1HeldForALongPressPowersTheDeviceOff)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CScreenManager manager;
            manager.UpdateButtonState(KEY_F1);
            SleepMS(1600);
            manager.UpdateButtonState(KEY_F1);
            fprintf(stderr, "F1 long press did not power off\n");
            exit(3);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// The three drawing ticks and their rules for the HDMI output.
struct Painter
{
    static int draw500, draw100, draw50, resets;
    static int Draw500() { ++draw500; return 0; }
    static int Draw100() { ++draw100; return 0; }
    static int Draw50(int& drawn)
    {
        ++draw50;
        drawn = 1;
        return 0;
    }
    static void Reset() { ++resets; }
    static const char* Name() { return "painter"; }
};
int Painter::draw500 = 0, Painter::draw100 = 0, Painter::draw50 = 0, Painter::resets = 0;

class DrawTickTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        SCREEN_InitTable(&screen_);
        screen_.GetName = Painter::Name;
        screen_.OnDraw500ms = Painter::Draw500;
        screen_.OnDraw100ms = Painter::Draw100;
        screen_.OnDraw50ms = Painter::Draw50;
        screen_.ResetAllDraw = Painter::Reset;
        g_ScreenManager.SetActive(&screen_);
        Zero();
    }
    void TearDown() override
    {
        g_bDispHdmi = 0;
        g_bSetAV_MuteOFF_Flag = 0;
        GuiTest::TearDown();
    }
    static void Zero() { Painter::draw500 = Painter::draw100 = Painter::draw50 = Painter::resets = 0; }
    static uint32_t Flips() { return State().display.fb[1].flips.load(); }
    CScreenBase screen_;
};

TEST_F(DrawTickTest, OnTheLcdEveryTickDrawsAndFlips)
{
    uint32_t flips = Flips();
    g_ScreenManager.OnDraw500ms(0);
    EXPECT_EQ(Painter::draw500, 1);
    EXPECT_EQ(Painter::draw100, 1);
    EXPECT_EQ(Painter::draw50, 1);
    EXPECT_EQ(Painter::resets, 0);  // only a forced draw starts over
    g_ScreenManager.OnDraw500ms(1);
    EXPECT_EQ(Painter::resets, 1);
    g_ScreenManager.OnDraw100ms();
    g_ScreenManager.OnDraw50ms();
    EXPECT_EQ(Painter::draw100, 3);
    EXPECT_EQ(Painter::draw50, 4);
    EXPECT_EQ(Flips() - flips, 4u);
}

TEST_F(DrawTickTest, OnHdmiThePictureIsLeftAloneUnlessForcedOrABoxIsOpen)
{
    g_bDispHdmi = 1;
    uint32_t flips = Flips();
    g_ScreenManager.OnDraw500ms(0);
    EXPECT_EQ(Painter::draw500, 0);
    EXPECT_EQ(Painter::draw100, 1);
    g_ScreenManager.OnDraw100ms();
    EXPECT_EQ(Painter::draw100, 2);
    EXPECT_EQ(Painter::draw50, 0);
    EXPECT_EQ(g_ScreenManager.OnDraw50ms(), 0);
    EXPECT_EQ(Painter::draw50, 0);
    EXPECT_EQ(Flips(), flips);
    g_ScreenManager.OnDraw500ms(1);
    EXPECT_EQ(Painter::draw500, 1);
    EXPECT_EQ(Flips() - flips, 1u);
}

TEST_F(DrawTickTest, PendingMuteReleaseDrawsTwiceAndUnmutesFromTheSecondTime)
{
    g_bDispHdmi = 1;
    g_bSetAV_MuteOFF_Flag = 1;
    testing::internal::CaptureStdout();
    g_ScreenManager.OnDraw500ms(0);
    EXPECT_EQ(Painter::draw500, 2);
    EXPECT_EQ(Painter::resets, 1);
    EXPECT_EQ(g_bSetAV_MuteOFF_Flag, 1);  // the first time after start-up only arms it
    g_ScreenManager.OnDraw500ms(0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Painter::draw500, 4);
    EXPECT_EQ(g_bSetAV_MuteOFF_Flag, 0);
    EXPECT_NE(out.find("OnDraw500ms() -> 2nd"), std::string::npos);
    EXPECT_NE(out.find("OnDraw500ms() -> HDMI_AV_Mute_OFF()"), std::string::npos);
}

}  // namespace
