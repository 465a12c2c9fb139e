#include "tests/media/support/CopyCheck.h"

#include "DrvLib/Msp430.h"
#include "Media/MovCopy.h"

#include <algorithm>
#include <cstdio>

namespace vrec::test {

namespace {

constexpr int kFps = 30;
constexpr int kWidth = 320;
constexpr int kHeight = 240;

void PutSample(Bytes& out, int bits, int32_t value)
{
    for (int b = 0; b < bits / 8; ++b)
        out.push_back(static_cast<uint8_t>(value >> (8 * b)));
}

std::string Name(const std::string& path, const std::string& suffix)
{
    return path.substr(0, path.rfind('.')) + suffix;
}

}  // namespace

Bytes PatternSound(int bits, int64_t first, int64_t frames, int seed)
{
    Bytes out;
    out.reserve(static_cast<size_t>(frames) * 2 * (bits / 8));
    for (int64_t i = first; i < first + frames; ++i) {
        if (bits == 24) {
            PutSample(out, bits, static_cast<int32_t>(i & 0x7FFFFF) - 0x400000);
            PutSample(out, bits, static_cast<int32_t>((i >> 12) + seed * 4096) & 0x7FFFFF);
        } else {
            PutSample(out, bits, static_cast<int16_t>(i & 0xFFFF));
            PutSample(out, bits, static_cast<int16_t>(((i >> 16) + seed * 256) & 0x7FFF));
        }
    }
    return out;
}

bool WriteWav(const std::string& hostPath, int rate, int bits, const Bytes& pcm)
{
    auto le = [](std::string& s, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            s.push_back(static_cast<char>(v >> (8 * i)));
    };
    std::string h = "RIFF";
    le(h, static_cast<uint32_t>(pcm.size() + 36), 4);
    h += "WAVEfmt ";
    le(h, 16, 4);
    le(h, 1, 2);
    le(h, 2, 2);
    le(h, static_cast<uint32_t>(rate), 4);
    le(h, static_cast<uint32_t>(rate * bits / 8 * 2), 4);
    le(h, static_cast<uint32_t>(bits / 8 * 2), 2);
    le(h, static_cast<uint32_t>(bits), 2);
    h += "data";
    le(h, static_cast<uint32_t>(pcm.size()), 4);
    return WriteFile(hostPath, h + std::string(pcm.begin(), pcm.end()));
}

Bytes DecodedSound(const std::string& hostPath, int bits)
{
    std::string out;
    std::string format = bits == 24 ? "s24le" : "s16le";
    RunCommand("ffmpeg -nostdin -v error -i '" + hostPath + "' -map 0:a -f " + format + " - 2>/dev/null", &out);
    return Bytes(out.begin(), out.end());
}

std::vector<Bytes> VideoPackets(const std::string& hostPath)
{
    int videoIndex = -1;
    for (ProbeFields& stream : ProbeStreams(hostPath))
        if (stream["codec_type"] == "video")
            videoIndex = std::stoi(stream["index"]);
    const std::string file = ReadFile(hostPath);
    std::vector<Bytes> frames;
    for (const ProbePacket& p : ProbePackets(hostPath))
        if (p.stream == videoIndex && p.pos >= 0 && static_cast<size_t>(p.pos + p.size) <= file.size())
            frames.emplace_back(file.begin() + p.pos, file.begin() + p.pos + p.size);
    return frames;
}

std::vector<Bytes> StoredFrames(const RecorderVideo& video, int first, int end)
{
    std::vector<Bytes> frames(video.frames.begin() + first, video.frames.begin() + end);
    if (first == 0 && !frames.empty())
        frames[0].erase(frames[0].begin(), frames[0].begin() + kConfigHeaderSize);
    return frames;
}

Bytes SoundRange(const Bytes& pcm, int frameBytes, int64_t first, int64_t count)
{
    size_t from = std::min(pcm.size(), static_cast<size_t>(first * frameBytes));
    size_t to = std::min(pcm.size(), static_cast<size_t>((first + count) * frameBytes));
    return Bytes(pcm.begin() + from, pcm.begin() + to);
}

std::vector<int> ProgressLog::calls;
int ProgressLog::cancelAt = -1;
int (*ProgressLog::onPercent)(int) = nullptr;

void ProgressLog::Reset()
{
    calls.clear();
    cancelAt = -1;
    onPercent = nullptr;
}

int ProgressLog::Callback(int percent)
{
    calls.push_back(percent);
    if (onPercent)
        onPercent(percent);
    return cancelAt < 0 || percent < cancelAt;
}

void CopyTest::SetUp()
{
    MovTest::SetUp();
    ProgressLog::Reset();
    g_Msp430_nBatteryLevel = 6;
}

std::string CopyTest::MakeSource(const std::string& name, int frames, int rate, int bits, int seed)
{
    sourceVideo = Video(kWidth, kHeight, frames);
    sourceSound = PatternSound(bits, 0, static_cast<int64_t>(frames) * rate / kFps, seed);
    creator->QueueRecording(sourceVideo, frames, rate, sourceSound, bits / 8 * 2);
    const std::string path = "/sdcard/MY_FOLDER/" + name;
    EXPECT_EQ(Record(path, kWidth, kHeight, rate, bits), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->frames(), frames);
    return path;
}

void CopyTest::CheckDivide(const std::string& source, int frames, int rate, int bits, int second)
{
    const std::string before = ReadFile(HostPath(source));
    const std::string a = Name(source, "_a.mov");
    const std::string b = Name(source, "_b.mov");
    ASSERT_EQ(MovCopy(ProgressLog::Callback, a.c_str(), source.c_str(), 0, second, -1, nullptr, 0, 0), 0);
    // Progress rises to 100, reported three times at the end.
    ASSERT_GE(ProgressLog::calls.size(), 4u);
    EXPECT_TRUE(std::is_sorted(ProgressLog::calls.begin(), ProgressLog::calls.end()));
    EXPECT_EQ(std::count(ProgressLog::calls.begin(), ProgressLog::calls.end(), 100), 3);
    ASSERT_EQ(MovCopy(ProgressLog::Callback, b.c_str(), source.c_str(), second, -1, -1, nullptr, 0, 0), 0);
    EXPECT_EQ(ReadFile(HostPath(source)), before) << "the source changed";

    const int frameBytes = bits / 8 * 2;
    const int split = kFps * second;
    const int64_t splitSample = static_cast<int64_t>(rate) * second;
    struct Half
    {
        std::string path;
        int first, end;
    };
    int framesFound = 0;
    for (const Half& half : {Half{a, 0, split}, Half{b, split, frames}}) {
        SCOPED_TRACE(half.path);
        const std::string host = HostPath(half.path);
        for (ProbeFields& stream : ProbeStreams(host)) {
            if (stream["codec_type"] == "video") {
                EXPECT_EQ(stream["codec_name"], "mpeg4");
                EXPECT_EQ(stream["r_frame_rate"], "30/1");
                EXPECT_EQ(stream["nb_frames"], std::to_string(half.end - half.first));
                framesFound += std::stoi(stream["nb_frames"]);
            } else {
                EXPECT_EQ(stream["sample_rate"], std::to_string(rate));
                EXPECT_EQ(stream["bits_per_sample"], std::to_string(bits));
            }
        }
        EXPECT_NEAR(std::stod(ProbeFormat(host)["duration"]), (half.end - half.first) / 30.0, 0.0005);
        EXPECT_EQ(DecodeErrors(host), "");
        // Frame for frame and sample for sample the source's range.
        EXPECT_TRUE(VideoPackets(host) == StoredFrames(sourceVideo, half.first, half.end));
        const int64_t firstSample = half.first == 0 ? 0 : splitSample;
        const int64_t samples = static_cast<int64_t>(half.end - half.first) * rate / kFps;
        Bytes sound = DecodedSound(host, bits);
        EXPECT_EQ(sound.size(), static_cast<size_t>(samples * frameBytes));
        EXPECT_TRUE(sound == SoundRange(sourceSound, frameBytes, firstSample, samples));
    }
    EXPECT_EQ(framesFound, frames);
}

}  // namespace vrec::test
