// The main screen as a recorder: what the LCD shows while recording movies
// and sound (times, remaining time, meter, labels, icons, backgrounds), the
// volume popup, and the exit codes that reach the user.
#include "DrvLib/Key.h"
#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/LevelMeter.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"
#include "sim/board/HardwareState.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/mainscreen/MainScreenFixture.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoxAnswerer.h"

#include <cstdio>
#include <unistd.h>

using namespace vrec::test;
using vrec::board::RgbImage;

namespace {

class RecorderScreen : public MainScreenTest
{
protected:
    // The topmost lit row of a level bar at x, as the lit image draws it: the
    // bar's height in pixels (0 when nothing is lit).
    static int BarHeight(const RgbImage& lcd, int x)
    {
        BITMAP* lit = g_pBmp_levelmeter[1];
        for (int y = 30; y < 192; ++y) {
            // Row 2 of the lit image is a gap between segments.
        uint16_t p = lit->aPixels[(y - 30) * lit->nWidth + 2];
            if (p != lit->aPixels[2 * lit->nWidth + 2] && Same(At(lcd, x + 2, y), Shown(p))) {
                // A lit segment row: the bar reaches up to here (within a segment).
                return 192 - y;
            }
        }
        return 0;
    }

    static void SetTone(double db)
    {
        vrec::sound::SetTone(State().sound, vrec::sound::Input::kBuiltInMics, 1000, db, 1000, db);
    }
};

TEST_F(RecorderScreen, MovieRecordingShowsItsTimeRemainingTimeMeterAndIcons)
{
    SetTone(-12.0);
    Open(ACTION_MODE_MOVIE);
    Key(KEY_RECORD, 1500);  // the stopped player becomes the recorder
    ASSERT_EQ(g_bRecorder, 1);
    RgbImage ready = Lcd();
    EXPECT_TRUE(ShowsBitmap(ready, 83, 176, g_pBmp_stat_rec_ready));
    EXPECT_TRUE(ShowsBitmap(ready, 1, 1, g_pBmp_mode_movie));
    EXPECT_TRUE(ShowsBitmap(ready, 270, 1, g_pBmp_wb_icon[0]));
    EXPECT_TRUE(ShowsOsdText(ready, 154, 2, "HD-720p", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdText(ready, 27, 2, "PCM 16Bit 48k", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdText(ready, 135 + 73, 178, "00", g_pFont_a24));
    EXPECT_TRUE(ShowsOsdText(ready, 135 + 7, 178 + 8, "H", g_pFont_a16));

    Key(KEY_RECORD, 0);
    ASSERT_TRUE(WaitForRecording(2300));
    EXPECT_EQ(State().leds.rec.load(), 1) << "the REC LED is lit while recording";
    usleep(300 * 1000);
    RgbImage lcd = Lcd();
    Snap("recorder-movie");
    EXPECT_TRUE(ShowsBitmap(lcd, 83, 176, g_pBmp_stat_rec));
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%02d", g_nRecPos / 1000);
    // The readout follows the writer's position within one tick.
    EXPECT_TRUE(ShowsOsdText(lcd, 135 + 73, 178, seconds, g_pFont_a24) ||
                ShowsOsdText(lcd, 135 + 73, 178, "02", g_pFont_a24))
        << seconds;
    EXPECT_TRUE(ShowsOsdText(lcd, 135 + 25, 178, "00", g_pFont_a24));

    // Remaining time: the card's bytes less 30 MiB over video and sound rates.
    long long bytes = g_RemainMedia.GetRemainSize() - 31457280LL;
    long long remain = bytes / (937500LL + 48000LL * g_nAudioSampleBytes);
    char hours[32], minutes[32];
    std::snprintf(hours, sizeof(hours), "%02lld", remain / 3600);
    std::snprintf(minutes, sizeof(minutes), "%02lld", remain / 60 % 60);
    EXPECT_TRUE(ShowsOsdText(lcd, 249, 186, hours, g_pFont_a16)) << remain;
    EXPECT_TRUE(ShowsOsdText(lcd, 274, 186, minutes, g_pFont_a16)) << remain;

    // The bars stand at the meter's values (the tone, after the input's
    // gains), the readout holds the louder channel's level.
    int left = BarHeight(lcd, 10), right = BarHeight(lcd, 22);
    EXPECT_NEAR(left, g_nAudioLevelL, 3);
    EXPECT_NEAR(right, g_nAudioLevelR, 3);
    EXPECT_GT(left, 100);
    char level[32];
    std::snprintf(level, sizeof(level), "%01.1fdB", g_fAudioLevelL > g_fAudioLevelR ? g_fAudioLevelL : g_fAudioLevelR);
    EXPECT_TRUE(ShowsOsdText(lcd, 1, 205, level, g_pFont_a16)) << level;
    // 18 dB quieter: both bars fall by 18 of the scale's 48 dB.
    SetTone(-30.0);
    usleep(2600 * 1000);  // past the 2 s peak hold
    RgbImage quieter = Lcd();
    Snap("recorder-movie-quieter");
    EXPECT_NEAR(left - BarHeight(quieter, 10), 162 * 18 / 48, 6);
    EXPECT_NEAR(right - BarHeight(quieter, 22), 162 * 18 / 48, 6);

    Key(KEY_STOP, 0);
    ASSERT_TRUE(WaitFor([] { return g_bRecorder == 0 && g_PlaylistCtrl.GetCount() == 1; }, 8000));
    EXPECT_EQ(State().leds.rec.load(), 0);
}

TEST_F(RecorderScreen, SoundRecorderShowsItsBackgroundsAndRecordOptionIcons)
{
    SetParameter("/Rec Option/PRE REC", 1.0f);
    SetParameter("/Rec Option/AUTO REC MODE", 1.0f);
    SetParameter("/REC Quality/SOUND FORMAT", 24.0f);
    Open(ACTION_MODE_SOUND);
    Key(KEY_RECORD, 1500);
    ASSERT_EQ(g_bRecorder, 1);
    RgbImage ready = Lcd();
    Snap("recorder-sound-ready");
    EXPECT_TRUE(ShowsBitmap(ready, 1, 1, g_pBmp_mode_audio));
    EXPECT_TRUE(ShowsBitmap(ready, 35, 162, g_pBmp_icon_autorec));
    EXPECT_TRUE(ShowsBitmap(ready, 35, 180, g_pBmp_icon_prerec));
    EXPECT_TRUE(ShowsOsdText(ready, 27, 2, "PCM 24Bit 48k", g_pFont_a16));
    // The sound background: the ready picture where nothing is drawn.
    for (int y : {60, 100, 140})
        EXPECT_TRUE(Same(At(ready, 160, y), Shown(g_pBmp_wavrec_bg[0]->aPixels[y * 320 + 160]))) << y;
    // Remaining time at 48 kHz 24 bits: no picture.
    long long remain = (g_RemainMedia.GetRemainSize() - 31457280LL) / (48000LL * 6);
    char hours[32];
    std::snprintf(hours, sizeof(hours), "%02lld", remain / 3600);
    EXPECT_TRUE(ShowsOsdText(ready, 249, 186, hours, g_pFont_a16)) << remain;

    Key(KEY_RECORD, 0);
    ASSERT_TRUE(WaitForRecording(4000));  // 3 s kept before the key
    usleep(600 * 1000);
    RgbImage recording = Lcd();
    Snap("recorder-sound-recording");
    for (int y : {60, 100, 140})
        EXPECT_TRUE(Same(At(recording, 160, y), Shown(g_pBmp_wavrec_bg[1]->aPixels[y * 320 + 160]))) << y;
    EXPECT_TRUE(ShowsBitmap(recording, 83, 176, g_pBmp_stat_rec));
    Key(KEY_STOP, 0);
    ASSERT_TRUE(WaitFor([] { return g_bRecorder == 0 && g_PlaylistCtrl.GetCount() == 1; }, 8000));
}

TEST_F(RecorderScreen, VolumePopupOpensWithoutAChangeThenStepsAndCloses)
{
    Open(ACTION_MODE_MOVIE);
    Key(KEY_RECORD, 1500);
    SetParameter("/GLOBAL/PLAY VOL", 34.0f);
    g_nPlaybackVol = 34;
    Key(KEY_UP, 700);
    EXPECT_EQ(g_nPlaybackVol, 34) << "the first UP only opens the popup";
    EXPECT_GT(screen_player::m_nVolumePopup, 0);
    Key(KEY_UP, 700);
    Key(KEY_UP, 700);
    EXPECT_EQ(g_nPlaybackVol, 35);
    EXPECT_EQ(GetParameter("/GLOBAL/PLAY VOL", nullptr), 35.0f);
    RgbImage lcd = Lcd();
    Snap("recorder-volume");
    EXPECT_TRUE(ShowsText(lcd, 145, 89, "35", g_pFont_a24, GUI_COLOR_TEXT, -1, 0xDF1B));
    // At 35 the bar is the whole 84-pixel picture.
    for (int x : {205, 240, 288})
        EXPECT_TRUE(Same(At(lcd, x, 118), Shown(g_pBmp_volume[1]->aPixels[18 * 84 + (x - 205)]))) << x;
    EXPECT_TRUE(ShowsText(lcd, 145, 89, "35", g_pFont_a24, GUI_COLOR_TEXT, -1, 0xDF1B));
    // Two seconds without a volume key close it.
    EXPECT_TRUE(WaitFor([] { return screen_player::m_nVolumePopup == 0; }, 4000));
}

TEST_F(RecorderScreen, ALowBatteryStopsTheRecordingWithItsMessage)
{
    Open(ACTION_MODE_MOVIE);
    Key(KEY_RECORD, 1500);
    Key(KEY_RECORD, 0);
    ASSERT_TRUE(WaitForRecording(2000));
    BoxAnswerer answerer;
    g_Msp430_nBatteryLevel = 1;
    ASSERT_TRUE(WaitFor([&answerer] { return answerer.Saw("BATTERY LOW !"); }, 6000));
    g_Msp430_nBatteryLevel = 7;
    // The recorder is left for the player, which holds the file written.
    ASSERT_TRUE(WaitFor([] { return g_bRecorder == 0 && g_PlaylistCtrl.GetCount() == 1; }, 8000));
    char path[256];
    g_PlaylistCtrl.GetCurrentFilePath(path);
    ProbeFields format = ProbeFormat(HostPath(std::string("/sdcard") + path));
    EXPECT_GT(std::atof(format["duration"].c_str()), 1.5) << path;
}

TEST_F(RecorderScreen, MovieAt96kHzIsRefused)
{
    SetParameter("/REC Quality/SAMPLE RATE", 96000.0f);
    Open(ACTION_MODE_MOVIE);
    Key(KEY_RECORD, 1500);
    BoxAnswerer answerer;
    Key(KEY_RECORD, 800);
    EXPECT_TRUE(WaitFor([&answerer] { return answerer.Saw("  Unsupported Sampling Rate!!"); }, 3000));
    EXPECT_EQ(g_bRecording, 0);
}

TEST_F(RecorderScreen, ZoomStepsByTenPercentOnceTheCameraHasTakenTheLast)
{
    Open(ACTION_MODE_MOVIE);
    Key(KEY_RECORD, 1500);
    Key(KEY_T, 600);
    EXPECT_EQ(g_nZoom, 110);
    ASSERT_TRUE(WaitFor([] { return g_nDispZoom == 110; }, 3000));
    Key(KEY_T, 600);
    ASSERT_TRUE(WaitFor([] { return g_nDispZoom == 120; }, 3000));
    EXPECT_EQ(GetParameter("/GLOBAL/ZOOM", nullptr), 120.0f);
    RgbImage lcd = Lcd();
    Snap("recorder-zoom");
    EXPECT_TRUE(ShowsBitmap(lcd, 218, 1, g_pBmp_icon_zoom));
    EXPECT_TRUE(ShowsOsdText(lcd, 236, 2, "x1.2", g_pFont_a16));
    Key(KEY_W, 600);
    ASSERT_TRUE(WaitFor([] { return g_nDispZoom == 110; }, 3000));
    Key(KEY_W, 600);
    Key(KEY_W, 600);
    EXPECT_EQ(g_nZoom, 100) << "never below 100";
    usleep(400 * 1000);
    EXPECT_FALSE(ShowsBitmap(Lcd(), 218, 1, g_pBmp_icon_zoom)) << "no zoom, no icon";
}

TEST_F(RecorderScreen, AutoRecordPausesInSilenceAndGoesOnWithSound)
{
    SetParameter("/Rec Option/AUTO REC MODE", 1.0f);   // PAUSE
    SetParameter("/Rec Option/AUTO REC LEVEL", -24.0f);
    vrec::sound::SetSilence(State().sound, vrec::sound::Input::kBuiltInMics);
    Open(ACTION_MODE_SOUND);
    Key(KEY_RECORD, 1500);
    ASSERT_EQ(g_bRecorder, 1);
    EXPECT_EQ(g_bRecording, 0) << "silence starts nothing";
    SetTone(-6.0);
    ASSERT_TRUE(WaitFor([] { return g_bRecording == 1 && g_bRecPause == 0; }, 5000));
    vrec::sound::SetSilence(State().sound, vrec::sound::Input::kBuiltInMics);
    ASSERT_TRUE(WaitFor([] { return g_bRecPause == 1; }, 8000)) << "a quiet spell pauses";
    EXPECT_TRUE(WaitFor([this] { return ShowsBitmap(Lcd(), 83, 176, g_pBmp_stat_rec_ready); }, 1500));
    SetTone(-6.0);
    ASSERT_TRUE(WaitFor([] { return g_bRecording == 1 && g_bRecPause == 0; }, 5000)) << "sound goes on";
    Key(KEY_STOP, 0);
    ASSERT_TRUE(WaitFor([] { return g_bRecorder == 0 && g_PlaylistCtrl.GetCount() == 1; }, 8000));
}

TEST_F(RecorderScreen, PhotoModeCountsDownTakesThePhotoAndShowsIt)
{
    SetParameter("/Rec Option/SELF TIMER", 2.0f);
    Open(ACTION_MODE_PHOTO);
    Key(KEY_RECORD, 1500);
    ASSERT_EQ(g_bRecorder, 1);
    RgbImage ready = Lcd();
    Snap("recorder-photo");
    EXPECT_TRUE(ShowsBitmap(ready, 1, 1, g_pBmp_mode_photo));
    EXPECT_TRUE(ShowsBitmap(ready, 264, 20, g_pBmp_timer_2));
    EXPECT_TRUE(ShowsOsdText(ready, 29, 3, "0.9M", g_pFont_a16));
    Key(KEY_RECORD, 700);
    // The countdown in green; the camera LED flashes.
    RgbImage counting = Lcd();
    EXPECT_TRUE(ShowsText(counting, 135 + 73, 178, "01", g_pFont_a24, 0xC7E0, GUI_COLOR_BLACK, GRA_TRANSPARENT) ||
                ShowsText(counting, 135 + 73, 178, "02", g_pFont_a24, 0xC7E0, GUI_COLOR_BLACK, GRA_TRANSPARENT));
    EXPECT_TRUE(WaitFor([] { return State().leds.camera.load() == 1; }, 2000));
    ASSERT_TRUE(WaitFor([] { return FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001.jpg")); }, 6000));
    usleep(2000 * 1000);
    EXPECT_EQ(State().leds.camera.load(), 0);
    // STOP: the photo player holds the new photo.
    Key(KEY_STOP, 1500);
    EXPECT_EQ(g_bRecorder, 0);
    RgbImage player = Lcd();
    Snap("player-photo");
    EXPECT_TRUE(ShowsOsdTextRight(player, 280, 3, "1/1", g_pFont_a16));
    EXPECT_TRUE(ShowsOsdText(player, 30, 198, "KS0000_0001.jpg", g_pFont_a20));
    EXPECT_TRUE(ShowsOsdText(player, 134, 3, "ALL", g_pFont_a16));
}

}  // namespace
