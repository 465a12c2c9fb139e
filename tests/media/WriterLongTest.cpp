// The 2,000,000,000-byte rule: a movie and a sound recording go on in a new
// file once the file holds that much, losing no frame and no sound. The
// frames and sound are queued as fast as the writer takes them.
#include "Lib/Global.h"
#include "Media/MovRecorder.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPFE/Capture.h"
#include "tests/media/support/MovParse.h"
#include "tests/media/support/WriterRig.h"
#include "tests/sound/Signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>

using namespace vrec::test;

namespace {

int64_t SizeOf(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// Frames and sound samples of a movie as ffprobe counts them.
struct Counted
{
    int frames = 0;
    int64_t soundBytes = 0;
    std::string firstFrame;
    std::string lastFrame;
    bool firstIsKey = false;
};

Counted Count(const std::string& path)
{
    Counted c;
    std::vector<ProbePacket> packets = ProbePackets(path);
    FILE* fp = std::fopen(path.c_str(), "rb");
    auto bytes = [fp](const ProbePacket& p) {
        std::string b(static_cast<size_t>(p.size), '\0');
        if (fp && fseeko(fp, p.pos, SEEK_SET) == 0 && std::fread(&b[0], 1, b.size(), fp) == b.size())
            return b;
        return std::string();
    };
    const ProbePacket* last = nullptr;
    for (const ProbePacket& p : packets) {
        if (p.stream == 0) {
            c.soundBytes += p.size;
            continue;
        }
        if (c.frames == 0) {
            c.firstFrame = bytes(p);
            c.firstIsKey = p.key;
        }
        ++c.frames;
        last = &p;
    }
    if (last)
        c.lastFrame = bytes(*last);
    if (fp)
        std::fclose(fp);
    return c;
}

std::string Text(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

class WriterLongTest : public WriterRig
{
};

TEST_F(WriterLongTest, MovieGoesOnInANewFileAtTwoBillionBytes)
{
    SetQuality(48000, 24);
    g_nVideoRecordWidth = 1280;
    g_nVideoRecordHeight = 720;
    StartThreads(Mode::kFed);
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(1280, 720));
    EnterRecorder(ACTION_MODE_MOVIE);
    StartRecording();
    // Until the second file has begun, then three seconds more.
    int steps = 0;
    while (Recordings(".mov").size() < 2 && steps < 60000) {
        FeedRhythm(feeder, 0.1);
        ++steps;
    }
    ASSERT_EQ(Recordings(".mov").size(), 2u) << "no second file after " << feeder.Fed() << " frames";
    FeedRhythm(feeder, 3.0);
    ASSERT_TRUE(WaitQueuesEmpty(60.0));
    StopRecording();
    LeaveRecorder();
    EXPECT_EQ(g_RecorderMov.GetExitCode(), 0);

    std::vector<std::string> movies = Recordings(".mov");
    const std::string first = Recorded(movies[0]);
    const std::string second = Recorded(movies[1]);
    // The first file passed the limit by less than a second of recording.
    EXPECT_GE(SizeOf(first), 2000000000);
    EXPECT_LT(SizeOf(first), 2000000000 + 4000000);

    Counted a = Count(first);
    Counted b = Count(second);
    EXPECT_EQ(a.frames % 30, 0);
    EXPECT_EQ(a.frames + b.frames, feeder.Fed()) << "frames lost or doubled";
    EXPECT_TRUE(a.firstIsKey);
    EXPECT_TRUE(b.firstIsKey);
    EXPECT_EQ(a.firstFrame, Text(feeder.Frame(0)));
    EXPECT_EQ(a.lastFrame, Text(feeder.Frame(a.frames - 1)));
    EXPECT_EQ(b.firstFrame, Text(feeder.Frame(a.frames)));
    // Sound to the same length in each (6 bytes a sample frame).
    EXPECT_EQ(a.soundBytes, static_cast<int64_t>(a.frames) * 48000 / 30 * 6);
    EXPECT_EQ(b.soundBytes, static_cast<int64_t>(b.frames) * 48000 / 30 * 6);

    // Both play: the start and the end of the long one, all of the short one.
    std::string out;
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -t 3 -i '" + first + "' -f null - 2>&1", &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -sseof -3 -i '" + first + "' -f null - 2>&1", &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(DecodeErrors(second), "");
}

TEST_F(WriterLongTest, SoundRecordingGoesOnInANewFileAtTwoBillionBytes)
{
    SetQuality(96000, 24);
    StartThreads(Mode::kFed);
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    // 34,723 buffers of 57,600 bytes reach the limit; 77 more start the next file.
    for (int i = 0; i < 34800; ++i)
        ASSERT_TRUE(FeedSound()) << i;
    ASSERT_TRUE(WaitQueuesEmpty(60.0));
    StopRecording();
    LeaveRecorder();

    std::vector<std::string> files = Recordings(".wav");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(SizeOf(Recorded(files[0])), 44 + 34723LL * 57600);
    EXPECT_EQ(SizeOf(Recorded(files[1])), 44 + 77LL * 57600);
    SoxInfo a = Soxi(Recorded(files[0]));
    EXPECT_EQ(a.rate, 96000);
    EXPECT_EQ(a.bits, 24);
    EXPECT_NEAR(a.seconds, 3472.3, 0.001);
    EXPECT_NEAR(Soxi(Recorded(files[1])).seconds, 7.7, 0.001);

    // No sound lost at the split: the tone runs on from one file into the next.
    std::string tail, head;
    RunCommand("sox '" + Recorded(files[0]) + "' -t raw -e signed -b 24 - trim 3472.25", &tail);
    RunCommand("sox '" + Recorded(files[1]) + "' -t raw -e signed -b 24 - trim 0 0.05", &head);
    std::string joint = tail + head;
    Stereo s = Unpack(reinterpret_cast<const uint8_t*>(joint.data()), joint.size(), 24);
    ASSERT_EQ(s.left.size(), 9600u);
    double fitted = SineAmplitude(s.left, kFedToneHz, 96000);
    EXPECT_NEAR(Rms(s.left), fitted / std::sqrt(2.0), fitted * 0.01);
}

}  // namespace
