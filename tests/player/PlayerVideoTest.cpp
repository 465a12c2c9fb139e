// The player's pictures: movies recorded on the board played through the
// decoder to HDMI (every frame, in order) and the LCD (every third), the
// kept first frame, photos and the picture of a sound recording, movies
// from ffmpeg. Frames are known by the stamp the board's camera draws into
// them, read back from the video planes.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/CODEC/Jpeg.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "sim/frontend/Pictures.h"
#include "tests/media/support/MovFixture.h"
#include "tests/player/Pictures.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace vrec::test;

TEST_F(PlayerVideoTest, AMovieShowsEveryFrameInOrderOnHdmiAndEveryThirdOnTheLcd)
{
    const std::string path = RecordMovie(640, 2.0);
    const uint32_t frames = static_cast<uint32_t>(frames_.size());

    // The LCD: every third decoded picture, through the scaler.
    uint32_t before = PicturesShown();
    ASSERT_TRUE(Play(path, ACTION_MODE_MOVIE));
    // (The last preview of the recording is on the LCD until the first
    // picture of the movie comes.)
    std::optional<uint32_t> early;
    while (!PL_IsStop() && !early) {
        if (PicturesShown() != before)
            early = LcdFrame(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    const uint32_t lcd = PicturesShown() - before;
    EXPECT_GE(lcd, frames / 3 - 1);
    EXPECT_LE(lcd, frames / 3 + 2);
    ASSERT_TRUE(early.has_value());
    EXPECT_GE(IndexOf(*early), 0);
    // The last picture stays on the LCD after the end.
    std::optional<uint32_t> last = LcdFrame(false);
    ASSERT_TRUE(last.has_value());
    EXPECT_GE(IndexOf(*last), static_cast<int>(frames) - 3);

    // HDMI: every picture, each the next frame of the movie.
    PlugHdmi();
    HdmiWatch watch(640, 480);
    ASSERT_TRUE(Play(path, ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(watch.Shown(), frames);
    const std::vector<HdmiWatch::Seen>& seen = watch.Stop();
    EXPECT_GE(seen.size(), frames / 2);  // most of them caught
    for (const HdmiWatch::Seen& s : seen) {
        ASSERT_LT(s.shown, frames + 1);
        EXPECT_EQ(s.frame, frames_[s.shown - 1]) << "picture " << s.shown;
    }
}

// A stop that keeps the first frame: after opening, and the stop key while
// playing, leave frame 0 on the LCD.
TEST_F(PlayerVideoTest, KeepStopLeavesTheFirstFrameOnTheLcd)
{
    const std::string path = RecordMovie(1280, 2.0);
    SetActionMode(ACTION_MODE_MOVIE);
    g_bKeepStop = 1;
    ASSERT_TRUE(PL_Open(path.c_str()));
    PL_Play();
    EXPECT_EQ(PL_WaitKeepStop(), 1);
    EXPECT_TRUE(PL_IsStop());
    EXPECT_EQ(PL_GetStopReason(), STOP_BY_KEEP);
    ASSERT_TRUE(WaitUntil([this] { return LcdFrame(true) == frames_.at(0); }, 3.0));
    EXPECT_EQ(g_nVideoPlayWidth, 1280);

    PL_Play();
    ASSERT_TRUE(WaitForPos(1500, 5.0));
    ASSERT_TRUE(WaitUntil([this] { return LcdFrame(true) != frames_.at(0); }, 3.0));
    EXPECT_EQ(PL_Stop(STOP_BY_USER), 1);
    EXPECT_TRUE(PL_IsStop());
    EXPECT_EQ(PL_GetStopReason(), STOP_BY_KEEP);
    ASSERT_TRUE(WaitUntil([this] { return LcdFrame(true) == frames_.at(0); }, 3.0));
    // As a person sees it (a PNG is left in the board folder): the picture
    // between the letter-box bars.
    std::string why;
    const vrec::board::HardwareState& state = vrec::board::Board::Get().state();
    EXPECT_TRUE(vrec::frontend::Snapshot(BoardRoot(), state, vrec::frontend::Output::kLcd,
                                         BoardRoot() + "/kept-first-frame.png", &why))
        << why;
    const vrec::board::RgbImage lcd = vrec::frontend::Capture(BoardRoot(), state, vrec::frontend::Output::kLcd);
    ASSERT_EQ(lcd.width * lcd.height, 320 * 240);
    auto level = [&](int x, int y) {
        const uint8_t* p = &lcd.rgb[(static_cast<size_t>(y) * lcd.width + x) * 3];
        return p[0] + p[1] + p[2];
    };
    int lit = 0;
    for (int x = 0; x < lcd.width; x += 4)
        lit += level(x, lcd.height / 2) > 60;
    EXPECT_GT(lit, lcd.width / 4 / 2);
}

// Photos are shown paused; a sound recording with a photo beside it plays
// its sound with the photo on the LCD.
TEST_F(PlayerVideoTest, PhotosAndThePictureOfASoundRecording)
{
    auto photo = [](const std::string& device, uint32_t stamp) {
        PictureBuffer picture(640, 480);
        DrawScene(picture.handle(), stamp);
        ASSERT_TRUE(JPEG_EncodeToFile(device.c_str(), picture.handle()));
    };
    photo("/sdcard/KS0001.JPG", 1234);
    photo("/sdcard/KS0002.JPG", 2345);

    ASSERT_TRUE(Play("/sdcard/KS0001.JPG", ACTION_MODE_PHOTO));
    EXPECT_TRUE(PL_IsImage());
    EXPECT_EQ(PL_GetDuration(), 1000);
    ASSERT_TRUE(WaitUntil([] { return PL_IsPausing() != 0; }, 3.0));
    ASSERT_TRUE(WaitUntil([] { return LcdFrame(false) == 1234u; }, 3.0));
    char szVideo[64], szAudio[64];
    PL_GetInfoStr(szVideo, szAudio);
    EXPECT_STREQ(szVideo, "VGA");
    // The slide show's step: the end of this photo, the next one.
    PL_Stop(STOP_BY_END);
    EXPECT_TRUE(PL_IsStop());
    ASSERT_TRUE(Play("/sdcard/KS0002.JPG", ACTION_MODE_PHOTO));
    ASSERT_TRUE(WaitUntil([] { return LcdFrame(false) == 2345u; }, 3.0));

    const std::vector<uint8_t> sound = NoisePcm(16, 2, 48000, 3);
    const std::string wav = PutWav("KS0002.WAV", 48000, 16, 2, sound);
    photo("/sdcard/KS0003.JPG", 3456);
    std::remove((BoardRoot() + "/sound/played.wav").c_str());
    ASSERT_TRUE(Play(wav, ACTION_MODE_SOUND));
    EXPECT_TRUE(PL_IsImage());
    EXPECT_EQ(PL_GetDuration(), 1000);
    EXPECT_EQ(g_nVideoPlayWidth, 640);
    ASSERT_TRUE(WaitUntil([] { return LcdFrame(false) == 2345u; }, 3.0));
    EXPECT_TRUE(PL_IsPlaying());
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    EXPECT_EQ(FindCopy(Samples(Played().data, 16), Samples(sound, 16), 64), 1);
    // Alone, the same sound has no picture.
    ASSERT_TRUE(PL_Open(PutWav("KS0004.WAV", 48000, 16, 2, sound).c_str()));
    EXPECT_FALSE(PL_IsImage());
}

// Movies from ffmpeg (decoder configuration in the "esds", key frames
// behind a group-of-VOP header) show every frame; a sample larger than the
// decoder's input is refused and play goes on.
TEST_F(PlayerVideoTest, ForeignMoviesAndOversizedSamples)
{
    std::string out;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=640x480:rate=30 -f lavfi -i "
                         "sine=sample_rate=48000 -t 1 -c:v mpeg4 -bf 0 -g 12 -c:a pcm_s16le '" +
                             HostPath("/sdcard/FF.MOV") + "'",
                         &out, true),
              0)
        << out;
    PlugHdmi();
    HdmiWatch watch(640, 480);
    ASSERT_TRUE(Play("/sdcard/FF.MOV", ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(watch.Shown(), 30u);

    // Frame 40 of 60 is 300,000 bytes: more than the decoder takes.
    RecorderVideo video;
    std::string error;
    ASSERT_TRUE(EncodeRecorderVideo(640, 480, 60, &video, &error)) << error;
    video.frames[40] = Bytes(300000, 0x5A);
    std::memcpy(video.frames[40].data(), "\0\0\1\xB6\x40", 5);
    std::unique_ptr<ScriptedCreator> creator = std::make_unique<ScriptedCreator>();
    creator->QueueRecording(video, 60, 48000, 16, 2, 2000);
    ASSERT_EQ(creator->Create("/sdcard/BIG.MOV", 640, 480, 30, 48000, 16, 2), MOV_EXIT_STOPPED);
    const uint32_t before = PicturesShown();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(Play("/sdcard/BIG.MOV", ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("frame 40 of 300000 bytes"), std::string::npos);
    EXPECT_EQ(PicturesShown() - before, 59u);
}

}  // namespace
