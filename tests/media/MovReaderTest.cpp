// The movie reader on the device's own movies: tracks, formats, every
// sample's place, names and dates, and use from several threads.
#include "Lib/Sys.h"
#include "Media/MovReader.h"
#include "tests/media/support/MovFixture.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <sys/time.h>
#include <thread>

using namespace vrec::test;

namespace {

class ReaderProbe : public CMovReader
{
public:
    DWORD duration() const { return m_dwDuration; }
    DWORD mediaOffset() const { return m_dwMediaOffset; }
    int trackCount() const { return m_nTrackCount; }
    std::string ext() const { return m_szExt; }
};

struct Pos
{
    long offset = -1;
    int size = -1, count = -1, total = -1;
    bool ok = false;
};

Pos Locate(CMovReader& r, int kind, int index)
{
    Pos p;
    p.ok = r.GetSamplePos(kind, index, &p.offset, &p.size, &p.count, &p.total) != 0;
    return p;
}

std::string ReadAt(CMovReader& r, long offset, int size)
{
    std::string s(static_cast<size_t>(size), '\0');
    if (!r.Read(&s[0], offset, size))
        return "<read failed>";
    return s;
}

class MovReaderTest : public MovTest
{
};

TEST_F(MovReaderTest, FindsEverySampleOfItsOwnMovie)
{
    RecorderVideo video = Video(160, 120, 90);
    creator->QueueRecording(video, 90, 48000, 16, 2, 3000);
    ASSERT_EQ(Record("/sdcard/own.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);

    ReaderProbe r;
    ASSERT_EQ(r.Open("/sdcard/own.mov"), 0);
    EXPECT_EQ(r.trackCount(), 2);
    EXPECT_EQ(r.duration(), 3000u);
    EXPECT_EQ(r.mediaOffset(), 48u);
    EXPECT_EQ(r.GetFileLength(), ReadFile(HostPath("/sdcard/own.mov")).size());
    EXPECT_TRUE(r.HasVideo());
    int bigEndian = 7;
    EXPECT_TRUE(r.HasAudio(&bigEndian));
    EXPECT_EQ(bigEndian, 7);  // "sowt" leaves the flag alone
    EXPECT_TRUE(r.HasAudio(nullptr));
    EXPECT_EQ(r.GetVideoWidth(), 160);
    EXPECT_EQ(r.GetVideoHeight(), 120);
    int rate = 0, bits = 0, channels = 0;
    r.GetAudioInfo(&rate, &bits, &channels);
    EXPECT_EQ(rate, 48000);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(channels, 2);
    EXPECT_DOUBLE_EQ(r.GetFps(1), 30.0);  // "stts" delta 100 at time scale 3000
    EXPECT_DOUBLE_EQ(r.GetFps(0), -1.0);
    EXPECT_EQ(r.GetSampleCount(1), 90);
    EXPECT_EQ(r.GetSampleCount(0), 144000);
    ASSERT_NE(r.GetTrack(1), nullptr);
    EXPECT_EQ(r.GetTrack(1)->nKind, 1);
    EXPECT_DOUBLE_EQ(r.GetTrack(1)->dTimeScale, 3000.0);
    EXPECT_DOUBLE_EQ(r.GetTrack(0)->dTimeScale, 48000.0);
    EXPECT_DOUBLE_EQ(r.GetTrack(0)->dDuration, 144000.0);
    EXPECT_EQ(r.GetTrack(1)->nStsdSize, 149);  // the 153-byte entry less its size field
    EXPECT_EQ(std::memcmp(r.GetTrack(1)->pStsd, "mp4v", 4), 0);

    int frame = 0, block = 0;
    std::vector<long> frameOffsets;
    for (const auto& w : creator->written()) {
        if (w.video) {
            Pos p = Locate(r, 1, frame);
            ASSERT_TRUE(p.ok) << frame;
            frameOffsets.push_back(p.offset);
            EXPECT_EQ(p.offset, w.offset) << frame;
            EXPECT_EQ(p.size, w.size) << frame;
            EXPECT_EQ(p.count, 1);
            EXPECT_EQ(p.total, w.size);
            const Bytes& sent = video.frames[frame];
            const size_t skip = frame == 0 ? kConfigHeaderSize : 0;
            EXPECT_EQ(ReadAt(r, p.offset, p.size), std::string(sent.begin() + static_cast<long>(skip), sent.end()))
                << frame;
            ++frame;
        } else {
            // Each block is a chunk of 4800 sample frames of 4 bytes.
            Pos p = Locate(r, 0, block * 4800);
            ASSERT_TRUE(p.ok) << block;
            EXPECT_EQ(p.offset, w.offset);
            EXPECT_EQ(p.size, 4);
            EXPECT_EQ(p.count, 4800);
            EXPECT_EQ(p.total, 19200);
            Bytes tone = ToneBlock(48000, 16, 2, block * 4800, 4800);
            EXPECT_EQ(ReadAt(r, p.offset, p.total), std::string(tone.begin(), tone.end())) << block;
            Pos mid = Locate(r, 0, block * 4800 + 1000);
            ASSERT_TRUE(mid.ok);
            EXPECT_EQ(mid.offset, w.offset + 4000);
            EXPECT_EQ(mid.count, 3800);
            EXPECT_EQ(mid.total, 15200);
            ++block;
        }
    }
    EXPECT_EQ(frame, 90);
    EXPECT_EQ(block, 30);

    // Going backwards finds the same places as going forwards.
    for (int i = 89; i >= 0; i -= 7)
        EXPECT_EQ(Locate(r, 1, i).offset, frameOffsets[i]) << i;
    EXPECT_EQ(Locate(r, 1, 0).offset, 48);

    EXPECT_EQ(r.GetSampleIndex(1, 60.0), 2);
    EXPECT_EQ(r.GetSampleIndex(1, 2669.0), 88);
    EXPECT_EQ(r.GetSampleIndex(1, 2700.0), -1);  // not below the frame count
    EXPECT_EQ(r.GetSampleIndex(1, -31.0), -1);
    EXPECT_EQ(r.GetSampleIndex(0, 30.0), -1);  // sound has no frame rate

    EXPECT_FALSE(Locate(r, 1, 90).ok);
    EXPECT_FALSE(Locate(r, 1, -1).ok);
    EXPECT_FALSE(Locate(r, 0, 144000).ok);
    EXPECT_FALSE(Locate(r, 2, 0).ok);
    EXPECT_EQ(r.GetSampleCount(2), -1);
    r.Close();
}

TEST_F(MovReaderTest, SoundChunksAreReadInOneRun)
{
    RecorderVideo video = Video(160, 120, 30);
    for (int f = 0; f < 30; ++f) {
        creator->QueueVideo(video.frames[f]);
        creator->QueueSound(ToneBlock(48000, 16, 2, 1600 * f, 1600));
    }
    ASSERT_EQ(Record("/sdcard/s.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/s.mov"), 0);
    for (int k = 0; k < 30; ++k) {
        Pos p = Locate(r, 0, 1600 * k);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.count, 1600);
        EXPECT_EQ(p.total, 6400);
        EXPECT_EQ(p.size, 4);
    }
    r.Close();
}

TEST_F(MovReaderTest, BigEndianSoundIsFlagged)
{
    const std::string path = MakeMovie("twos.mov", 160, 120, 30, 48000, 16, 1000);
    std::string bytes = ReadFile(path);
    size_t at = bytes.find("sowt");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, "twos");
    ASSERT_TRUE(WriteFile(path, bytes));
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/twos.mov"), 0);
    int bigEndian = 0;
    EXPECT_TRUE(r.HasAudio(&bigEndian));
    EXPECT_EQ(bigEndian, 1);
    r.Close();
}

TEST_F(MovReaderTest, TwentyFourBitSound)
{
    MakeMovie("in24.mov", 160, 120, 30, 44100, 24, 1000);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/in24.mov"), 0);
    int bigEndian = 5;
    EXPECT_TRUE(r.HasAudio(&bigEndian));
    EXPECT_EQ(bigEndian, 5);
    int rate, bits, channels;
    r.GetAudioInfo(&rate, &bits, &channels);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(channels, 2);
    Pos p = Locate(r, 0, 0);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.size, 6);
    EXPECT_EQ(p.count, 4410);
    EXPECT_EQ(p.total, 26460);
    r.Close();
}

TEST_F(MovReaderTest, RatesOf96kHzComeFromTheTrackTimeScale)
{
    MakeMovie("r96.mov", 160, 120, 30, 96000, 24, 1000);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/r96.mov"), 0);
    int rate = 0;
    r.GetAudioInfo(&rate, nullptr, nullptr);
    EXPECT_EQ(rate, 96000);  // the description's field holds 30464
    EXPECT_DOUBLE_EQ(r.GetTrack(0)->dTimeScale, 96000.0);
    EXPECT_EQ(r.GetSampleCount(0), 96000);
    r.Close();
}

TEST_F(MovReaderTest, OnlyMovFilesAreWalked)
{
    const std::string path = MakeMovie("m.mov", 160, 120, 30, 48000, 16, 1000);
    const std::string bytes = ReadFile(path);
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/Mixed.MoV"), bytes));
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/clip.bin"), bytes));
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/noext"), "not a movie"));

    ReaderProbe mixed;
    EXPECT_EQ(mixed.Open("/sdcard/Mixed.MoV"), 0);
    EXPECT_EQ(mixed.ext(), "MOV");
    EXPECT_EQ(mixed.GetSampleCount(1), 30);
    mixed.Close();

    ReaderProbe other;
    EXPECT_EQ(other.Open("/sdcard/clip.bin"), 0);
    EXPECT_EQ(other.ext(), "BIN");
    EXPECT_EQ(other.trackCount(), 0);
    EXPECT_FALSE(other.HasVideo());
    EXPECT_FALSE(other.HasAudio(nullptr));
    EXPECT_EQ(other.GetSampleCount(1), -1);
    EXPECT_EQ(other.GetFileLength(), bytes.size());
    char title[256];
    other.GetTitle(title);
    EXPECT_STREQ(title, "clip.bin");
    other.Close();

    ReaderProbe none;
    EXPECT_EQ(none.Open("/sdcard/noext"), 0);
    EXPECT_EQ(none.ext(), "");
    none.Close();
}

TEST_F(MovReaderTest, OpenCloseAndTheFileItself)
{
    MakeMovie("a.mov", 160, 120, 30, 48000, 16, 1000);
    MakeMovie("b.mov", 160, 120, 30, 48000, 16, 1000);
    // 2021-03-04 05:06:07 UTC
    struct timeval times[2] = {{1614834367, 0}, {1614834367, 0}};
    ASSERT_EQ(SYS_utimes("/sdcard/a.mov", times), 0);

    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/a.mov"), 0);
    char text[256];
    r.GetDateStr(text);
    EXPECT_STREQ(text, "2021/03/04 05:06");
    r.GetTitle(text);
    EXPECT_STREQ(text, "a.mov");
    EXPECT_EQ(r.Open("/sdcard/b.mov"), 0);  // already open: nothing changes
    r.GetTitle(text);
    EXPECT_STREQ(text, "a.mov");
    r.Close();
    r.Close();

    EXPECT_FALSE(Locate(r, 1, 0).ok);
    char byte;
    EXPECT_FALSE(r.Read(&byte, 0L, 1));
    EXPECT_DOUBLE_EQ(r.GetFps(1), -1.0);

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(r.Open("/sdcard/missing.mov"), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "/sdcard/missing.mov open error!!\n");

    ASSERT_EQ(r.Open("/sdcard/b.mov"), 0);
    r.GetTitle(text);
    EXPECT_STREQ(text, "b.mov");
    EXPECT_EQ(r.GetSampleCount(1), 30);
    EXPECT_FALSE(r.Read(&byte, -1L, 1));
    EXPECT_FALSE(r.Read(&byte, static_cast<long>(r.GetFileLength()), 1));
    r.Close();

    // A name longer than the title field is cut, not written past it.
    std::string longName = "/sdcard/" + std::string(300, 'x') + ".mov";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(r.Open(longName.c_str()), 1);
    ::testing::internal::GetCapturedStdout();
    r.GetTitle(text);
    EXPECT_EQ(std::strlen(text), 255u);
}

TEST_F(MovReaderTest, SeeksInAnyOrderFindTheSamePlaces)
{
    // Runs of 2 to 4 frames make an "stsc" entry nearly every chunk: more
    // entries than the reader keeps checkpoints for.
    const int runs[] = {3, 4, 2, 3, 3, 4, 2, 2, 4};
    int frames = 0;
    for (int g = 0; g < 594; ++g) {
        for (int i = 0; i < runs[g % 9]; ++i) {
            Bytes frame = {0, 0, 1, 0xB6};
            frame.resize(8 + (frames++ % 5), 0x55);
            creator->QueueVideo(frame);
        }
        creator->QueueSound(ToneBlock(8000, 16, 1, 0, 800));
    }
    ASSERT_EQ(frames, 1782);
    ASSERT_EQ(creator->Create("/sdcard/seek.mov", 160, 120, 30, 8000, 16, 1), MOV_EXIT_STOPPED);
    std::vector<long> expected;
    for (const auto& w : creator->written())
        if (w.video)
            expected.push_back(w.offset);

    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/seek.mov"), 0);
    ASSERT_EQ(r.GetSampleCount(1), 1782);
    std::vector<int> order(1782);
    for (int i = 0; i < 1782; ++i)
        order[i] = (i * 7919) % 1782;  // a permutation that jumps back and forth
    for (int pass = 0; pass < 2; ++pass)
        for (int i : order) {
            Pos p = Locate(r, 1, i);
            ASSERT_TRUE(p.ok) << i;
            ASSERT_EQ(p.offset, expected[i]) << "frame " << i << " pass " << pass;
        }
    for (int i = 1781; i >= 0; --i)
        ASSERT_EQ(Locate(r, 1, i).offset, expected[i]) << i;
    for (int k = 0; k < 594; ++k) {
        Pos p = Locate(r, 0, 800 * k + 799);
        ASSERT_TRUE(p.ok) << k;
        EXPECT_EQ(p.count, 1);
    }
    r.Close();
}

TEST_F(MovReaderTest, VideoAndSoundThreadsShareOneReader)
{
    RecorderVideo video = Video(160, 120, 90);
    creator->QueueRecording(video, 90, 48000, 16, 2, 3000);
    ASSERT_EQ(Record("/sdcard/t.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/t.mov"), 0);
    std::vector<std::string> frames;
    for (int i = 0; i < 90; ++i) {
        Pos p = Locate(r, 1, i);
        frames.push_back(ReadAt(r, p.offset, p.size));
    }
    std::vector<std::string> chunks;
    for (int k = 0; k < 30; ++k) {
        Pos p = Locate(r, 0, 4800 * k);
        chunks.push_back(ReadAt(r, p.offset, p.total));
    }

    std::atomic<int> mismatches{0};
    std::thread videoThread([&] {
        for (int round = 0; round < 20; ++round)
            for (int i = 0; i < 90; ++i) {
                Pos p = Locate(r, 1, i);
                if (!p.ok || ReadAt(r, p.offset, p.size) != frames[i] || std::abs(r.GetFps(1) - 30.0) > 1e-9)
                    ++mismatches;
            }
    });
    std::thread soundThread([&] {
        for (int round = 0; round < 20; ++round)
            for (int k = 29; k >= 0; --k) {
                Pos p = Locate(r, 0, 4800 * k);
                if (!p.ok || ReadAt(r, p.offset, p.total) != chunks[k])
                    ++mismatches;
            }
    });
    videoThread.join();
    soundThread.join();
    EXPECT_EQ(mismatches.load(), 0);
    r.Close();
}

}  // namespace
