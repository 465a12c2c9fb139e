// Recordings cut by a power loss or a pulled card come back whole: HD and
// SD movies and a 48 kHz 24-bit sound recording cut at seeded moments, and
// a movie whose card was pulled and put back.
#include "Lib/Global.h"
#include "Lib/Sys.h"
#include "Media/Recovery.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/GUI/Recorder.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "tests/video/support/PipelineFixture.h"
#include "tests/media/support/MovParse.h"
#include "tests/video/support/PowerCut.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <thread>

using namespace vrec::test;

namespace {

class RecoveryTest : public PowerCutTest
{
};

class PulledCardRecoveryTest : public DeviceWriterFixture
{
};

}  // namespace

TEST_F(RecoveryTest, HdMovieCutAtASeededMomentIsRecovered)
{
    CutAndCheck({1280, 48000, 16}, 1, 1.5, 3.5);
}

TEST_F(RecoveryTest, SdMovieWith24BitSoundCutAtASeededMomentIsRecoveredOnTheCardAndByTheHostTool)
{
    const CutRecording sd{640, 48000, 24};
    bool heldUp = false;
    double recorded = RecordAndCut(sd, CutMoment(2, 1.5, 3.5), &heldUp);
    ASSERT_GT(recorded, 0);
    // A copy taken off the card as the cut left it, the journal renamed.
    const std::string folder = HostPath("/sdcard/MY_FOLDER/");
    const std::string copy = BoardRoot() + "/copied.mov", journal = BoardRoot() + "/copied-journal";
    ASSERT_EQ(std::system(("cp " + folder + "KS0000_0001.mov " + copy).c_str()), 0);
    ASSERT_EQ(std::system(("cp " + folder + ".KS0000_0001.mov.jnl " + journal).c_str()), 0);

    CheckRecovered(sd, recorded, heldUp);

    std::string output;
    EXPECT_EQ(RunCommand(std::string(VREC_RECOVER) + " " + copy + " " + journal, &output, true), 0) << output;
    EXPECT_EQ(ReadFile(copy), ReadFile(folder + "KS0000_0001.mov")) << "the tool mends as the firmware does";
    EXPECT_EQ(RunCommand(std::string(VREC_RECOVER) + " " + copy, &output, true), 0);
    EXPECT_NE(output.find("whole"), std::string::npos) << output;
    // What is no recording of the recorder is refused and left alone.
    ASSERT_TRUE(WriteFile(BoardRoot() + "/other.mov", std::string(4096, 'x')));
    EXPECT_EQ(RunCommand(std::string(VREC_RECOVER) + " " + BoardRoot() + "/other.mov", &output, true), 1);
    EXPECT_EQ(ReadFile(BoardRoot() + "/other.mov"), std::string(4096, 'x'));
}

TEST_F(RecoveryTest, SoundRecordingCutAtASeededMomentGetsItsSizes)
{
    CutAndCheck({0, 48000, 24}, 3, 1.0, 3.0);
}

TEST_F(PulledCardRecoveryTest, MovieOfAPulledCardIsRecoveredWhenTheCardComesBack)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(640));
    g_RemainMedia.Update();
    g_bRecPause = 0;
    g_bRecording = 1;
    ASSERT_TRUE(WaitUntil([] { return g_bMovWriterRunning != 0; }, 5.0));
    HostHoldUp holdUp;
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const bool heldUp = holdUp.Excuses();
    vrec::board::Board& board = vrec::board::Board::Get();
    const std::string card = board.cards().Inserted();
    board.cards().Remove(board.state());
    ASSERT_TRUE(WaitUntil([] { return !g_bMovWriterRunning && !g_bRecording; }, 5.0));
    ASSERT_TRUE(pipeline_->LeaveRecorder());

    std::string why;
    ASSERT_TRUE(board.cards().Insert(board.state(), card, &why)) << why;
    struct stat st;
    ASSERT_TRUE(WaitUntil([&st] { return SYS_stat("/sdcard/MY_FOLDER", &st) == 0; }, 5.0));
    // The writer stopped at the first write the card refused: what it had
    // journaled by then, about two and a half seconds, comes back.
    CheckRecovered({640, 48000, 16}, 2.5, heldUp);
}
