#include "tests/mainscreen/MainScreenFixture.h"

#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/MovCreator.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "player/Player.h"
#include "tests/media/support/ScriptedCreator.h"

#include <cmath>
#include <unistd.h>

namespace vrec::test {

void MainScreenTest::SetUp()
{
    GuiTest::SetUp();
    SetParameter("/REC Quality/SAMPLE RATE", 48000.0f);
    SetParameter("/GLOBAL/PLAY VOL", 25.0f);
    SetParameter("/GLOBAL/ENABLE SPEED", 0.0f);
    SetParameter("/PB Control/SPEED", 1.0f);
    g_bKeepStop = 0;
    g_bDivideMode = 0;
    g_ctrlIoRepeat.Reset();
    pipeline_ = std::make_unique<VideoPipeline>(VideoPipeline::Writer::kDevice, true);
    ASSERT_TRUE(pipeline_->started());
}

void MainScreenTest::TearDown()
{
    // The pipeline's end stops the loop too (both watch the quit flag).
    pipeline_.reset();
    StopLoop();
    // With every thread gone: the file the player held open.
    PL_Close();
    g_bRecorder = 0;
    g_bDivideMode = 0;
    g_bAfterRecMode = 0;
    SetActionMode(ACTION_MODE_MOVIE);
    GuiTest::TearDown();
}

void MainScreenTest::Open(int actionMode)
{
    SetActionMode(actionMode);
    g_PlaylistCtrl.Init("/MY_FOLDER");
    g_bKeepStop = g_PlaylistCtrl.GetCount() > 0;
    g_ScreenManager.SetActive("player", 1);
    StartLoop();
    usleep(800 * 1000);  // two complete redraws
}

std::string MainScreenTest::PutMovie(const std::string& name, double seconds, int width)
{
    const int height = width == 1280 ? 720 : 480;
    const int frames = static_cast<int>(std::lround(seconds * 30));
    RecorderVideo video;
    std::string error;
    EXPECT_TRUE(EncodeRecorderVideo(width, height, frames, &video, &error)) << error;
    const int rate = 48000;
    Bytes sound(static_cast<size_t>(rate * seconds) * 4);
    for (size_t i = 0; i < sound.size() / 4; ++i) {
        int16_t v = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 1000.0 * i / rate));
        for (int ch = 0; ch < 2; ++ch) {
            sound[i * 4 + ch * 2] = static_cast<uint8_t>(v & 0xFF);
            sound[i * 4 + ch * 2 + 1] = static_cast<uint8_t>(v >> 8 & 0xFF);
        }
    }
    auto creator = std::make_unique<ScriptedCreator>();
    creator->QueueRecording(video, frames, rate, sound, 4);
    const std::string path = "/sdcard/MY_FOLDER/" + name;
    EXPECT_EQ(creator->Create(path.c_str(), width, height, 30, rate, 16, 2), MOV_EXIT_STOPPED);
    return path;
}

void MainScreenTest::Key(unsigned long mask, int settleMs)
{
    Tap(mask);
    usleep(settleMs * 1000);
}

bool MainScreenTest::WaitForRecording(int ms, int timeoutMs)
{
    return WaitFor([ms] { return g_bRecording && g_nRecPos >= ms; }, timeoutMs);
}

bool MainScreenTest::ShowsBitmap(const vrec::board::RgbImage& lcd, int x, int y, BITMAP* bitmap)
{
    if (!bitmap)
        return false;
    int shown = 0;
    for (int j = 0; j < bitmap->nHeight; ++j)
        for (int i = 0; i < bitmap->nWidth; ++i) {
            uint16_t p = bitmap->aPixels[j * bitmap->nWidth + i];
            if (p == GRA_TRANSPARENT)
                continue;
            if (!Same(At(lcd, x + i, y + j), Shown(p)))
                return false;
            ++shown;
        }
    return shown > 0;
}

bool MainScreenTest::ShowsOsdText(const vrec::board::RgbImage& lcd, int x, int y, const std::string& text,
                                  unsigned char* font, bool followed)
{
    // Drawn over the video: the text's own pixels and its edge only.
    return ShowsText(lcd, x, y, text, font, GUI_COLOR_WHITE, GUI_COLOR_BLACK, GRA_TRANSPARENT, followed);
}

bool MainScreenTest::ShowsOsdTextRight(const vrec::board::RgbImage& lcd, int xRight, int y, const std::string& text,
                                       unsigned char* font)
{
    int w = 0, h = 0;
    GRA_CalcStringS(&w, &h, text.c_str(), font, nullptr);
    return ShowsOsdText(lcd, xRight - w, y, text, font);
}

}  // namespace vrec::test
