// The player's longer real-time runs: every sound format sample for sample,
// variable speed (duration and pitch measured on what was played), and a
// movie's seeks, cue, review and I/O loop on key frames.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "player/Player.h"
#include "tests/media/support/MovFixture.h"
#include "tests/player/Pictures.h"
#include "tests/player/PlayerFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace vrec::test;

class PlayerFormatTest : public PlayerTest, public ::testing::WithParamInterface<Format>
{
};

TEST_P(PlayerFormatTest, AWavAndAMoviePlaySampleForSample)
{
    const Format f = GetParam();
    const std::vector<uint8_t> sound = NoisePcm(f.bits, f.channels, f.rate * 2, f.rate / 100 + f.bits);
    ASSERT_TRUE(Play(PutWav("KS0001.wav", f.rate, f.bits, f.channels, sound), ACTION_MODE_SOUND));
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 15.0));
    WavData played = Played();
    ASSERT_EQ(played.rate, f.rate);
    EXPECT_EQ(FindCopy(Samples(played.data, f.bits), Samples(sound, f.bits), 64), 1);

    // The same sound as the recorder's movie.
    std::remove((BoardRoot() + "/sound/played.wav").c_str());
    RecorderVideo video;
    std::string error;
    ASSERT_TRUE(EncodeRecorderVideo(640, 480, 60, &video, &error)) << error;
    std::unique_ptr<ScriptedCreator> creator = std::make_unique<ScriptedCreator>();
    creator->QueueRecording(video, 60, f.rate, sound, f.bits / 8 * f.channels);
    ASSERT_EQ(creator->Create("/sdcard/KS0001.MOV", 640, 480, 30, f.rate, f.bits, f.channels), MOV_EXIT_STOPPED);
    ASSERT_TRUE(Play("/sdcard/KS0001.MOV", ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 15.0));
    EXPECT_EQ(FindCopy(Samples(Played().data, f.bits), Samples(sound, f.bits), 64), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayerFormatTest,
                         ::testing::Values(Format{44100, 16, 2}, Format{44100, 24, 2}, Format{48000, 16, 2},
                                           Format{48000, 24, 2}, Format{96000, 16, 2}, Format{96000, 24, 2}));

class PlayerSpeedTest : public PlayerTest, public ::testing::WithParamInterface<int>
{
};

// At a speed the tone's sound lasts its duration x 100 / speed (within one
// 100 ms block) and keeps its pitch (within 1 %).
TEST_P(PlayerSpeedTest, DurationFollowsTheSpeedAndPitchStays)
{
    const int speed = GetParam();
    SetParameter("/GLOBAL/ENABLE SPEED", 1.0f);
    SetParameter("/PB Control/SPEED", speed / 100.0f);
    const std::vector<uint8_t> tone = PackSine(16, 48000, 48000 * 3, 1000, 0.5, 1000, 0.5);
    ASSERT_TRUE(Play(PutWav("TONE.WAV", 48000, 16, 2, tone), ACTION_MODE_SOUND));
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), speed);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 20.0));
    const WavData wav = Played();
    const Stereo played = Unpack(wav.data.data(), wav.data.size(), 16);
    const Span span = LoudSpan(played.left, 48000);
    EXPECT_NEAR(span.end - span.start, 3.0 * 100 / speed, 0.1) << speed;
    const size_t from = static_cast<size_t>((span.start + 0.2) * 48000);
    const size_t to = static_cast<size_t>((span.end - 0.2) * 48000);
    ASSERT_LT(from, to);
    std::vector<double> middle(played.left.begin() + from, played.left.begin() + to);
    EXPECT_NEAR(ZeroCrossingHz(middle, 48000), 1000.0, 10.0) << speed;
    std::vector<double> right(played.right.begin() + from, played.right.begin() + to);
    EXPECT_NEAR(ZeroCrossingHz(right, 48000), 1000.0, 10.0) << speed;
}

INSTANTIATE_TEST_SUITE_P(Speeds, PlayerSpeedTest, ::testing::Values(50, 70, 150));

// A speed change while playing takes effect at once, without a gap in the
// position: 1 s at normal speed, then the rest at 150 %.
TEST_F(PlayerTest, ASpeedChangeWhilePlayingGoesOnAtTheNewSpeed)
{
    SetParameter("/GLOBAL/ENABLE SPEED", 1.0f);
    const std::vector<uint8_t> tone = PackSine(24, 44100, 44100 * 4, 1000, 0.5, 1000, 0.5);
    ASSERT_TRUE(Play(PutWav("TONE.WAV", 44100, 24, 2, tone), ACTION_MODE_SOUND));
    ASSERT_TRUE(WaitForPos(1000, 5.0));
    g_VsaFilter.SetSpeed(1.5f);
    const int changedAt = PL_GetPos();
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 20.0));
    EXPECT_EQ(g_VsaFilter.GetSpeed(), 150);
    const WavData wav = Played();
    const Stereo played = Unpack(wav.data.data(), wav.data.size(), 24);
    const Span span = LoudSpan(played.left, 44100);
    // The position had reached changedAt when the change was asked for; the
    // blocks written after it went out at 150 %.
    const double expected = changedAt / 1000.0 + (4.0 - changedAt / 1000.0) / 1.5;
    EXPECT_NEAR(span.end - span.start, expected, 0.15);
    std::vector<double> late(played.left.begin() + static_cast<size_t>((span.end - 1.0) * 44100),
                             played.left.begin() + static_cast<size_t>((span.end - 0.2) * 44100));
    EXPECT_NEAR(ZeroCrossingHz(late, 44100), 1000.0, 10.0);
}

// A position goes to the key frame of its second; cue and review show key
// frames only and stop at the ends; the I/O loop starts again at its IN.
TEST_F(PlayerVideoTest, SeekCueReviewAndTheLoopLandOnKeyFrames)
{
    const std::string path = RecordMovie(640, 4.0);
    PlugHdmi();
    ASSERT_TRUE(Play(path, ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForPos(500, 5.0));
    PL_Pause();
    PL_SetPos(2500);
    // Frame 2 x 30 = 60 is a key frame: the position is its time, and the
    // paused picture is that frame.
    ASSERT_TRUE(WaitUntil([] { return PL_GetPos() == 2000; }, 5.0));
    ASSERT_TRUE(WaitUntil([this] { return HdmiFrame(640, 480) == frames_.at(60); }, 5.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(PL_GetPos(), 2000);
    EXPECT_EQ(HdmiFrame(640, 480), frames_.at(60));

    // Cue: key frames only, to the end (the frames queued before it are
    // shown first).
    ASSERT_TRUE(Play(path, ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForPos(300, 5.0));
    PL_SetSeekSpeed(5, 1);
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        HdmiWatch watch(640, 480);
        ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
        const std::vector<HdmiWatch::Seen>& seen = watch.Stop();
        EXPECT_GE(seen.size(), 1u);
        for (const HdmiWatch::Seen& s : seen)
            EXPECT_EQ(IndexOf(s.frame) % 30, 0) << s.frame;
        PL_SetSeekSpeed(0, 0);
    }

    // Review: to the top.
    ASSERT_TRUE(Play(path, ACTION_MODE_MOVIE));
    ASSERT_TRUE(WaitForPos(2500, 5.0));
    PL_SetSeekSpeed(-10, 1);
    ASSERT_TRUE(WaitForStop(STOP_BY_TOP, 10.0));
    PL_SetSeekSpeed(0, 0);

    // The loop: at OUT (2000 ms) on from IN (1000 ms, frame 30).
    ASSERT_TRUE(PL_Open(path.c_str()));
    g_ctrlIoRepeat.SetStartPos(1000);
    g_ctrlIoRepeat.SetEndPos(2000);
    g_ctrlIoRepeat.EnableLoop();
    HdmiWatch watch(640, 480);
    PL_Play();
    ASSERT_TRUE(WaitForPos(1800, 5.0));
    ASSERT_TRUE(WaitUntil([] { return PL_GetPos() < 1500; }, 5.0));
    ASSERT_TRUE(WaitForPos(1500, 5.0));
    EXPECT_TRUE(PL_IsPlaying());
    bool backAtIn = false;
    int highest = 0;
    for (const HdmiWatch::Seen& s : watch.Stop()) {
        const int index = IndexOf(s.frame);
        if (index < highest && index >= 30 && index <= 32)
            backAtIn = true;
        highest = std::max(highest, index);
    }
    EXPECT_TRUE(backAtIn);
    EXPECT_LE(highest, 2 * 30 + 8);  // the frames queued just before the wrap
}

}  // namespace
