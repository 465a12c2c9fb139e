// Long real-time recordings through the capture, video and display threads:
// ten seconds of HD and of SD at their bit rates, and sound and picture
// kept together over a minute by the board's sync marks.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "sim/board/camera/SyncMark.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/PipelineFixture.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

using namespace vrec::test;

namespace {

vrec::board::HardwareState& State()
{
    return vrec::board::Board::Get().state();
}

class LongRecordingTest : public DeviceWriterFixture
{
};

TEST_F(LongRecordingTest, TenSecondsOfHdAndSdAtTheirBitRatesWithAKeyFrameASecond)
{
    for (int width : {1280, 640}) {
        const int height = width == 1280 ? 720 : 480;
        const double target = width == 1280 ? 7.5e6 : 2.5e6;
        ASSERT_TRUE(pipeline_->EnterRecorder(width));
        const std::string device = pipeline_->RecordWithWriter(10.0);
        ASSERT_FALSE(device.empty());
        ASSERT_TRUE(pipeline_->LeaveRecorder());
        const std::string path = HostPath(device);

        EXPECT_EQ(DecodeErrors(path), "");
        std::vector<ProbeFields> streams = ProbeStreams(path);
        ASSERT_EQ(streams.size(), 2u);
        const int videoIndex = streams[0]["codec_type"] == "video" ? 0 : 1;
        EXPECT_EQ(streams[videoIndex]["width"], std::to_string(width));
        EXPECT_EQ(streams[videoIndex]["r_frame_rate"], "30/1");
        EXPECT_EQ(streams[1 - videoIndex]["sample_rate"], "48000");
        int64_t videoBytes = 0;
        int frames = 0;
        for (const ProbePacket& p : ProbePackets(path))
            if (p.stream == videoIndex) {
                videoBytes += p.size;
                ++frames;
            }
        ASSERT_GE(frames, 290);
        double rate = static_cast<double>(videoBytes) * 8 * 30 / frames;
        EXPECT_NEAR(rate, target, target * 0.25) << width;
        std::printf("%dx%d: %d frames, %.2f Mbit/s\n", width, height, frames, rate / 1e6);

        std::string types = PictureTypes(path);
        ASSERT_EQ(static_cast<int>(types.size()), frames);
        for (size_t i = 0; i < types.size(); ++i)
            EXPECT_EQ(types[i] == 'I', i % 30 == 0) << "frame " << i;
        // Consecutive numbers, unless the host held the recording up so long
        // that the queues overflowed.
        std::vector<DecodedFrame> decoded = DecodeFrames(path, width, height);
        ASSERT_EQ(static_cast<int>(decoded.size()), frames);
        const bool heldUp = pipeline_->HeldUp();
        for (size_t i = 1; i < decoded.size(); ++i) {
            ASSERT_TRUE(decoded[i].stamp.has_value() && decoded[i - 1].stamp.has_value()) << i;
            if (heldUp)
                EXPECT_GT(decoded[i].stamp->frame, decoded[i - 1].stamp->frame) << "frame " << i;
            else
                EXPECT_EQ(decoded[i].stamp->frame, decoded[i - 1].stamp->frame + 1) << "frame " << i;
        }
    }
}

// Onsets of the clicks in 16-bit stereo PCM: a loud sample after at least
// half a second of quiet, in seconds from the start.
std::vector<double> ClickTimes(const std::string& path, int rate)
{
    std::vector<double> times;
    std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -map 0:a:0 -f s16le -ac 1 -";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return times;
    int16_t sample;
    int64_t index = 0;
    int64_t quiet = rate;
    while (std::fread(&sample, sizeof(sample), 1, pipe) == 1) {
        if (std::abs(sample) > 3000) {
            if (quiet >= rate / 2)
                times.push_back(static_cast<double>(index) / rate);
            quiet = 0;
        } else {
            ++quiet;
        }
        ++index;
    }
    pclose(pipe);
    return times;
}

TEST_F(LongRecordingTest, SyncMarksKeepSoundAndPictureWithinAFrameOverAMinute)
{
    vrec::board::SoundCard& card = State().sound;
    card.inner.kind = vrec::board::kSoundSilence;
    vrec::board::SetSyncEverySecond(State().camera, true);
    ASSERT_TRUE(pipeline_->EnterRecorder(1280));
    const std::string device = pipeline_->RecordWithWriter(62.0);
    ASSERT_FALSE(device.empty());
    // When the host held the recording up long enough for the queues to
    // overflow, what was lost moved sound and picture apart from then on.
    const bool heldUp = pipeline_->HeldUp();
    ASSERT_TRUE(pipeline_->LeaveRecorder());
    vrec::board::SetSyncEverySecond(State().camera, false);
    const std::string path = HostPath(device);

    std::vector<double> flashes;
    std::vector<DecodedFrame> frames = DecodeFrames(path, 1280, 720);
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].meanLuma > 200)
            flashes.push_back(static_cast<double>(i) / 30);
    std::vector<double> clicks = ClickTimes(path, 48000);
    ASSERT_GE(flashes.size(), 60u);
    ASSERT_GE(clicks.size(), 60u);
    // Each flash has its click within a frame; the first and those after a
    // minute are the ones that count.
    for (size_t i = 0; i < flashes.size(); ++i) {
        double nearest = 1e9;
        for (double c : clicks)
            if (std::fabs(c - flashes[i]) < std::fabs(nearest))
                nearest = c - flashes[i];
        if (i == 0 || (flashes[i] >= 60.0 && !heldUp)) {
            EXPECT_LE(std::fabs(nearest), 1.0 / 30) << "flash at " << flashes[i] << " s";
        }
        if (i == 0)
            std::printf("sound - picture at the start: %+.1f ms\n", nearest * 1000);
        if (i + 1 == flashes.size())
            std::printf("sound - picture at %.1f s: %+.1f ms\n", flashes[i], nearest * 1000);
    }
}

TEST_F(LongRecordingTest, APhotoRequestWithoutARecorderFailsInsteadOfWaitingForGood)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SnapImage(), -2);
    EXPECT_FALSE(IsSnapImage());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

}  // namespace
