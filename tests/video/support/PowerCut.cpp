#include "tests/video/support/PowerCut.h"

#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/Recovery.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "tests/media/support/MovParse.h"
#include "tests/video/support/VideoPipeline.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vrec::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string NotePath()
{
    return BoardRoot() + "/cut-note.txt";
}

// The child: records, notes how long, and loses its power. Never returns.
[[noreturn]] void RecordInChild(const CutRecording& recording, double seconds)
{
    SetParameter("/REC Quality/SAMPLE RATE", static_cast<float>(recording.rate));
    SetParameter("/REC Quality/SOUND FORMAT", static_cast<float>(recording.bits));
    vrec::board::Board::Get().state().leds.backlight = 5;
    // Left running: the power goes before anything is shut down.
    auto* pipeline = new VideoPipeline(VideoPipeline::Writer::kDevice, true);
    const bool movie = recording.width != 0;
    if (!pipeline->started() ||
        !pipeline->EnterRecorder(movie ? recording.width : 1280, movie ? ACTION_MODE_MOVIE : ACTION_MODE_SOUND))
        _exit(3);
    g_RemainMedia.Update();
    g_bRecPause = 0;
    g_nRecPos = 0;
    g_bRecording = 1;
    if (!WaitUntil([] { return g_bMovWriterRunning != 0 || g_bWavWriterRunning != 0; }, 5.0))
        _exit(4);
    const Clock::time_point start = Clock::now();
    HostHoldUp holdUp;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::ofstream(NotePath()) << std::chrono::duration<double>(Clock::now() - start).count() << " "
                              << holdUp.Excuses() << "\n";
    kill(getpid(), SIGKILL);
    _exit(5);
}

std::vector<std::string> Recordings()
{
    std::vector<std::string> names;
    DIR* dir = opendir(HostPath("/sdcard/MY_FOLDER").c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

uint32_t Be32(const std::string& b, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 | static_cast<uint8_t>(b[at + 1]) << 16 |
           static_cast<uint8_t>(b[at + 2]) << 8 | static_cast<uint8_t>(b[at + 3]);
}

// The frame sizes a journal names, in order.
std::vector<int64_t> JournalFrames(const std::string& journal)
{
    std::vector<int64_t> frames;
    std::string b = ReadFile(journal);
    for (size_t at = RCV_JOURNAL_HEAD_SIZE; at + 4 <= b.size();) {
        uint32_t word = Be32(b, at);
        at += 4;
        if (word >> 30 == RCV_JOURNAL_DSI)
            at += ((word & 0x3FFFFFFF) + 3) / 4 * 4;
        else if (word >> 30 == RCV_JOURNAL_VIDEO)
            frames.push_back(word & 0x3FFFFFFF);
    }
    return frames;
}

double StreamSeconds(const std::string& path, const std::string& type)
{
    for (ProbeFields& stream : ProbeStreams(path))
        if (stream["codec_type"] == type)
            return std::atof(stream["duration"].c_str());
    return -1;
}

void CheckMovie(const CutRecording& recording, const std::string& name, double recorded, bool heldUp)
{
    const std::string path = HostPath("/sdcard/MY_FOLDER/" + name);
    const std::string journal = HostPath("/sdcard/MY_FOLDER/." + name + ".jnl");
    const std::vector<int64_t> journaled = JournalFrames(journal);
    ASSERT_FALSE(journaled.empty()) << "no journal beside " << name;

    EXPECT_EQ(RCV_RecoverCard(), 1);
    EXPECT_FALSE(FileExists(journal));
    EXPECT_EQ(DecodeErrors(path), "");

    // The frames are those the journal named, from the first, minus at most
    // the half second that evens the tracks.
    std::vector<ProbePacket> video;
    for (const ProbePacket& p : ProbePackets(path))
        if (p.stream == 1)
            video.push_back(p);
    ASSERT_FALSE(video.empty());
    EXPECT_TRUE(video.front().key);
    ASSERT_LE(video.size(), journaled.size());
    if (!heldUp) {
        EXPECT_GE(video.size() + 15, journaled.size());
    }
    for (size_t i = 0; i < video.size(); ++i)
        ASSERT_EQ(video[i].size, journaled[i]) << "frame " << i;

    // ... and the camera's, in its order.
    std::vector<DecodedFrame> frames = DecodeFrames(path, recording.width, recording.width == 1280 ? 720 : 480);
    ASSERT_EQ(frames.size(), video.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].stamp) << "frame " << i;
        if (i > 0) {
            EXPECT_GT(frames[i].stamp->frame, frames[i - 1].stamp->frame) << "frame " << i;
        }
    }
    const double seconds = std::atof(ProbeFormat(path)["duration"].c_str());
    if (!heldUp) {
        EXPECT_GE(seconds, recorded - 1.0);
    }
    EXPECT_NEAR(StreamSeconds(path, "audio"), StreamSeconds(path, "video"), 0.1);
}

// One answer of soxi (-r, -b, -c, -D).
double Soxi(const std::string& option, const std::string& path)
{
    std::string output;
    if (RunCommand("soxi " + option + " '" + path + "'", &output) != 0)
        return -1;
    return std::atof(output.c_str());
}

void CheckSound(const CutRecording& recording, const std::string& name, double recorded, bool heldUp)
{
    const std::string path = HostPath("/sdcard/MY_FOLDER/" + name);
    EXPECT_EQ(RCV_RecoverCard(), 1);
    EXPECT_EQ(Soxi("-r", path), recording.rate);
    EXPECT_EQ(Soxi("-b", path), recording.bits);
    EXPECT_EQ(Soxi("-c", path), 2);
    if (!heldUp) {
        EXPECT_GE(Soxi("-D", path), recorded - 1.0);
    }
    std::string output;
    EXPECT_EQ(RunCommand("sox '" + path + "' -n", &output, true), 0) << output;
    // Nothing is left to recover the next time.
    EXPECT_EQ(RCV_RecoverCard(), 0);
}

}  // namespace

HostHoldUp::HostHoldUp()
    : dropped_(vrec::board::Board::Get().state().camera.dropped.load()), missed_(VPFE_GetMissedFrames())
{
}

bool HostHoldUp::Excuses() const
{
#ifdef __SANITIZE_ADDRESS__
    return true;
#else
    const uint32_t dropped = vrec::board::Board::Get().state().camera.dropped.load() - dropped_;
    const int missed = VPFE_GetMissedFrames() - missed_;
    if (dropped > 0 || missed > 0)
        std::printf("the host held the recording up: %u frame times without a buffer, %d frames without a frame "
                    "buffer; its length is not judged\n",
                    dropped, missed);
    return dropped > 0 || missed > 0;
#endif
}

double CutMoment(unsigned seed, double from, double to)
{
    std::mt19937 random(seed);
    return std::uniform_real_distribution<double>(from, to)(random);
}

double PowerCutTest::RecordAndCut(const CutRecording& recording, double seconds, bool* heldUp)
{
    std::remove(NotePath().c_str());
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0)
        RecordInChild(recording, seconds);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
        ADD_FAILURE() << "the recording child ended with status " << status;
        return -1;
    }
    std::istringstream note(ReadFile(NotePath()));
    double recorded = -1;
    int excused = 1;
    note >> recorded >> excused;
    *heldUp = excused != 0;
    return recorded;
}

void PowerCutTest::CutAndCheck(const CutRecording& recording, unsigned seed, double from, double to)
{
    const double moment = CutMoment(seed, from, to);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", cut after " + std::to_string(moment) + " s");
    bool heldUp = false;
    const double recorded = RecordAndCut(recording, moment, &heldUp);
    ASSERT_GT(recorded, 0);
    CheckRecovered(recording, recorded, heldUp);
}

void CheckRecovered(const CutRecording& recording, double recorded, bool heldUp)
{
    std::vector<std::string> names = Recordings();
    ASSERT_EQ(names.size(), 1u) << "recordings on the card";
    if (recording.width)
        CheckMovie(recording, names[0], recorded, heldUp);
    else
        CheckSound(recording, names[0], recorded, heldUp);
}

}  // namespace vrec::test
