// Recordings made on the board (camera, capture, encoder and writer
// threads) played back: the line output holds what the file holds, sample
// for sample, and the movie's pictures come out in order.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/media/support/MovParse.h"
#include "tests/player/PlayerFixture.h"
#include "tests/video/support/PipelineFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using namespace vrec::test;

class RecordedPlayTest : public DeviceWriterFixture
{
protected:
    void SetUp() override
    {
        DeviceWriterFixture::SetUp();
        ResetPlayerSettings();
        SetParameter("/REC Quality/SOUND FORMAT", 24.0f);
        vrec::sound::SetNoise(vrec::board::Board::Get().state().sound, vrec::sound::Input::kBuiltInMics, -12.0,
                              -15.0);
    }

    // Plays a recording and compares the line output with `sound`
    // (interleaved PCM of the file's format).
    void ExpectPlaysAsRecorded(const std::string& path, int mode, const std::vector<uint8_t>& sound, int bits)
    {
        // What the monitor played while recording is not wanted.
        std::remove((BoardRoot() + "/sound/played.wav").c_str());
        ASSERT_TRUE(Play(path, mode));
        ASSERT_TRUE(WaitForStop(STOP_BY_END, PL_GetDuration() / 1000 + 10.0));
        EXPECT_EQ(FindCopy(Samples(Played().data, bits), Samples(sound, bits), 64), 1) << path;
    }
};

TEST_F(RecordedPlayTest, ASoundRecordingPlaysBackSampleForSample)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(640, ACTION_MODE_SOUND));
    // REC_Start and REC_Stop of the screen.
    g_RemainMedia.Update();
    g_nRecPos = 0;
    g_bRecording = 1;
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 5.0));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    REC_Stop();
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning == 0; }, 10.0));
    ASSERT_TRUE(pipeline_->LeaveRecorder());

    const std::string path = std::string("/sdcard/MY_FOLDER/") + screen_player::m_curFile;
    WavData wav;
    ASSERT_TRUE(ReadWav(HostPath(path), &wav)) << path;
    ASSERT_EQ(wav.bits, 24);
    ASSERT_GE(wav.data.size(), 48000u * 6);
    ExpectPlaysAsRecorded(path, ACTION_MODE_SOUND, wav.data, 24);
}

TEST_F(RecordedPlayTest, AMovieRecordingPlaysItsSoundBackSampleForSample)
{
    SetParameter("/REC Quality/SOUND FORMAT", 16.0f);
    ASSERT_TRUE(pipeline_->EnterRecorder(640, ACTION_MODE_MOVIE));
    const std::string path = pipeline_->RecordWithWriter(2.0);
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(pipeline_->LeaveRecorder());

    // The sound as ffmpeg reads it from the movie.
    std::string raw;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + HostPath(path) + "' -map 0:a -f s16le -", &raw), 0);
    ASSERT_GE(raw.size(), 48000u * 4);
    ExpectPlaysAsRecorded(path, ACTION_MODE_MOVIE, std::vector<uint8_t>(raw.begin(), raw.end()), 16);
}

}  // namespace
