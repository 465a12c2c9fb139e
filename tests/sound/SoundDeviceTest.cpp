// The sound device (SND_) on the board's sound card: modes, negotiation,
// the "ExCap" rule, transfers, xrun recovery, mixer selection and volumes.
#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Middleware/GUI/Recorder.h"
#include "sim/board/Board.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/sound/Signal.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace vrec::test;
using Clock = std::chrono::steady_clock;

class SoundDeviceTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        SetActionMode(ACTION_MODE_MOVIE);
        g_bAfterRecording = 0;
        g_bAfterRecMode = 0;
        SND_ValInit();
    }

    void TearDown() override
    {
        SND_Exit();
        SND_ValExit();
        g_bAfterRecMode = 0;
        BoardTest::TearDown();
    }

    vrec::board::SoundCard& card() { return vrec::board::Board::Get().state().sound; }
};

TEST_F(SoundDeviceTest, SetMixerSelectsItemsByTheirExactName)
{
    EXPECT_EQ(SND_SetMixer("Mic Gain", "High"), 0);
    EXPECT_EQ(card().mixer.micGain.load(), 2);
    EXPECT_EQ(SND_SetMixer("Capture Source Select", "Ext_Mic"), 0);
    EXPECT_EQ(card().mixer.captureSource.load(), 1);
    // A prefix of an item is no item: nothing changes, still 0.
    EXPECT_EQ(SND_SetMixer("Capture Source Select", "Ext"), 0);
    EXPECT_EQ(card().mixer.captureSource.load(), 1);
    EXPECT_EQ(SND_SetMixer("Capture Source Select", "line"), 0);
    EXPECT_EQ(card().mixer.captureSource.load(), 1);

    testing::internal::CaptureStderr();
    EXPECT_EQ(SND_SetMixer("No Such Control", "On"), -1);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("ERR : DrvLib/Sound ["), std::string::npos) << errors;
    EXPECT_NE(errors.find("Failed to find selem No Such Control"), std::string::npos) << errors;

    EXPECT_EQ(SND_DAC_Mute(1), 0);
    EXPECT_EQ(card().mixer.dacMute.load(), 1);
    EXPECT_EQ(SND_DAC_Mute(0), 0);
    EXPECT_EQ(card().mixer.dacMute.load(), 0);
    EXPECT_EQ(SND_ADC_Mute(7), 0);
    EXPECT_EQ(card().mixer.adcMute.load(), 1);
}

TEST_F(SoundDeviceTest, VolumesScaleIntoTheControlsRanges)
{
    EXPECT_EQ(SND_SetPlayVolume(35), 0);
    EXPECT_EQ(card().mixer.lineOutDac.load(), 120);
    EXPECT_EQ(SND_SetPlayVolume(0), 0);
    EXPECT_EQ(card().mixer.lineOutDac.load(), 0);
    EXPECT_EQ(SND_SetPlayVolume(17), 0);
    EXPECT_EQ(card().mixer.lineOutDac.load(), 120 * 17 / 35);
    EXPECT_EQ(SND_SetRecVolume(127), 0);
    EXPECT_EQ(card().mixer.capturePga.load(), 48);
    EXPECT_EQ(SND_SetRecVolume(64), 0);
    EXPECT_EQ(card().mixer.capturePga.load(), 24);
    EXPECT_EQ(SND_SetRecVolume(0), 0);
    EXPECT_EQ(card().mixer.capturePga.load(), 0);
}

TEST_F(SoundDeviceTest, MixerFunctionsFailWhileTheMixerIsClosed)
{
    SND_CloseMixer();
    EXPECT_EQ(SND_SetMixer("Mic Gain", "High"), -1);
    EXPECT_EQ(SND_SetPlayVolume(10), -1);
    EXPECT_EQ(SND_SetRecVolume(10), -1);
    EXPECT_EQ(SND_DAC_Mute(1), -1);
    EXPECT_EQ(card().mixer.micGain.load(), 0);
    SND_ValInit();
    EXPECT_EQ(SND_SetMixer("Mic Gain", "High"), 0);
}

TEST_F(SoundDeviceTest, PlayModeAsksForTwentyMillisecondPeriods)
{
    ASSERT_TRUE(SND_Init(SOUND_MODE_PLAY, 44100, 16, 2));
    const Sound_Object* obj = SND_GetObject();
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->nPeriodSize, 882);
    EXPECT_EQ(obj->nBufferSize, 22050);  // 500 ms at most for playback
    EXPECT_EQ(obj->nBytesPerFrame, 4);
    EXPECT_EQ(obj->hCapture, nullptr);
    EXPECT_NE(obj->hPlayback, nullptr);
    EXPECT_EQ(card().playback.open.load(), 1);
    EXPECT_EQ(card().capture.open.load(), 0);
    EXPECT_EQ(card().playback.periodFrames.load(), 882);
    EXPECT_EQ(card().mixer.exCap.load(), 0);
}

TEST_F(SoundDeviceTest, MonitorModeOpensBothAndFollowsTheExCapRule)
{
    SND_SetMixer("ExCap", "Off");
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 24, 2));
    const Sound_Object* obj = SND_GetObject();
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->nPeriodSize, 240);
    EXPECT_EQ(obj->nBytesPerFrame, 6);
    EXPECT_NE(obj->hCapture, nullptr);
    EXPECT_NE(obj->hPlayback, nullptr);
    EXPECT_EQ(card().capture.bufferFrames.load(), 48000);  // 1 s at most for capture
    EXPECT_EQ(card().playback.bufferFrames.load(), 24000);
    EXPECT_EQ(card().mixer.exCap.load(), 1);

    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 16, 2));
    EXPECT_EQ(card().mixer.exCap.load(), 0);
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC, 48000, 24, 2));
    EXPECT_EQ(card().mixer.exCap.load(), 0);
    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 24, 2));
    EXPECT_EQ(card().mixer.exCap.load(), 0);
    SetActionMode(ACTION_MODE_MOVIE);
    g_bAfterRecMode = 1;
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 24, 2));
    EXPECT_EQ(card().mixer.exCap.load(), 0);
}

TEST_F(SoundDeviceTest, UnknownModeOpensNothingAndSucceeds)
{
    EXPECT_TRUE(SND_Init(7, 48000, 16, 2));
    ASSERT_NE(SND_GetObject(), nullptr);
    EXPECT_EQ(SND_GetObject()->hCapture, nullptr);
    EXPECT_EQ(SND_GetObject()->hPlayback, nullptr);
    char buffer[64] = {};
    EXPECT_EQ(SND_Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(SND_Write(buffer, sizeof(buffer)), 0);
}

TEST_F(SoundDeviceTest, TwentyBitsFailWithTheFormatMessage)
{
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SND_Init(SOUND_MODE_REC, 48000, 20, 2));
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Failed to set sample format on plughw:0,0 ("), std::string::npos) << errors;
    EXPECT_EQ(SND_GetObject(), nullptr);
    EXPECT_EQ(card().capture.open.load(), 0);
}

TEST_F(SoundDeviceTest, MissingCardFailsToOpenAndStaysClosed)
{
    std::string root = BoardRoot();
    setenv("VRECSIM_ROOT", (root + "/no-board").c_str(), 1);
    testing::internal::CaptureStderr();
    bool opened = SND_Init(SOUND_MODE_REC_MONITOR, 48000, 16, 2);
    std::string errors = testing::internal::GetCapturedStderr();
    setenv("VRECSIM_ROOT", root.c_str(), 1);
    EXPECT_FALSE(opened);
    EXPECT_NE(errors.find("Failed to open ALSA sound device for input plughw:0,0"), std::string::npos) << errors;
    EXPECT_EQ(SND_GetObject(), nullptr);
    EXPECT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 16, 2));
}

TEST_F(SoundDeviceTest, ExitDrivesTheOutputToZeroAndCloses)
{
    ASSERT_TRUE(SND_Init(SOUND_MODE_PLAY, 48000, 16, 2));
    EXPECT_EQ(card().mixer.zeroOutput.load(), 0);
    SND_Exit();
    EXPECT_EQ(card().mixer.zeroOutput.load(), 1);
    EXPECT_EQ(SND_GetObject(), nullptr);
    EXPECT_EQ(card().playback.open.load(), 0);
    // Opening again sets the output up anew.
    ASSERT_TRUE(SND_Init(SOUND_MODE_PLAY, 48000, 16, 2));
    EXPECT_EQ(card().mixer.zeroOutput.load(), 0);
}

TEST_F(SoundDeviceTest, WriteTakesWholeFramesOnly)
{
    ASSERT_TRUE(SND_Init(SOUND_MODE_PLAY, 48000, 16, 2));
    std::vector<char> data(1003, 0);
    EXPECT_EQ(SND_Write(data.data(), static_cast<int>(data.size())), 0);
    snd_pcm_sframes_t delay = 0;
    ASSERT_EQ(snd_pcm_delay(SND_GetObject()->hPlayback, &delay), 0);
    EXPECT_EQ(delay, 250);  // below the start threshold: nothing played yet
    SND_Wait();
}

TEST_F(SoundDeviceTest, ReadReturnsAtOnceWhenOnlyPlaying)
{
    ASSERT_TRUE(SND_Init(SOUND_MODE_PLAY, 48000, 16, 2));
    std::vector<char> data(48000 * 4);
    auto start = Clock::now();
    EXPECT_EQ(SND_Read(data.data(), static_cast<int>(data.size())), 0);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 0.05);
}

TEST_F(SoundDeviceTest, ReadBlocksForTheSoundAndRecoversFromXruns)
{
    vrec::sound::SetTone(card(), vrec::sound::Input::kBuiltInMics, 1000, -6.0, 1000, -6.0);
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC, 48000, 16, 2));
    std::vector<uint8_t> data(48000 * 4);
    auto start = Clock::now();
    EXPECT_EQ(SND_Read(data.data(), static_cast<int>(data.size())), 0);
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(elapsed, 0.95);
    EXPECT_LT(elapsed, 1.1);
    Stereo s = Unpack(data.data(), data.size(), 16);
    EXPECT_NEAR(Db(SineAmplitude(s.left, 1000, 48000, 100)), -6.0, 0.1);

    testing::internal::CaptureStdout();
    vrec::sound::InjectOverrun(card());
    EXPECT_EQ(SND_Read(data.data(), 9600 * 4), 0);
    vrec::sound::InjectSuspend(card());
    EXPECT_EQ(SND_Read(data.data(), 9600 * 4), 0);
    std::string out = testing::internal::GetCapturedStdout();
    size_t first = out.find("xrunRecovery()::");
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_NE(out.find("xrunRecovery()::", first + 1), std::string::npos) << out;
    EXPECT_EQ(card().capture.running.load(), 1);
}

TEST_F(SoundDeviceTest, MonitorWritesReachTheLineOutput)
{
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 16, 2));
    std::vector<uint8_t> tone = PackSine(16, 48000, 240, 1000, 0.5, 1000, 0.5);
    std::vector<uint8_t> block(960);
    for (int i = 0; i < 100; ++i) {
        SND_Read(block.data(), 960);  // the capture paces the monitor
        SND_Write(tone.data(), static_cast<int>(tone.size()));
    }
    SND_Exit();
    WavData played;
    ASSERT_TRUE(ReadWav(BoardRoot() + "/sound/played.wav", &played));
    EXPECT_GT(played.data.size(), 80u * 960);
    EXPECT_NEAR(Db(Peak(Unpack(played.data.data(), played.data.size(), 16).left)), -6.0, 0.1);
}

}  // namespace

namespace {

TEST_F(SoundDeviceTest, WithExCapTheCodecMonitorsItsInputItself)
{
    vrec::sound::SetTone(card(), vrec::sound::Input::kBuiltInMics, 1000, -6.0, 1000, -200.0);
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 24, 2));
    ASSERT_EQ(card().mixer.exCap.load(), 1);
    std::vector<uint8_t> block(240 * 6);
    for (int i = 0; i < 60; ++i)
        SND_Read(block.data(), static_cast<int>(block.size()));
    SND_Exit();
    WavData played;
    ASSERT_TRUE(ReadWav(BoardRoot() + "/sound/played.wav", &played));
    EXPECT_EQ(played.bits, 24);
    Stereo s = Unpack(played.data.data(), played.data.size(), 24);
    EXPECT_GE(s.left.size(), 60u * 240);
    EXPECT_NEAR(Db(SineAmplitude(s.left, 1000, 48000)), -6.0, 0.05);
    EXPECT_LT(Peak(s.right), 1e-6);

    // Without ExCap nothing reaches the output unless it is written.
    std::remove((BoardRoot() + "/sound/played.wav").c_str());
    ASSERT_TRUE(SND_Init(SOUND_MODE_REC_MONITOR, 48000, 16, 2));
    for (int i = 0; i < 20; ++i)
        SND_Read(block.data(), 960);
    SND_Exit();
    EXPECT_FALSE(FileExists(BoardRoot() + "/sound/played.wav"));
}

}  // namespace
