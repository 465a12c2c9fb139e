// The media reader: WAV files read like movies (the chunk walk, runs of a
// second), files it refuses, and a close from another thread while reads go
// on. (Movies, photos and pictures beside WAV files: the player's tests.)
#include "Media/MediaReader.h"
#include "tests/support/BoardTest.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using namespace vrec::test;

std::string Le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

// A WAV file: RIFF header, a 16 or 18-byte format chunk, optional chunks
// before "data", and `frames` frames of bytes counting up.
std::string Wav(int rate, int bits, int channels, int frames, const std::string& before = "", int fmtSize = 16)
{
    const int frameBytes = bits / 8 * channels;
    std::string fmt;
    fmt += std::string("\x01\x00", 2);
    fmt += static_cast<char>(channels);
    fmt += '\0';
    fmt += Le32(rate) + Le32(rate * frameBytes);
    fmt += static_cast<char>(frameBytes);
    fmt += '\0';
    fmt += static_cast<char>(bits);
    fmt += '\0';
    fmt.resize(fmtSize, '\0');
    std::string data(static_cast<size_t>(frames) * frameBytes, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    std::string body = "WAVEfmt " + Le32(fmtSize) + fmt + before + "data" + Le32(data.size()) + data;
    return "RIFF" + Le32(body.size()) + body;
}

class MediaReaderTest : public BoardTest
{
protected:
    std::string Put(const std::string& name, const std::string& bytes)
    {
        WriteFile(HostPath("/sdcard/" + name), bytes);
        return "/sdcard/" + name;
    }
};

TEST_F(MediaReaderTest, AWavIsOneSoundTrackInRunsOfASecond)
{
    CMediaReader r;
    ASSERT_EQ(r.Open(Put("KS0001.WAV", Wav(48000, 24, 2, 48000 * 2 + 1000)).c_str()), 0);
    EXPECT_EQ(r.GetDuration(), 2020u);
    EXPECT_FALSE(r.HasVideo());
    int bigEndian = 0;
    EXPECT_TRUE(r.HasAudio(&bigEndian));
    EXPECT_EQ(bigEndian, 0);
    int rate, bits, channels;
    r.GetAudioInfo(&rate, &bits, &channels);
    EXPECT_EQ(rate, 48000);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(r.GetSampleCount(0), 48000 * 2 + 1000);
    MovTrack* track = r.GetTrack(0);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->dTimeScale, 48000.0);
    EXPECT_EQ(track->dDuration, 97000.0);
    EXPECT_EQ(r.GetImage(), nullptr);

    long offset;
    int size, count, total;
    ASSERT_TRUE(r.GetSamplePos(0, 100, &offset, &size, &count, &total));
    EXPECT_EQ(offset, 44 + 600);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(count, 48000 - 100);  // to the end of the second
    EXPECT_EQ(total, (48000 - 100) * 6);
    // The last second holds only what is left.
    ASSERT_TRUE(r.GetSamplePos(0, 96500, &offset, &size, &count, &total));
    EXPECT_EQ(count, 500);
    EXPECT_EQ(offset + total, static_cast<long>(r.GetFileLength()));
    EXPECT_FALSE(r.GetSamplePos(0, 97000, &offset, &size, &count, &total));
    EXPECT_FALSE(r.GetSamplePos(0, -1, &offset, &size, &count, &total));
    EXPECT_FALSE(r.GetSamplePos(1, 0, &offset, &size, &count, &total));
    unsigned char first[6];
    ASSERT_TRUE(r.Read(first, 44, 6));
    EXPECT_EQ(first[1], 7);
    r.Close();
}

// The sound starts behind the "data" chunk's header wherever the walk finds
// it (ffmpeg puts a "LIST" chunk before it).
TEST_F(MediaReaderTest, ChunksBeforeTheDataAreWalkedOver)
{
    CMediaReader r;
    const std::string list = "LIST" + Le32(10) + "INFOabcdef";
    ASSERT_EQ(r.Open(Put("EXTRA.WAV", Wav(44100, 16, 1, 4410, list)).c_str()), 0);
    long offset;
    int size, count, total;
    ASSERT_TRUE(r.GetSamplePos(0, 0, &offset, &size, &count, &total));
    EXPECT_EQ(offset, 44 + 18);
    EXPECT_EQ(count, 4410);
    EXPECT_EQ(total, 8820);
    EXPECT_EQ(r.GetDuration(), 100u);
    r.Close();
}

TEST_F(MediaReaderTest, FilesItCannotPlayAreRefusedAndLeftClosed)
{
    const std::string good = Wav(48000, 16, 2, 100);
    std::string notRiff = good;
    notRiff.replace(0, 4, "RIFX");
    std::string noData = good.substr(0, 36) + "LIST" + Le32(4) + "INFO";
    struct Case
    {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"FMT18.WAV", Wav(48000, 16, 2, 100, "", 18)},
        {"EIGHT.WAV", Wav(48000, 8, 2, 100)},
        {"THREE.WAV", Wav(48000, 16, 3, 100)},
        {"FAST.WAV", Wav(192000, 16, 2, 100)},
        {"RIFX.WAV", notRiff},
        {"NODATA.WAV", noData},
        {"SHORT.WAV", good.substr(0, 20)},
        {"NOTES.TXT", good},
        {"PHOTO.JPG", "\xFF\xD8 not a picture"},
    };
    for (const Case& c : cases) {
        CMediaReader r;
        testing::internal::CaptureStdout();
        EXPECT_EQ(r.Open(Put(c.name, c.bytes).c_str()), 2) << c.name;
        EXPECT_NE(testing::internal::GetCapturedStdout().find("error Open("), std::string::npos) << c.name;
        long offset;
        int size, count, total;
        EXPECT_FALSE(r.GetSamplePos(0, 0, &offset, &size, &count, &total)) << c.name;
        unsigned char b[4];
        EXPECT_FALSE(r.Read(b, 0, 4)) << c.name;  // closed
        // and ready for the next file
        EXPECT_EQ(r.Open(Put("GOOD.WAV", good).c_str()), 0) << c.name;
        r.Close();
    }
    CMediaReader r;
    EXPECT_EQ(r.Open("/sdcard/MISSING.WAV"), 1);
}

// A close from another thread meets reads that are under way: every read
// either succeeds or fails, none touches a closed file.
TEST_F(MediaReaderTest, ACloseFromAnotherThreadDoesNotRaceReads)
{
    const std::string device = Put("RACE.WAV", Wav(8000, 16, 2, 8000));
    CMediaReader r;
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(r.Open(device.c_str()), 0);
        std::atomic<bool> stop{false};
        std::thread reader([&] {
            unsigned char b[64];
            long offset;
            int size, count, total;
            while (!stop.load()) {
                r.Read(b, 44, sizeof(b));
                r.GetSamplePos(0, 10, &offset, &size, &count, &total);
            }
        });
        std::this_thread::sleep_for(std::chrono::microseconds(50 + round));
        r.Close();
        stop = true;
        reader.join();
    }
}

}  // namespace
