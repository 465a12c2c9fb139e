// The main screen as a player: what the LCD shows (empty list, status,
// time, counter, name, position bar), cue and review by tap and hold, the
// I/O loop's refusals, divide's refusal, delete, repeat, long names.
#include "DrvLib/Key.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "player/Player.h"
#include "tests/mainscreen/MainScreenFixture.h"
#include "tests/support/BoxAnswerer.h"
#include "DrvLib/FrameBuffer.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"

#include <thread>

#include <unistd.h>

using namespace vrec::test;
using vrec::board::RgbImage;

namespace {

class PlayerScreen : public MainScreenTest
{
};

TEST_F(PlayerScreen, AnEmptyListShowsItsMessageDashesAndNoCount)
{
    Open(ACTION_MODE_MOVIE);
    RgbImage lcd = Lcd();
    Snap("player-empty");
    // Black, with the message centred at y 100.
    EXPECT_TRUE(Same(At(lcd, 160, 60), Shown(GUI_COLOR_BLACK)));
    int w = 0, h = 0;
    GRA_CalcStringS(&w, &h, "No Movie File", g_pFont_a20, nullptr);
    EXPECT_TRUE(ShowsOsdText(lcd, (320 - w) / 2, 100, "No Movie File", g_pFont_a20) ||
                ShowsText(lcd, (320 - w) / 2, 100, "No Movie File", g_pFont_a20, GUI_COLOR_WHITE));
    EXPECT_TRUE(ShowsOsdTextRight(lcd, 101, 152, "--", g_pFont_a24));
    EXPECT_TRUE(ShowsOsdText(lcd, 101 + 25, 152, "--", g_pFont_a24));
    EXPECT_TRUE(ShowsOsdText(lcd, 101 + 73, 152, "--", g_pFont_a24));
    EXPECT_TRUE(ShowsOsdTextRight(lcd, 318, 156, "0/0000", g_pFont_a16));
    // The position bar is its frame and an empty track.
    EXPECT_TRUE(Same(At(lcd, 70, 180), Shown(GUI_COLOR_BLACK)));
    EXPECT_TRUE(Same(At(lcd, 71, 180), Shown(GUI_COLOR_WHITE)));
    EXPECT_TRUE(Same(At(lcd, 72, 180), Shown(0xC638)));
    EXPECT_TRUE(ShowsBitmap(lcd, 1, 1, g_pBmp_mode_movie));

    // MODE on the stopped player: the empty sound list, then photos.
    Key(KEY_MODE, 900);
    EXPECT_EQ(GetActionMode(), ACTION_MODE_SOUND);
    EXPECT_EQ(GetParameter("/GLOBAL/LastMode", nullptr), 1.0f);
    GRA_CalcStringS(&w, &h, "No Audio File", g_pFont_a20, nullptr);
    EXPECT_TRUE(ShowsText(Lcd(), (320 - w) / 2, 100, "No Audio File", g_pFont_a20, GUI_COLOR_WHITE));
    Key(KEY_MODE, 900);
    EXPECT_EQ(GetActionMode(), ACTION_MODE_PHOTO);
    Key(KEY_MODE, 900);
    EXPECT_EQ(GetActionMode(), ACTION_MODE_MOVIE);
}

TEST_F(PlayerScreen, PlayingShowsStatusTimeCounterNameAndPosition)
{
    PutMovie("KS0000_0001.mov", 4.0);
    PutMovie("KS0000_0002.mov", 3.0);
    Open(ACTION_MODE_MOVIE);
    RgbImage stopped = Lcd();
    Snap("player-stopped");
    EXPECT_TRUE(ShowsBitmap(stopped, 43, 152, g_pBmp_stat_stop));
    EXPECT_TRUE(ShowsOsdTextRight(stopped, 318, 156, "1/2", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdText(stopped, 70, 201, "KS0000_0001.mov", g_pFont_a20));
    EXPECT_TRUE(ShowsOsdText(stopped, 101 + 73, 152, "00", g_pFont_a24));
    EXPECT_TRUE(ShowsOsdText(stopped, 154, 2, "SD-VGA", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdText(stopped, 27, 2, "PCM 16Bit 48k", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdTextRight(stopped, 318, 174, "ALL", g_pFont_a16));
    EXPECT_TRUE(Same(At(stopped, 72, 180), Shown(0xC638))) << "nothing played yet";

    Key(KEY_PLAY, 0);
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() >= 2400; }, 6000));
    RgbImage playing = Lcd();
    Snap("player-playing");
    EXPECT_TRUE(ShowsBitmap(playing, 43, 152, g_pBmp_stat_play));
    EXPECT_TRUE(ShowsOsdText(playing, 101 + 73, 152, "02", g_pFont_a24) ||
                ShowsOsdText(playing, 101 + 73, 152, "01", g_pFont_a24));
    // About half the bar is played (182 pixels for 4 s).
    EXPECT_TRUE(Same(At(playing, 72 + 80, 180), Shown(0x001F)));
    EXPECT_TRUE(Same(At(playing, 72 + 170, 180), Shown(0xC638)));

    Key(KEY_PLAY, 700);
    EXPECT_TRUE(PL_IsPausing());
    EXPECT_TRUE(ShowsBitmap(Lcd(), 43, 152, g_pBmp_stat_pause));
    // RIGHT while paused: the next file, held on its first frame.
    Key(KEY_RIGHT, 1200);
    EXPECT_EQ(g_PlaylistCtrl.GetCurrentIndex(), 1);
    EXPECT_TRUE(PL_IsStop());
    RgbImage second = Lcd();
    EXPECT_TRUE(ShowsOsdTextRight(second, 318, 156, "2/2", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdText(second, 70, 201, "KS0000_0002.mov", g_pFont_a20));
}

TEST_F(PlayerScreen, CueHeldEndsOnReleaseAndATapGoesOnSlowly)
{
    PutMovie("KS0000_0001.mov", 8.0);
    Open(ACTION_MODE_MOVIE);
    Key(KEY_PLAY, 600);
    ASSERT_TRUE(PL_IsPlaying());
    // Held: cue at the CUE/REV SPEED setting (2 frames a step), ended on release.
    Keys(KEY_T, true);
    ASSERT_TRUE(WaitFor([] { return PL_GetSeekSpeed() == 2; }, 2000));
    usleep(700 * 1000);
    EXPECT_TRUE(ShowsBitmap(Lcd(), 43, 152, g_pBmp_stat_ff));
    Keys(KEY_T, false);
    EXPECT_TRUE(WaitFor([] { return PL_GetSeekSpeed() == 0; }, 2000));
    EXPECT_TRUE(PL_IsPlaying());
    // Tapped: it goes on at 5 after the release, until another key (far
    // enough from the top that the review cannot reach it meanwhile).
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() >= 5000; }, 8000));
    Tap(KEY_W, 100);
    EXPECT_TRUE(WaitFor([] { return g_bStepSeek == 1; }, 1500));
    EXPECT_EQ(PL_GetSeekSpeed(), -5);
    usleep(400 * 1000);
    EXPECT_TRUE(ShowsBitmap(Lcd(), 43, 152, g_pBmp_stat_rew));
    Key(KEY_PLAY, 600);
    EXPECT_EQ(PL_GetSeekSpeed(), 0);
    EXPECT_EQ(g_bStepSeek, 0);
}

TEST_F(PlayerScreen, IoLoopPointsCloserThanASecondAreRefused)
{
    PutMovie("KS0000_0001.mov", 6.0);
    Open(ACTION_MODE_MOVIE);
    BoxAnswerer answerer;
    Key(KEY_F1, 600);
    ASSERT_EQ(screen_player::m_bIoPopup, 1);
    // OUT without IN does nothing.
    Key(KEY_F2, 300);
    EXPECT_EQ(g_ctrlIoRepeat.GetEndPos(), -1);
    Key(KEY_PLAY, 0);
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() >= 1100; }, 5000));
    Key(KEY_F1, 0);
    EXPECT_EQ(g_ctrlIoRepeat.GetStartPos(), 1000);
    // OUT less than a second after IN.
    ASSERT_LT(PL_GetPos(), 2000);
    Key(KEY_F2, 600);
    EXPECT_TRUE(WaitFor([&answerer] { return answerer.Saw("I/O Too Short"); }, 3000));
    EXPECT_EQ(g_ctrlIoRepeat.GetEndPos(), -1);
    // Later it is set, in whole seconds; ENTER loops between the points.
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() >= 3100; }, 5000));
    Key(KEY_F2, 300);
    EXPECT_EQ(g_ctrlIoRepeat.GetEndPos(), 3000);
    Key(KEY_ENTER, 300);
    EXPECT_EQ(g_ctrlIoRepeat.GetLoopEnable(), 1);
    RgbImage lcd = Lcd();
    EXPECT_TRUE(ShowsBitmap(lcd, 36, 178, g_pBmp_repeat[3]));
    EXPECT_TRUE(ShowsBitmap(lcd, 68 + 1000 * 182 / PL_GetDuration(), 183, g_pBmp_range[0]));
    EXPECT_TRUE(ShowsBitmap(lcd, 71 + 3000 * 182 / PL_GetDuration(), 183, g_pBmp_range[1]));
    // The end of the loop returns to its start: a long while later the
    // position is still within it.
    usleep(3500 * 1000);
    EXPECT_TRUE(PL_IsPlaying());
    EXPECT_GE(PL_GetPos(), 900);
    EXPECT_LE(PL_GetPos(), 3100);
}

TEST_F(PlayerScreen, DivideModeRefusesTheFirstSecond)
{
    PutMovie("KS0000_0001.mov", 4.0);
    g_bDivideMode = 1;
    Open(ACTION_MODE_MOVIE);
    RgbImage lcd = Lcd();
    Snap("player-divide");
    EXPECT_TRUE(ShowsBitmap(lcd, 36, 178, g_pBmp_divide));
    // The cut marker at the start of the bar.
    EXPECT_TRUE(ShowsBitmap(lcd, 67, 174, g_pBmp_arrow_down));
    EXPECT_TRUE(ShowsBitmap(lcd, 67, 182, g_pBmp_arrow_up));
    BoxAnswerer answerer;
    Key(KEY_PLAY, 0);
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() >= 300; }, 4000));
    Key(KEY_F1, 600);
    EXPECT_TRUE(WaitFor([&answerer] { return answerer.Saw("Can't Divide"); }, 3000));
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001.mov")));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001_a.mov")));
    // F3 leaves divide mode.
    Key(KEY_F3, 300);
    EXPECT_EQ(g_bDivideMode, 0);
}

TEST_F(PlayerScreen, DeletingTheLastFileLeavesTheEmptyScreen)
{
    PutMovie("KS0000_0001.mov", 2.0);
    Open(ACTION_MODE_MOVIE);
    BoxAnswerer answerer(1);
    Key(KEY_F2, 1500);
    EXPECT_TRUE(answerer.Saw("--- FILE DELETE ---\nDelete KS0000_0001.mov\nAre you sure ?"));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001.mov")));
    EXPECT_EQ(g_PlaylistCtrl.GetCount(), 0);
    usleep(600 * 1000);
    int w = 0, h = 0;
    GRA_CalcStringS(&w, &h, "No Movie File", g_pFont_a20, nullptr);
    EXPECT_TRUE(ShowsText(Lcd(), (320 - w) / 2, 100, "No Movie File", g_pFont_a20, GUI_COLOR_WHITE));
}

TEST_F(PlayerScreen, RepeatSinglePlaysTheFileAgainAndRepeatOffStopsAtTheTop)
{
    PutMovie("KS0000_0001.mov", 2.0);
    SetParameter("/Play Option/REPEAT", 2.0f);
    Open(ACTION_MODE_MOVIE);
    EXPECT_TRUE(ShowsBitmap(Lcd(), 36, 178, g_pBmp_repeat[2]));
    Key(KEY_PLAY, 0);
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() >= 1500; }, 4000));
    ASSERT_TRUE(WaitFor([] { return PL_GetPos() < 1000; }, 4000)) << "back at the start";
    EXPECT_TRUE(PL_IsPlaying());

    SetParameter("/Play Option/REPEAT", 0.0f);
    ASSERT_TRUE(WaitFor([] { return PL_IsStop(); }, 5000));
    EXPECT_EQ(g_PlaylistCtrl.GetCurrentIndex(), 0);
}

TEST_F(PlayerScreen, ANameLongerThanTwentyBytesScrolls)
{
    PutMovie("KS0000_0001.mov", 2.0);           // 15 bytes
    PutMovie("A_LONGER_NAME_01.mov", 2.0);      // 20 bytes
    PutMovie("A_LONGER_NAME_002.mov", 2.0);     // 21 bytes
    Open(ACTION_MODE_MOVIE);
    auto title = [this] {
        RgbImage lcd = Lcd();
        std::vector<uint8_t> region;
        for (int y = 200; y < 220; ++y)
            for (int x = 70; x < 320; ++x) {
                vrec::board::Rgb p = At(lcd, x, y);
                region.insert(region.end(), {p.r, p.g, p.b});
            }
        return region;
    };
    auto select = [](const char* name) {
        for (int i = 0; i < g_PlaylistCtrl.GetCount(); ++i) {
            char n[256];
            g_PlaylistCtrl.GetFileName(i, n);
            if (std::string(n) == name)
                return i;
        }
        return -1;
    };
    while (g_PlaylistCtrl.GetCurrentIndex() != select("A_LONGER_NAME_01.mov"))
        Key(KEY_RIGHT, 900);
    auto before = title();
    usleep(1100 * 1000);
    EXPECT_EQ(title(), before) << "20 bytes stand still";
    while (g_PlaylistCtrl.GetCurrentIndex() != select("A_LONGER_NAME_002.mov"))
        Key(KEY_RIGHT, 900);
    before = title();
    usleep(1100 * 1000);
    EXPECT_NE(title(), before) << "21 bytes scroll";
}

TEST_F(PlayerScreen, OnHdmiTheOsdStepsAsideWhileAPictureRunsAndRecordAsksHdmiOff)
{
    PutMovie("KS0000_0001.mov", 6.0);
    State().hdmi.cable = 1;
    State().hdmi.sink = 1;
    Open(ACTION_MODE_MOVIE);
    g_bHdmi = 1;
    ASSERT_TRUE(WaitFor([] { return g_bDispHdmi == 1; }, 5000));
    Key(KEY_PLAY, 800);
    ASSERT_TRUE(PL_IsPlaying());
    EXPECT_EQ(screen_player::m_bOsdDrawEnable, 0);
    EXPECT_EQ(FB_GetEnable(), 0) << "nothing covers the picture";
    Key(KEY_PLAY, 800);
    EXPECT_EQ(screen_player::m_bOsdDrawEnable, 1) << "paused, the OSD comes back";
    Key(KEY_STOP, 1500);
    ASSERT_TRUE(PL_IsStop());

    // RECORD: HDMI must go (the state control's part is played here).
    std::thread stateControl([] {
        WaitFor([] { return g_bHdmiOffReq == 1; }, 5000);
        g_bHdmi = 0;
    });
    Key(KEY_RECORD, 0);
    stateControl.join();
    ASSERT_TRUE(WaitFor([] { return g_bRecorder == 1 && g_bHdmiOffReq == 0; }, 8000));
    EXPECT_EQ(g_bDispHdmi, 0);
    EXPECT_EQ(g_bMovieRecHDMI, 1) << "the picture comes back on HDMI after the recorder";
    g_bMovieRecHDMI = 0;
}

}  // namespace
