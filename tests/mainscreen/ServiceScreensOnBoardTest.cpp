// Service screens with the device's threads running: the information
// screen's file page for a movie recorded with the keys (its format strings,
// title, date and size agree with what ffprobe and the card say about the
// file), and the test mode's camera page on the LCD.
#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenInfo.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/GUI/ScreenTestMode.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"
#include "tests/mainscreen/MainScreenFixture.h"
#include "tests/media/support/MovParse.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <ctime>
#include <string>

using namespace vrec::test;
using vrec::board::RgbImage;

namespace {

class InfoScreen : public MainScreenTest
{
};

TEST_F(InfoScreen, FilePageOfARecordedMovieAgreesWithTheFile)
{
    Open(ACTION_MODE_MOVIE);
    Key(KEY_RECORD, 1500);  // the stopped player becomes the recorder
    ASSERT_EQ(g_bRecorder, 1);
    Key(KEY_RECORD, 0);
    ASSERT_TRUE(WaitForRecording(3000));
    Key(KEY_STOP, 0);
    ASSERT_TRUE(WaitFor([] { return g_bRecorder == 0 && g_PlaylistCtrl.GetCount() == 1 && PL_IsOpen(); }, 10000));

    const std::string name = screen_player::m_curFile;
    const std::string host = HostPath(std::string("/sdcard/MY_FOLDER/") + name);
    struct stat st;
    ASSERT_EQ(stat(host.c_str(), &st), 0) << host;
    ProbeFields format = ProbeFormat(host);
    ASSERT_FALSE(format["duration"].empty()) << host;
    const double seconds = std::atof(format["duration"].c_str());
    ASSERT_GT(seconds, 2.5);

    char video[256] = "", audio[256] = "";
    PL_GetInfoStr(video, audio);
    EXPECT_STREQ(audio, "16bit,STEREO,48k");
    int fps = 0;
    double mbps = 0.0;
    ASSERT_EQ(std::sscanf(video, "720p,%dfps,%lfMbps", &fps, &mbps), 2) << video;
    EXPECT_EQ(fps, 30);
    // The file's bytes per second less the sound's: the HD encoder's 7.5 Mbit/s.
    const double expected = (st.st_size * 8.0 / seconds - 48000.0 * 32) / 1e6;
    EXPECT_NEAR(mbps, expected, 0.5) << video;
    EXPECT_NEAR(mbps, 7.5, 7.5 * 0.3) << video;

    char date[32];
    struct tm tm;
    gmtime_r(&st.st_mtime, &tm);
    std::strftime(date, sizeof(date), "%Y/%m/%d %H:%M", &tm);
    char size[64];
    std::snprintf(size, sizeof(size), "%.1fM byte", st.st_size / 1048576.0);

    StopLoop();  // the page is drawn here, not by the loop
    g_nInfoType = INFO_PAGE_FILE;
    g_ScreenManager.SetActive("info", 1);
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("info-file-recorded");
    auto row = [&lcd](int y, const std::string& label, const std::string& value) {
        return (label.empty() || ShowsText(lcd, 4, y, label, g_pFont_a24, 0xFFFF, 0)) &&
               ShowsText(lcd, 90, y, value, g_pFont_a24, 0xFFFF, 0);
    };
    EXPECT_TRUE(row(28, "MOV", video)) << video;
    EXPECT_TRUE(row(54, "", audio)) << audio;
    EXPECT_TRUE(row(80, "TITLE", name)) << name;
    EXPECT_TRUE(row(106, "DATE", date)) << date;
    EXPECT_TRUE(row(132, "SIZE", size)) << size;
}

TEST_F(InfoScreen, TestModeCameraPageShowsTheCameraAloneAndTheColourBarsOnMode)
{
    g_ScreenManager.SetActive("testmode", 1);
    StartLoop();
    usleep(800 * 1000);  // the loop reads the keys from its second pass
    Key(KEY_MENU, 300);
    Key(KEY_MENU, 300);
    ASSERT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_MENU) << ActiveScreen() << " last " << screen_testmode::m_nLastKey;
    screen_testmode::m_nCursor = TESTMODE_CAMERA;
    Key(KEY_ENTER, 1500);
    ASSERT_TRUE(WaitFor([] { return g_hCapture != nullptr; }, 5000));
    ASSERT_TRUE(WaitFor([] { return FB_GetEnable() == 0; }, 3000)) << "no on-screen layer over the camera";

    // The second of the eight bars is yellow; the test scene is not.
    auto yellow = [](const RgbImage& lcd) {
        vrec::board::Rgb p = At(lcd, 60, 120);
        return p.r > 150 && p.g > 150 && p.b < 70;
    };
    usleep(500 * 1000);
    RgbImage scene = Lcd();
    Snap("testmode-camera");
    EXPECT_FALSE(yellow(scene));
    Key(KEY_MODE, 800);
    RgbImage bars = Lcd();
    Snap("testmode-camera-bars");
    EXPECT_TRUE(yellow(bars));
    Key(KEY_MODE, 800);
    EXPECT_FALSE(yellow(Lcd()));
    Key(KEY_MENU, 500);
    EXPECT_EQ(FB_GetEnable(), 1);
}

}  // namespace
