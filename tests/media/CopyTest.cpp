// Divide and copy of movies and WAV files on the board's card, checked with
// ffprobe, ffmpeg and soxi: halves frame for frame and sample for sample,
// dubbed sound, mixing, cancel, and copies that fail on a full or pulled card.
#include "DrvLib/Msp430.h"
#include "Lib/Sys.h"
#include "Media/MovCopy.h"
#include "Media/MovReader.h"
#include "Media/RemainMedia.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "tests/media/support/CopyCheck.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

using namespace vrec::test;
using vrec::board::Board;

namespace {

// Constant stereo sound: every frame (left, right).
Bytes Constant(int bits, int frames, int32_t left, int32_t right)
{
    Bytes one;
    for (int32_t v : {left, right})
        for (int b = 0; b < bits / 8; ++b)
            one.push_back(static_cast<uint8_t>(v >> (8 * b)));
    Bytes out;
    for (int i = 0; i < frames; ++i)
        out.insert(out.end(), one.begin(), one.end());
    return out;
}

std::string Soxi(const std::string& option, const std::string& hostPath)
{
    std::string out;
    RunCommand("soxi " + option + " '" + hostPath + "'", &out);
    return out.substr(0, out.find('\n'));
}

void FillCardTo(uint64_t freeBytes)
{
    Board& board = Board::Get();
    std::string why;
    ASSERT_TRUE(vrec::board::FillCard(board.cards(), board.cards().Inserted(), freeBytes, &why)) << why;
}

bool Exists(const std::string& devicePath)
{
    return FileExists(HostPath(devicePath));
}

// The card put back is mounted again.
bool WaitForCard()
{
    struct stat st;
    for (int i = 0; i < 500; ++i) {
        if (SYS_stat("/sdcard/MY_FOLDER", &st) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TEST_F(CopyTest, DivideMovieGivesTwoHalvesFrameForFrame)
{
    const std::string source = MakeSource("DIV.MOV", 210, 48000, 24);
    CheckDivide(source, 210, 48000, 24, 3);
}

TEST_F(CopyTest, DubTakesTheSourcePictureAndThePatchSoundFromHalfASecondIn)
{
    const int rate = 48000, frameBytes = 4;
    const std::string source = MakeSource("DUB.MOV", 180, rate, 16);
    // The new sound runs out 4.05 s into the movie, inside a chunk.
    const Bytes patch = PatternSound(16, 0, rate / 2 + 194400, 1);
    ASSERT_TRUE(WriteWav(HostPath("/sdcard/.tmp.wav"), rate, 16, patch));
    const std::string dst = "/sdcard/MY_FOLDER/DUB_NEW.MOV";
    ASSERT_EQ(MovCopy(ProgressLog::Callback, dst.c_str(), source.c_str(), 0, -1, -1, "/sdcard/.tmp.wav", 0, 100), 0);

    const std::string host = HostPath(dst);
    EXPECT_EQ(DecodeErrors(host), "");
    EXPECT_TRUE(VideoPackets(host) == StoredFrames(sourceVideo, 0, 180));
    Bytes expected = SoundRange(patch, frameBytes, rate / 2, 194400);
    Bytes rest = SoundRange(sourceSound, frameBytes, 194400, 6 * rate - 194400);
    expected.insert(expected.end(), rest.begin(), rest.end());
    Bytes sound = DecodedSound(host, 16);
    EXPECT_EQ(sound.size(), expected.size());
    EXPECT_TRUE(sound == expected);
    EXPECT_TRUE(Exists("/sdcard/.tmp.wav"));
}

TEST_F(CopyTest, MixingSaturatesAt16And24Bits)
{
    // Each product is divided on its own, toward zero: -3 x 50 % is -1.
    unsigned char sample[2] = {0xFD, 0xFF};
    const unsigned char one[2] = {1, 0};
    MixPatchSound(sample, one, 2, 16, 50, 50);
    EXPECT_EQ(static_cast<int16_t>(sample[0] | sample[1] << 8), -1);

    struct Case
    {
        int bits;
        int32_t source, patch, full, half;
    };
    for (const Case& c : {Case{16, 30000, 10000, 32767, 20000}, Case{24, 8000000, 1000000, 8388607, 4500000}}) {
        SCOPED_TRACE(c.bits);
        const int rate = 48000;
        creator = std::make_unique<ScriptedCreator>();
        RecorderVideo video = Video(320, 240, 30);
        creator->QueueRecording(video, 30, rate, Constant(c.bits, rate, c.source, -c.source), c.bits / 4);
        ASSERT_EQ(Record("/sdcard/MY_FOLDER/MIX.MOV", 320, 240, rate, c.bits), 0);
        ASSERT_TRUE(WriteWav(HostPath("/sdcard/MY_FOLDER/MIX.WAV"), rate, c.bits, Constant(c.bits, rate, c.source, -c.source)));
        ASSERT_TRUE(WriteWav(HostPath("/sdcard/.tmp.wav"), rate, c.bits, Constant(c.bits, 2 * rate, c.patch, -c.patch)));
        for (int gain : {100, 50}) {
            const int32_t out = gain == 100 ? c.full : c.half;
            // A full-scale negative sample clamps one lower.
            const Bytes expected = Constant(c.bits, rate, out, gain == 100 ? -out - 1 : -out);
            ASSERT_EQ(MovCopy(nullptr, "/sdcard/MY_FOLDER/M_OUT.MOV", "/sdcard/MY_FOLDER/MIX.MOV", 0, -1, -1,
                              "/sdcard/.tmp.wav", gain, gain), 0);
            EXPECT_TRUE(DecodedSound(HostPath("/sdcard/MY_FOLDER/M_OUT.MOV"), c.bits) == expected) << gain;
            ASSERT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/W_OUT.WAV", "/sdcard/MY_FOLDER/MIX.WAV", 0, -1, -1,
                              "/sdcard/.tmp.wav", gain, gain), 0);
            EXPECT_TRUE(DecodedSound(HostPath("/sdcard/MY_FOLDER/W_OUT.WAV"), c.bits) == expected) << gain;
        }
    }
}

TEST_F(CopyTest, CancelEndsTheCopyWith302AndLeavesNoFile)
{
    const std::string source = MakeSource("CAN.MOV", 180, 48000, 16);
    const std::string before = ReadFile(HostPath(source));
    ProgressLog::cancelAt = 50;
    EXPECT_EQ(MovCopy(ProgressLog::Callback, "/sdcard/MY_FOLDER/CAN_a.MOV", source.c_str(), 0, 6, -1, nullptr, 0, 0),
              MOV_EXIT_COPY_CANCELLED);
    EXPECT_FALSE(Exists("/sdcard/MY_FOLDER/CAN_a.MOV"));
    EXPECT_GT(ProgressLog::calls.size(), 2u);
    EXPECT_GE(ProgressLog::calls.back(), 50);
    EXPECT_EQ(ReadFile(HostPath(source)), before);
}

namespace {

// The space account misses what the card holds: the card refuses the bytes.
int FoolTheAccountAtFirstCall(int)
{
    if (ProgressLog::calls.size() == 1)
        g_RemainMedia.Subtraction(-(1LL << 40));
    return 1;
}

}  // namespace

// The card runs out of clusters while the copy writes (ENOSPC), or is
// pulled while it writes or as it writes the index (EIO): the copy says so
// and leaves nothing that passes for a movie.
TEST_F(CopyTest, MovieCopyOnAFullOrPulledCardFailsAndLeavesNoMovie)
{
    const std::string source = MakeSource("FULL.MOV", 180, 48000, 24);
    const std::string dst = "/sdcard/MY_FOLDER/FULL_a.MOV";
    FillCardTo(256 << 10);
    ProgressLog::onPercent = FoolTheAccountAtFirstCall;
    EXPECT_EQ(MovCopy(ProgressLog::Callback, dst.c_str(), source.c_str(), 0, -1, -1, nullptr, 0, 0),
              MOV_EXIT_CARD_FULL);
    EXPECT_FALSE(Exists(dst));
    FillCardTo(64u << 20);

    Board& board = Board::Get();
    const std::string card = board.cards().Inserted();
    const std::string files = board.cards().FilesDir(card);
    const std::string before = ReadFile(files + "/MY_FOLDER/FULL.MOV");
    for (int pullAt : {50, 100}) {
        SCOPED_TRACE(pullAt);
        ProgressLog::Reset();
        ProgressLog::cancelAt = -1;
        static int s_nPullAt;
        s_nPullAt = pullAt;
        ProgressLog::onPercent = [](int percent) {
            if (percent >= s_nPullAt && !Board::Get().cards().Inserted().empty())
                Board::Get().cards().Remove(Board::Get().state());
            return 1;
        };
        const int code = MovCopy(ProgressLog::Callback, dst.c_str(), source.c_str(), 0, -1, -1, nullptr, 0, 0);
        EXPECT_EQ(code, MOV_EXIT_NOT_CREATED);
        // What the card kept of it is no movie; the source is as it was.
        const std::string kept = files + "/MY_FOLDER/FULL_a.MOV";
        if (FileExists(kept)) {
            CMovReader reader;
            EXPECT_NE(reader.Open(kept.c_str()), 0);
            reader.Close();
            std::remove(kept.c_str());
        }
        EXPECT_EQ(ReadFile(files + "/MY_FOLDER/FULL.MOV"), before);
        std::string why;
        ASSERT_TRUE(board.cards().Insert(board.state(), card, &why)) << why;
        ASSERT_TRUE(WaitForCard());
    }
}

TEST_F(CopyTest, WavCopyOnAFullCardFailsAndLeavesNoFile)
{
    const int rate = 96000;
    ASSERT_TRUE(WriteWav(HostPath("/sdcard/MY_FOLDER/BIG.WAV"), rate, 24, PatternSound(24, 0, 15 * rate, 0)));
    // The space account stops the copy with 30 MiB left.
    FillCardTo(36u << 20);
    EXPECT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/BIG_a.WAV", "/sdcard/MY_FOLDER/BIG.WAV", 0, -1, -1, nullptr, 0, 0),
              MOV_EXIT_CARD_FULL);
    EXPECT_FALSE(Exists("/sdcard/MY_FOLDER/BIG_a.WAV"));
    // The card itself refuses the bytes.
    FillCardTo(2u << 20);
    ProgressLog::onPercent = FoolTheAccountAtFirstCall;
    EXPECT_EQ(WavCopy(ProgressLog::Callback, "/sdcard/MY_FOLDER/BIG_a.WAV", "/sdcard/MY_FOLDER/BIG.WAV", 0, -1, -1,
                      nullptr, 0, 0),
              MOV_EXIT_CARD_FULL);
    EXPECT_FALSE(Exists("/sdcard/MY_FOLDER/BIG_a.WAV"));
}

TEST_F(CopyTest, WavDivideAndDub)
{
    const int rate = 48000, frameBytes = 4;
    const Bytes source = PatternSound(16, 0, rate * 21 / 2, 0);  // 10.5 s
    const std::string src = "/sdcard/MY_FOLDER/REC.WAV";
    ASSERT_TRUE(WriteWav(HostPath(src), rate, 16, source));
    ASSERT_EQ(WavCopy(ProgressLog::Callback, "/sdcard/MY_FOLDER/REC_a.WAV", src.c_str(), 0, 4, -1, nullptr, 0, 0), 0);
    ASSERT_EQ(WavCopy(ProgressLog::Callback, "/sdcard/MY_FOLDER/REC_b.WAV", src.c_str(), 4, -1, -1, nullptr, 0, 0), 0);
    EXPECT_FALSE(ProgressLog::calls.empty());
    const std::string a = HostPath("/sdcard/MY_FOLDER/REC_a.WAV"), b = HostPath("/sdcard/MY_FOLDER/REC_b.WAV");
    EXPECT_EQ(Soxi("-r", a), "48000");
    EXPECT_EQ(Soxi("-b", a), "16");
    EXPECT_EQ(Soxi("-c", b), "2");
    EXPECT_EQ(Soxi("-s", a), std::to_string(4 * rate));
    EXPECT_EQ(Soxi("-s", b), std::to_string(rate * 13 / 2));
    EXPECT_TRUE(ReadFile(a).substr(44) == ReadFile(HostPath(src)).substr(44, 4 * rate * frameBytes));
    EXPECT_TRUE(ReadFile(b).substr(44) == ReadFile(HostPath(src)).substr(44 + 4 * rate * frameBytes));

    // A dub ends with its patch (7.25 s) and is the patch's sound.
    const Bytes patch = PatternSound(16, 0, rate * 29 / 4, 1);
    ASSERT_TRUE(WriteWav(HostPath("/sdcard/.tmp.wav"), rate, 16, patch));
    ASSERT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/REC_d.WAV", src.c_str(), 0, -1, -1, "/sdcard/.tmp.wav", 0, 100), 0);
    EXPECT_TRUE(DecodedSound(HostPath("/sdcard/MY_FOLDER/REC_d.WAV"), 16) == patch);
    EXPECT_EQ(ReadFile(HostPath(src)).substr(44), std::string(source.begin(), source.end()));
}

TEST_F(CopyTest, CopiesThatCannotBeMadeSaySoAndLeaveNoFile)
{
    const std::string source = MakeSource("SRC.MOV", 90, 48000, 16);
    const std::string before = ReadFile(HostPath(source));
    const std::string dst = "/sdcard/MY_FOLDER/OUT.MOV";
    // No source, no patch, nothing in the range, a low battery.
    EXPECT_EQ(MovCopy(nullptr, dst.c_str(), "/sdcard/MY_FOLDER/NONE.MOV", 0, -1, -1, nullptr, 0, 0),
              MOV_EXIT_NOT_CREATED);
    EXPECT_EQ(MovCopy(nullptr, dst.c_str(), source.c_str(), 0, -1, -1, "/sdcard/.tmp.wav", 0, 100),
              MOV_EXIT_NOT_CREATED);
    EXPECT_EQ(MovCopy(nullptr, dst.c_str(), source.c_str(), 5, -1, -1, nullptr, 0, 0), MOV_EXIT_NOT_CREATED);
    g_Msp430_nBatteryLevel = 1;
    EXPECT_EQ(MovCopy(nullptr, dst.c_str(), source.c_str(), 0, -1, -1, nullptr, 0, 0), MOV_EXIT_BATTERY_LOW);
    g_Msp430_nBatteryLevel = 6;
    EXPECT_FALSE(Exists(dst));
    // A copy onto its own source would truncate it.
    EXPECT_EQ(MovCopy(nullptr, source.c_str(), source.c_str(), 0, -1, -1, nullptr, 0, 0), MOV_EXIT_NOT_CREATED);
    EXPECT_EQ(ReadFile(HostPath(source)), before);

    ASSERT_TRUE(WriteWav(HostPath("/sdcard/MY_FOLDER/S.WAV"), 48000, 16, PatternSound(16, 0, 48000, 0)));
    const std::string wav = ReadFile(HostPath("/sdcard/MY_FOLDER/S.WAV"));
    EXPECT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/O.WAV", "/sdcard/MY_FOLDER/NONE.WAV", 0, -1, -1, nullptr, 0, 0), 100);
    EXPECT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/O.WAV", "/sdcard/MY_FOLDER/S.WAV", 0, -1, -1, "/sdcard/NO.WAV", 0, 0),
              100);
    EXPECT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/O.WAV", source.c_str(), 0, -1, -1, nullptr, 0, 0), 100);
    EXPECT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/O.WAV", "/sdcard/MY_FOLDER/S.WAV", 3, -1, -1, nullptr, 0, 0), 100);
    EXPECT_FALSE(Exists("/sdcard/MY_FOLDER/O.WAV"));
    EXPECT_EQ(WavCopy(nullptr, "/sdcard/MY_FOLDER/S.WAV", "/sdcard/MY_FOLDER/S.WAV", 0, -1, -1, nullptr, 0, 0), 100);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/MY_FOLDER/S.WAV")), wav);
}
