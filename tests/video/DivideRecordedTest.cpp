// Dividing a movie the device recorded (camera, capture, video and writer
// threads): the halves are the recording's frames, in order, and add up.
#include "Media/MovCopy.h"
#include "tests/media/support/MovParse.h"
#include "tests/video/support/PipelineFixture.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace vrec::test;

namespace {

class RecordedDivideTest : public DeviceWriterFixture
{
};

double SoundSeconds(const std::string& path)
{
    for (ProbeFields& stream : ProbeStreams(path))
        if (stream["codec_type"] == "audio")
            return std::atof(stream["duration"].c_str());
    return -1;
}

}  // namespace

TEST_F(RecordedDivideTest, ARecordedMovieDividesIntoHalvesOfItsOwnFrames)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(640));
    const std::string source = pipeline_->RecordWithWriter(4.0);
    ASSERT_FALSE(source.empty());
    ASSERT_TRUE(pipeline_->LeaveRecorder());
    const std::string stem = source.substr(0, source.rfind('.'));
    ASSERT_EQ(MovCopy(nullptr, (stem + "_a.mov").c_str(), source.c_str(), 0, 2, -1, nullptr, 0, 0), 0);
    ASSERT_EQ(MovCopy(nullptr, (stem + "_b.mov").c_str(), source.c_str(), 2, -1, -1, nullptr, 0, 0), 0);

    const std::string whole = HostPath(source), a = HostPath(stem + "_a.mov"), b = HostPath(stem + "_b.mov");
    std::vector<DecodedFrame> all = DecodeFrames(whole, 640, 480);
    std::vector<DecodedFrame> first = DecodeFrames(a, 640, 480);
    std::vector<DecodedFrame> second = DecodeFrames(b, 640, 480);
    ASSERT_EQ(first.size(), 60u);
    ASSERT_EQ(first.size() + second.size(), all.size());
    // The camera's number on every frame: the halves hold the recording's frames.
    for (size_t i = 0; i < all.size(); ++i) {
        const DecodedFrame& half = i < 60 ? first[i] : second[i - 60];
        ASSERT_TRUE(all[i].stamp && half.stamp) << "frame " << i;
        EXPECT_EQ(half.stamp->frame, all[i].stamp->frame) << "frame " << i;
    }
    EXPECT_EQ(PictureTypes(b).substr(0, 1), "I");
    EXPECT_NEAR(SoundSeconds(a), 2.0, 0.001);
    EXPECT_NEAR(SoundSeconds(a) + SoundSeconds(b), SoundSeconds(whole), 0.001);
    EXPECT_EQ(DecodeErrors(a), "");
    EXPECT_EQ(DecodeErrors(b), "");
}
