// The codec engine's MPEG-4 encoder and decoder with the recorder's
// parameters: the stream form the writer expects, what ffprobe and ffmpeg
// make of it, decoding the recorder's and ffmpeg's streams, damaged input.
#include "Lib/Global.h"
#include "Middleware/CODEC/Video.h"
#include "media-stack/codec/Mpeg4Config.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <vector>

using namespace vrec::test;
using mediastack::Bytes;

namespace {

// The encoder with the recorder's parameters, fed with camera pictures.
class Encoder
{
public:
    Encoder(int width, int height) : picture_(width, height)
    {
        OpenEngine();
        bool hd = width == 1280;
        VIDENC1_Params params = {sizeof(VIDENC1_Params), 2, 1, height, width, 30000, hd ? 8000000 : 3000000,
                                 XDM_BYTE, 0, XDM_YUV_422ILE, IVIDEO_PROGRESSIVE, XDM_YUV_420P};
        MPEG4ENC_DynamicParams dyn = {{sizeof(MPEG4ENC_DynamicParams), height, width, 30000, 30000,
                                       hd ? 7500000 : 2500000, 30, 0, 0, -1, 1, 0},
                                      {0, 0, 0, 31, 1, 0, 0, 0, 0, 0, 0, 0, 0}};
        encoder_ = Venc1_create(g_hEngine, "mpeg4enc", &params, &dyn.videncDynamicParams);
        out_ = Buffer_create(1382400, &Buffer_Attrs_DEFAULT);
    }
    ~Encoder()
    {
        if (encoder_)
            Venc1_delete(encoder_);
        Buffer_delete(out_);
    }
    bool ok() const { return encoder_ != nullptr; }

    // Encodes frames [first, first + count) of the scene.
    std::vector<Bytes> Encode(int first, int count)
    {
        std::vector<Bytes> frames;
        for (int i = first; i < first + count; ++i) {
            DrawScene(picture_.handle(), static_cast<uint32_t>(i));
            if (Venc1_process(encoder_, picture_.handle(), out_) != Dmai_EOK)
                break;
            auto* p = reinterpret_cast<uint8_t*>(Buffer_getUserPtr(out_));
            frames.emplace_back(p, p + Buffer_getNumBytesUsed(out_));
        }
        return frames;
    }

private:
    PictureBuffer picture_;
    Venc1_Handle encoder_ = nullptr;
    Buffer_Handle out_ = nullptr;
};

Bytes Join(const std::vector<Bytes>& frames)
{
    Bytes all;
    for (const Bytes& f : frames)
        all.insert(all.end(), f.begin(), f.end());
    return all;
}

void Save(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool IsIntraVop(const Bytes& f, size_t at)
{
    return f.size() > at + 4 && mediastack::StartsWithCode(f.data() + at, f.size() - at, 0xB6) && (f[at + 4] >> 6) == 0;
}

class CodecTest : public BoardTest
{
};

TEST_F(CodecTest, EncoderGivesTheRecorderStreamThatFfmpegReads)
{
    for (int width : {1280, 640}) {
        const int height = width == 1280 ? 720 : 480;
        Encoder encoder(width, height);
        ASSERT_TRUE(encoder.ok());
        std::vector<Bytes> frames = encoder.Encode(0, 65);
        ASSERT_EQ(frames.size(), 65u);

        // The first frame: video-object start code 00 00 01 01, a 14-byte
        // VOL, then the first VOP; every other frame starts at its VOP.
        const Bytes& first = frames[0];
        ASSERT_GT(first.size(), 22u);
        EXPECT_TRUE(mediastack::StartsWithCode(first.data(), first.size(), 0x01));
        EXPECT_EQ(first[4], 0);
        EXPECT_EQ(first[6], 1);
        EXPECT_EQ(first[7] & 0xF0, 0x20);
        EXPECT_TRUE(IsIntraVop(first, 18));
        for (size_t i = 1; i < frames.size(); ++i) {
            EXPECT_TRUE(mediastack::StartsWithCode(frames[i].data(), frames[i].size(), 0xB6)) << i;
            EXPECT_EQ(IsIntraVop(frames[i], 0), i % 30 == 0) << "frame " << i;
        }

        const std::string path = HostPath("/sdcard/stream.m4v");
        Save(path, Join(frames));
        std::vector<ProbeFields> streams = ProbeStreams(path);
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0]["codec_name"], "mpeg4");
        EXPECT_EQ(streams[0]["width"], std::to_string(width));
        EXPECT_EQ(streams[0]["height"], std::to_string(height));
        EXPECT_EQ(DecodeErrors(path), "");
        std::string types = PictureTypes(path);
        ASSERT_EQ(types.size(), 65u);
        EXPECT_EQ(types.find('B'), std::string::npos);
        for (size_t i = 0; i < types.size(); ++i)
            EXPECT_EQ(types[i] == 'I', i % 30 == 0) << "frame " << i << " of " << types;

        // The stamps survive: every decoded frame carries its number.
        std::vector<DecodedFrame> decoded = DecodeFrames(path, width, height);
        ASSERT_EQ(decoded.size(), 65u);
        for (size_t i = 0; i < decoded.size(); ++i) {
            ASSERT_TRUE(decoded[i].stamp.has_value()) << "frame " << i;
            EXPECT_EQ(decoded[i].stamp->frame, i);
        }
    }
}

// The decoder as the decode loop makes it.
class Decoder
{
public:
    Decoder()
    {
        OpenEngine();
        VIDDEC2_Params params = {sizeof(MPEG4DEC_Params), 720, 1280, 30000, 8000000, XDM_BYTE, XDM_YUV_422ILE};
        VIDDEC2_DynamicParams dyn = {sizeof(VIDDEC2_DynamicParams), 0, 0, 0, 0, 0, 0};
        decoder_ = Vdec2_create(g_hEngine, "mpeg4dec", &params, &dyn);
        input_ = Buffer_create(DECODER_INPUT_SIZE, &Buffer_Attrs_DEFAULT);
    }
    ~Decoder()
    {
        if (decoder_)
            Vdec2_delete(decoder_);
        Buffer_delete(input_);
    }
    bool ok() const { return decoder_ != nullptr; }

    // Result of decoding the bytes into the picture; consumed gets the input's used bytes after.
    int Decode(const Bytes& bytes, PictureBuffer& picture, int* consumed = nullptr)
    {
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(Buffer_getUserPtr(input_)));
        Buffer_setNumBytesUsed(input_, static_cast<int32_t>(bytes.size()));
        int r = Vdec2_process(decoder_, input_, picture.handle());
        if (consumed)
            *consumed = Buffer_getNumBytesUsed(input_);
        return r;
    }

private:
    Vdec2_Handle decoder_ = nullptr;
    Buffer_Handle input_ = nullptr;
};

TEST_F(CodecTest, DecoderGivesTheRecordersPicturesBack)
{
    Encoder encoder(640, 480);
    ASSERT_TRUE(encoder.ok());
    std::vector<Bytes> frames = encoder.Encode(100, 40);
    ASSERT_EQ(frames.size(), 40u);
    Decoder decoder;
    ASSERT_TRUE(decoder.ok());
    PictureBuffer picture(1280, 720);
    for (size_t i = 0; i < frames.size(); ++i) {
        int consumed = 0;
        ASSERT_EQ(decoder.Decode(frames[i], picture, &consumed), Dmai_EOK) << i;
        EXPECT_EQ(consumed, static_cast<int>(frames[i].size()));
        EXPECT_EQ(picture.width(), 640);
        EXPECT_EQ(picture.height(), 480);
        std::optional<vrec::board::FrameStamp> stamp = StampOf(picture.handle());
        ASSERT_TRUE(stamp.has_value()) << i;
        EXPECT_EQ(stamp->frame, 100 + i);
    }
}

TEST_F(CodecTest, DecoderReadsWhatFfmpegsMpeg4EncoderWrites)
{
    const std::string path = HostPath("/sdcard/ffmpeg.m4v");
    std::string out;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=1280x720:rate=30 -t 1 -c:v mpeg4 -bf 0 "
                         "-g 30 -f m4v '" + path + "'",
                         &out, true),
              0)
        << out;
    Bytes stream;
    {
        std::string bytes = ReadFile(path);
        stream.assign(bytes.begin(), bytes.end());
    }
    // One VOP at a time, the headers in front of the first.
    std::vector<Bytes> vops;
    size_t start = 0;
    for (size_t at = mediastack::FindCode(stream.data(), stream.size(), 0, 0xB6); at < stream.size();) {
        size_t next = mediastack::FindCode(stream.data(), stream.size(), at + 4, 0xB6);
        // A GOV header before a key frame belongs to that frame.
        size_t gov = mediastack::FindCode(stream.data(), next, at + 4, 0xB3);
        size_t end = gov < next ? gov : next;
        vops.emplace_back(stream.begin() + static_cast<long>(start), stream.begin() + static_cast<long>(end));
        start = end;
        at = next;
    }
    ASSERT_EQ(vops.size(), 30u);
    Decoder decoder;
    PictureBuffer picture(1280, 720);
    for (size_t i = 0; i < vops.size(); ++i)
        ASSERT_EQ(decoder.Decode(vops[i], picture), Dmai_EOK) << i;
    EXPECT_EQ(picture.width(), 1280);
    EXPECT_EQ(picture.height(), 720);
    // testsrc has colour bars across its top: the picture is not black.
    const uint8_t* p = picture.data();
    int bright = 0;
    for (int x = 0; x < 1280; ++x)
        bright += p[100 * 2560 + 2 * x + 1] > 100;
    EXPECT_GT(bright, 400);
}

TEST_F(CodecTest, DamagedSamplesGiveBitErrorsNotCrashes)
{
    Encoder encoder(1280, 720);
    ASSERT_TRUE(encoder.ok());
    std::vector<Bytes> frames = encoder.Encode(0, 31);
    ASSERT_EQ(frames.size(), 31u);
    Decoder decoder;
    PictureBuffer picture(1280, 720);
    ASSERT_EQ(decoder.Decode(frames[0], picture), Dmai_EOK);

    // Bytes that are no MPEG-4 at all: a bit error with nothing consumed
    // (the decode loop's fatal bit error).
    int consumed = -1;
    EXPECT_EQ(decoder.Decode(Bytes(4000, 0x55), picture, &consumed), Dmai_EBITERROR);
    EXPECT_EQ(consumed, 0);

    // A VOP cut short and one with its middle overwritten: never a crash,
    // a bit error or a concealed picture.
    Bytes cut(frames[1].begin(), frames[1].begin() + static_cast<long>(frames[1].size() / 3));
    int r = decoder.Decode(cut, picture);
    EXPECT_EQ(r, Dmai_EBITERROR);
    Bytes garbled = frames[2];
    for (size_t i = 8; i < garbled.size(); i += 7)
        garbled[i] ^= 0xA5;
    r = decoder.Decode(garbled, picture);
    EXPECT_EQ(r, Dmai_EBITERROR);

    // The next key frame decodes cleanly again.
    ASSERT_EQ(decoder.Decode(frames[30], picture), Dmai_EOK);
    std::optional<vrec::board::FrameStamp> stamp = StampOf(picture.handle());
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->frame, 30u);

    // An input claiming more bytes than it holds is refused outright.
    Buffer_Handle input = Buffer_create(64, &Buffer_Attrs_DEFAULT);
    EXPECT_LT(Buffer_setNumBytesUsed(input, 65), 0);
    Buffer_delete(input);
}

}  // namespace
