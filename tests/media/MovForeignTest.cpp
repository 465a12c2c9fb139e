// The movie reader on movies that ffmpeg's own mov muxer wrote: every sample
// where ffprobe says it is.
#include "Media/MovReader.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoardTest.h"

#include <string>

using namespace vrec::test;

namespace {

struct Foreign
{
    const char* name;
    const char* soundInput;  // ffmpeg options before the tone input
    const char* options;     // output options
    const char* codec;       // as ffprobe names the sound
    int rate, bits, channels;
    bool bigEndian;
    const char* mustHave;    // an atom path the file must contain
};

std::ostream& operator<<(std::ostream& os, const Foreign& f)
{
    return os << f.name;
}

class MovForeignTest : public BoardTest, public ::testing::WithParamInterface<Foreign>
{
};

TEST_P(MovForeignTest, EverySampleIsWhereFfprobeSaysItIs)
{
    const Foreign& c = GetParam();
    const std::string device = std::string("/sdcard/") + c.name + ".mov";
    const std::string path = HostPath(device);
    std::string out;
    const std::string cmd = std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 ") +
                            c.soundInput + " -f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(c.rate) +
                            " -t 3 -c:v mpeg4 -bf 0 -g 30 -ac " + std::to_string(c.channels) + " " + c.options + " '" +
                            path + "'";
    ASSERT_EQ(RunCommand(cmd, &out, true), 0) << cmd << "\n" << out;

    MovFile file;
    std::string error;
    ASSERT_TRUE(file.Load(path, &error)) << error;
    ASSERT_NE(file.Find(c.mustHave), nullptr) << c.mustHave;
    std::vector<ProbeFields> streams = ProbeStreams(path);
    ASSERT_EQ(streams.size(), 2u);
    ASSERT_EQ(streams[1]["codec_name"], c.codec);

    CMovReader r;
    ASSERT_EQ(r.Open(device.c_str()), 0);
    EXPECT_TRUE(r.HasVideo());
    int bigEndian = 0;
    EXPECT_TRUE(r.HasAudio(&bigEndian));
    EXPECT_EQ(bigEndian, c.bigEndian ? 1 : 0);
    EXPECT_EQ(r.GetVideoWidth(), 320);
    EXPECT_EQ(r.GetVideoHeight(), 240);
    EXPECT_DOUBLE_EQ(r.GetFps(1), 30.0);
    int rate = 0, bits = 0, channels = 0;
    r.GetAudioInfo(&rate, &bits, &channels);
    EXPECT_EQ(rate, c.rate);
    EXPECT_EQ(bits, c.bits);
    EXPECT_EQ(channels, c.channels);
    const int frameBytes = c.bits / 8 * c.channels;

    int frame = 0;
    int64_t sample = 0;
    for (const ProbePacket& p : ProbePackets(path)) {
        long offset = -1;
        int size = 0, count = 0, total = 0;
        if (p.stream == 0) {
            ASSERT_TRUE(r.GetSamplePos(1, frame, &offset, &size, &count, &total)) << "frame " << frame;
            EXPECT_EQ(offset, p.pos) << "frame " << frame;
            EXPECT_EQ(size, p.size) << "frame " << frame;
            EXPECT_EQ(count, 1);
            ++frame;
        } else {
            // ffmpeg splits a sound chunk into packets; each begins where the
            // reader puts that sample, and the reader's run covers it.
            ASSERT_TRUE(r.GetSamplePos(0, static_cast<int>(sample), &offset, &size, &count, &total)) << sample;
            EXPECT_EQ(offset, p.pos) << "sample " << sample;
            EXPECT_EQ(size, frameBytes);
            EXPECT_GE(total, p.size) << "sample " << sample;
            EXPECT_EQ(p.size % frameBytes, 0);
            sample += p.size / frameBytes;
        }
    }
    EXPECT_EQ(frame, r.GetSampleCount(1));
    EXPECT_EQ(frame, 90);
    EXPECT_EQ(sample, r.GetSampleCount(0));
    EXPECT_FALSE(r.GetSamplePos(1, frame, nullptr, nullptr, nullptr, nullptr));
    r.Close();
}

INSTANTIATE_TEST_SUITE_P(
    FfmpegMuxer, MovForeignTest,
    ::testing::Values(
        Foreign{"sowt", "", "-c:a pcm_s16le", "pcm_s16le", 48000, 16, 2, false, "moov/trak[1]/edts/elst"},
        Foreign{"twos", "", "-c:a pcm_s16be", "pcm_s16be", 44100, 16, 2, true, "moov/trak[1]/mdia/minf/stbl/stco"},
        Foreign{"in24", "", "-c:a pcm_s24le -metadata title=Kestra", "pcm_s24le", 48000, 24, 2, false, "moov/udta"},
        Foreign{"in24be", "", "-c:a pcm_s24be", "pcm_s24be", 48000, 24, 2, false, "moov/mvhd"},
        Foreign{"mono", "", "-c:a pcm_s16le -ar 32000", "pcm_s16le", 32000, 16, 1, false, "moov/mvhd"},
        // The index first, with room kept in a "free" atom before "mdat".
        Foreign{"free", "", "-c:a pcm_s16le -moov_size 20000", "pcm_s16le", 48000, 16, 2, false, "free"},
        // Sound that starts late: an empty edit in the sound track's list.
        Foreign{"delayed", "-itsoffset 0.5", "-c:a pcm_s16be -movflags +faststart", "pcm_s16be", 48000, 16, 2, true,
                "moov/trak[1]/edts/elst"}),
    [](const ::testing::TestParamInfo<Foreign>& info) { return std::string(info.param.name); });

}  // namespace
