// Recordings made on the board (capture thread, writer thread) played back:
// the line output holds what the file holds, sample for sample.
#include "Lib/Global.h"
#include "Media/Writer.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/media/support/MovParse.h"
#include "tests/media/support/WriterRig.h"
#include "tests/player/PlayerFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using namespace vrec::test;

class RecordedPlayTest : public WriterRig
{
protected:
    void TearDown() override
    {
        play_.Stop();
        WriterRig::TearDown();
    }

    void Sleep(double seconds)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    }

    // Plays a recording of the folder and compares the line output with
    // `sound` (interleaved PCM of the file's format).
    void ExpectPlaysAsRecorded(const std::string& name, int mode, const std::vector<uint8_t>& sound, int bits)
    {
        // What the monitor played while recording is not wanted.
        std::remove((BoardRoot() + "/sound/played.wav").c_str());
        ASSERT_TRUE(play_.Start());
        ASSERT_TRUE(Play("/sdcard/MY_FOLDER/" + name, mode));
        const int seconds = PL_GetDuration() / 1000;
        ASSERT_TRUE(WaitForStop(STOP_BY_END, seconds + 10.0));
        EXPECT_EQ(FindCopy(Samples(Played().data, bits), Samples(sound, bits), 64), 1) << name;
        play_.Stop();
    }

    PlayThreads play_;
};

TEST_F(RecordedPlayTest, ASoundRecordingPlaysBackSampleForSample)
{
    vrec::sound::SetNoise(vrec::board::Board::Get().state().sound, vrec::sound::Input::kBuiltInMics, -12.0, -15.0);
    SetQuality(48000, 24);
    StartThreads(Mode::kLive);
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 5.0));
    Sleep(2.0);
    StopRecording();
    LeaveRecorder();
    StopThreads();

    const std::vector<std::string> files = Recordings("wav");
    ASSERT_EQ(files.size(), 1u);
    WavData wav;
    ASSERT_TRUE(ReadWav(Recorded(files[0]), &wav));
    ASSERT_EQ(wav.bits, 24);
    ASSERT_GE(wav.data.size(), 48000u * 6);
    ExpectPlaysAsRecorded(files[0], ACTION_MODE_SOUND, wav.data, 24);
}

TEST_F(RecordedPlayTest, AMovieRecordingPlaysItsSoundBackSampleForSample)
{
    vrec::sound::SetNoise(vrec::board::Board::Get().state().sound, vrec::sound::Input::kBuiltInMics, -12.0, -15.0);
    SetQuality(48000, 16);
    StartThreads(Mode::kLive);
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(640, 480));
    EnterRecorder(ACTION_MODE_MOVIE);
    feeder.Start();
    Sleep(0.5);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bMovWriterRunning != 0; }, 5.0));
    Sleep(2.0);
    feeder.Stop();
    ASSERT_TRUE(WaitUntil([this] { return Fifo_getNumEntries(encodedOut_) == 0; }, 5.0));
    Sleep(0.5);
    StopRecording();
    LeaveRecorder();
    StopThreads();

    const std::vector<std::string> files = Recordings("mov");
    ASSERT_EQ(files.size(), 1u);
    // The sound as ffmpeg reads it from the movie.
    std::string raw;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + Recorded(files[0]) + "' -map 0:a -f s16le -", &raw), 0);
    ASSERT_GE(raw.size(), 48000u * 4);
    const std::vector<uint8_t> sound(raw.begin(), raw.end());
    ExpectPlaysAsRecorded(files[0], ACTION_MODE_MOVIE, sound, 16);
}

}  // namespace
