// The recording writer: sound recordings through the real capture thread,
// movies from queued MPEG-4 frames, pre-record, file splits, a full or
// pulled card, a low battery, no free name; the files checked with sox and
// ffprobe/ffmpeg.
#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Media/MovRecorder.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/media/support/MovParse.h"
#include "tests/media/support/WriterRig.h"
#include "tests/sound/Signal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>

using namespace vrec::test;
using Clock = std::chrono::steady_clock;

namespace {

uint32_t Le32(const std::string& b, size_t at)
{
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void Sleep(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The video packets of a movie, in file order, with their bytes.
std::vector<std::string> VideoPackets(const std::string& path, bool* firstIsKey = nullptr)
{
    std::vector<std::string> frames;
    std::string file = ReadFile(path);
    bool first = true;
    for (const ProbePacket& p : ProbePackets(path)) {
        if (p.stream != 1)
            continue;
        if (first && firstIsKey)
            *firstIsKey = p.key;
        first = false;
        frames.push_back(file.substr(static_cast<size_t>(p.pos), static_cast<size_t>(p.size)));
    }
    return frames;
}

// The stream frame the movie starts with; -1 when the packets are not
// consecutive frames of the feeder's stream.
int ConsecutiveFrom(const std::vector<std::string>& packets, const FrameFeeder& feeder, int searchTo)
{
    if (packets.empty())
        return -1;
    for (int start = 0; start <= searchTo; ++start) {
        const Bytes& f = feeder.Frame(start);
        if (packets[0] != std::string(f.begin(), f.end()))
            continue;
        for (size_t j = 0; j < packets.size(); ++j) {
            const Bytes& g = feeder.Frame(start + static_cast<int>(j));
            if (packets[j] != std::string(g.begin(), g.end()))
                return -1;
        }
        return start;
    }
    return -1;
}

// The sound of a movie or WAV file as 16-bit samples of channel 1.
std::vector<double> SoundOf(const std::string& path)
{
    std::string out;
    RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -map 0:a -ac 1 -f s16le -", &out);
    std::vector<double> x(out.size() / 2);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<int16_t>(Le16(out, 2 * i)) / 32768.0;
    return x;
}

class WriterTest : public WriterRig
{
protected:
    // Live movie recording of `seconds` from queued frames; the feeder is
    // stopped first so that every queued frame is written.
    void RecordMovie(FrameFeeder& feeder, double seconds)
    {
        StartRecording();
        ASSERT_TRUE(WaitUntil([] { return g_bMovWriterRunning != 0; }, 5.0));
        FinishMovie(feeder, seconds);
    }

    // The rest of a recording that runs.
    void FinishMovie(FrameFeeder& feeder, double seconds)
    {
        Sleep(seconds);
        feeder.Stop();
        ASSERT_TRUE(WaitUntil([this] { return Fifo_getNumEntries(encodedOut_) == 0; }, 5.0));
        Sleep(0.5);  // the sound of the last frames
        StopRecording();
    }

    std::string Last(const std::string& ext)
    {
        std::vector<std::string> files = Recordings(ext);
        return files.empty() ? std::string() : Recorded(files.back());
    }
};

// ---- Sound recordings -----------------------------------------------------------

TEST_F(WriterTest, SoundRecordingsHoldTheFormatTimeAndLevelAskedFor)
{
    StartThreads(Mode::kLive);
    const struct
    {
        int rate;
        int bits;
    } kQualities[] = {{44100, 16}, {48000, 24}, {96000, 24}};
    int number = 0;
    for (const auto& q : kQualities) {
        SCOPED_TRACE(q.rate);
        SetQuality(q.rate, q.bits);
        EnterRecorder(ACTION_MODE_SOUND);
        Sleep(0.3);  // the input filter settles before RECORD
        StartRecording();
        ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 5.0));
        auto started = Clock::now();
        Sleep(1.5);
        int position = g_nRecPos;
        double recorded = Seconds(started);
        StopRecording();
        LeaveRecorder();
        EXPECT_EQ(g_RecorderMov.GetExitCode(), 0);

        ++number;
        char name[32];
        std::snprintf(name, sizeof(name), "KS0000_%04d.wav", number);
        const std::string path = Recorded(name);
        SoxInfo info = Soxi(path);
        EXPECT_EQ(info.rate, q.rate);
        EXPECT_EQ(info.bits, q.bits);
        EXPECT_EQ(info.channels, 2);

        // The end values of the header.
        const std::string file = ReadFile(path);
        ASSERT_GT(file.size(), 44u);
        const uint32_t data = static_cast<uint32_t>(file.size() - 44);
        const int frameBytes = q.bits / 4;
        const uint32_t buffer = static_cast<uint32_t>(q.rate / 10 * frameBytes);
        EXPECT_EQ(file.substr(0, 4), "RIFF");
        EXPECT_EQ(Le32(file, 4), data + 36);
        EXPECT_EQ(Le32(file, 16), 16u);
        EXPECT_EQ(Le16(file, 20), 1);
        EXPECT_EQ(Le16(file, 22), 2);
        EXPECT_EQ(Le32(file, 24), static_cast<uint32_t>(q.rate));
        EXPECT_EQ(Le32(file, 28), static_cast<uint32_t>(q.rate * frameBytes));
        EXPECT_EQ(Le16(file, 32), frameBytes);
        EXPECT_EQ(Le16(file, 34), q.bits);
        EXPECT_EQ(Le32(file, 40), data);

        // Whole 100 ms buffers, as long as the recording ran.
        EXPECT_EQ(data % buffer, 0u);
        const double ms = 1000.0 * data / (q.rate * frameBytes);
        EXPECT_NEAR(ms, position, 200.0);
        EXPECT_NEAR(ms / 1000.0, recorded, 0.35);
        EXPECT_NEAR(info.seconds, ms / 1000.0, 0.001);
        // A -6 dBFS tone (the microphones' equaliser adds 0.4 dB at 1 kHz).
        EXPECT_NEAR(SoxPeakDb(path, 1), -6.0, 0.5);
        EXPECT_NEAR(SoxPeakDb(path, 2), -6.0, 0.5);
    }
    // The number went up once per file.
    EXPECT_EQ(static_cast<int>(GetParameter("/Setup/FILE NAME/CURRENT", nullptr)), number);
}

TEST_F(WriterTest, PreRecordedSoundStartsTwoToThreeSecondsBeforeRecord)
{
    SetPreRecord(true);
    SetQuality(48000, 16);
    auto& sound = vrec::board::Board::Get().state().sound;
    vrec::sound::SetTone(sound, vrec::sound::Input::kBuiltInMics, 500, -6.0, 500, -6.0);
    StartThreads(Mode::kLive);
    EnterRecorder(ACTION_MODE_SOUND);
    Sleep(4.0);  // more than the ring holds
    auto changed = Clock::now();
    vrec::sound::SetTone(sound, vrec::sound::Input::kBuiltInMics, 2000, -6.0, 2000, -6.0);
    Sleep(1.0);
    const double beforeRecord = Seconds(changed);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 5.0));
    // The ring's 2.1 to 3 s, and the buffers that came since.
    const int startPos = g_nRecPos;
    EXPECT_GE(startPos, 2100);
    EXPECT_LE(startPos, 3300);
    EXPECT_EQ(startPos % 100, 0);
    Sleep(1.0);
    const int endPos = g_nRecPos;
    StopRecording();
    LeaveRecorder();

    const std::string path = Last(".wav");
    WavData wav;
    ASSERT_TRUE(ReadWav(path, &wav));
    Stereo s = Unpack(wav.data.data(), wav.data.size(), 16);
    // Where 500 Hz turns into 2000 Hz, in 10 ms windows.
    const size_t window = 480;
    double changeAt = -1;
    for (size_t at = 0; at + window <= s.left.size(); at += window) {
        std::vector<double> part(s.left.begin() + static_cast<long>(at), s.left.begin() + static_cast<long>(at + window));
        if (ZeroCrossingHz(part, 48000) > 1250) {
            changeAt = static_cast<double>(at) / 48000;
            break;
        }
    }
    ASSERT_GT(changeAt, 0) << "the tone change is not in the file";
    const double preRecorded = changeAt + beforeRecord;
    EXPECT_GE(preRecorded, 2.0);
    EXPECT_LE(preRecorded, 3.2);
    // The position the screen shows ran with the file.
    const double fileMs = 1000.0 * static_cast<double>(s.left.size()) / 48000;
    EXPECT_NEAR(fileMs, endPos, 250.0);
}

// ---- Movies -------------------------------------------------------------------------

TEST_F(WriterTest, MoviesFromQueuedFramesPlayAtTheSizeAndRateAskedFor)
{
    StartThreads(Mode::kLive);
    const struct
    {
        int width;
        int height;
        int rate;
        int bits;
        const char* codec;
    } kMovies[] = {{1280, 720, 48000, 16, "pcm_s16le"}, {640, 480, 44100, 24, "pcm_s24le"}};
    for (const auto& m : kMovies) {
        SCOPED_TRACE(m.width);
        const RecorderVideo& video = TestVideo(m.width, m.height);
        g_nVideoRecordWidth = m.width;
        g_nVideoRecordHeight = m.height;
        SetQuality(m.rate, m.bits);
        FrameFeeder feeder(encodedOut_, encodedFree_, video);
        EnterRecorder(ACTION_MODE_MOVIE);
        feeder.Start();
        Sleep(0.5);
        RecordMovie(feeder, 2.0);
        LeaveRecorder();
        EXPECT_EQ(g_RecorderMov.GetExitCode(), 0);

        const std::string path = Last(".mov");
        std::vector<ProbeFields> streams = ProbeStreams(path);
        ASSERT_EQ(streams.size(), 2u);
        EXPECT_EQ(streams[1]["codec_name"], "mpeg4");
        EXPECT_EQ(streams[1]["width"], std::to_string(m.width));
        EXPECT_EQ(streams[1]["height"], std::to_string(m.height));
        EXPECT_EQ(streams[1]["r_frame_rate"], "30/1");
        EXPECT_EQ(streams[0]["codec_name"], m.codec);
        EXPECT_EQ(streams[0]["sample_rate"], std::to_string(m.rate));
        EXPECT_EQ(DecodeErrors(path), "");

        // Every frame from the first key frame after RECORD, in order.
        bool firstIsKey = false;
        std::vector<std::string> packets = VideoPackets(path, &firstIsKey);
        EXPECT_TRUE(firstIsKey);
        EXPECT_GE(packets.size(), 30u);
        int start = ConsecutiveFrom(packets, feeder, feeder.Fed());
        EXPECT_GE(start, 0) << "frames missing or out of order";
        EXPECT_EQ(start % 30, 0);
        // All frames written but the creator's cut to a whole 100 ms.
        EXPECT_EQ(feeder.Fed() - start - static_cast<int>(packets.size()), (feeder.Fed() - start) % 3);
    }
}

TEST_F(WriterTest, PreRecordedMovieStartsAtAKeyFrameTwoToThreeSecondsEarlier)
{
    SetPreRecord(true);
    SetQuality(48000, 16);
    StartThreads(Mode::kLive);
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(640, 480));
    EnterRecorder(ACTION_MODE_MOVIE);
    feeder.Start();
    Sleep(3.5);
    const int fedAtRecord = feeder.Fed();
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bMovWriterRunning != 0; }, 5.0));
    const int startPos = g_nRecPos;
    EXPECT_GE(startPos, 2100);
    EXPECT_LE(startPos, 3300);
    FinishMovie(feeder, 1.0);
    LeaveRecorder();

    const std::string path = Last(".mov");
    EXPECT_EQ(DecodeErrors(path), "");
    bool firstIsKey = false;
    std::vector<std::string> packets = VideoPackets(path, &firstIsKey);
    EXPECT_TRUE(firstIsKey);
    int start = ConsecutiveFrom(packets, feeder, feeder.Fed());
    ASSERT_GE(start, 0);
    EXPECT_EQ(start % 30, 0);
    // 2 to 3 s of frames before RECORD (a frame or two may be in flight).
    EXPECT_GE(fedAtRecord - start, 58);
    EXPECT_LE(fedAtRecord - start, 92);
}

TEST_F(WriterTest, NewFileRequestSplitsTheMovieWithoutLosingAFrameOrSound)
{
    SetQuality(48000, 16);
    // Not a whole number of periods in 100 ms: a lost piece of sound shows.
    vrec::sound::SetTone(vrec::board::Board::Get().state().sound, vrec::sound::Input::kBuiltInMics, 997, -6.0, 997,
                         -6.0);
    StartThreads(Mode::kLive);
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(640, 480));
    EnterRecorder(ACTION_MODE_MOVIE);
    feeder.Start();
    Sleep(0.5);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bMovWriterRunning != 0; }, 5.0));
    Sleep(1.5);
    g_bFileIncrementReq = 1;
    // The screen waits for the writer to take the request.
    EXPECT_TRUE(WaitUntil([] { return g_bFileIncrementReq == 0; }, 3.0));
    EXPECT_TRUE(g_bRecording);
    Sleep(1.2);
    feeder.Stop();
    ASSERT_TRUE(WaitUntil([this] { return Fifo_getNumEntries(encodedOut_) == 0; }, 5.0));
    Sleep(0.5);
    StopRecording();
    LeaveRecorder();

    std::vector<std::string> movies = Recordings(".mov");
    ASSERT_EQ(movies.size(), 2u);
    std::vector<std::string> first = VideoPackets(Recorded(movies[0]));
    bool secondStartsWithKey = false;
    std::vector<std::string> second = VideoPackets(Recorded(movies[1]), &secondStartsWithKey);
    EXPECT_EQ(DecodeErrors(Recorded(movies[0])), "");
    EXPECT_EQ(DecodeErrors(Recorded(movies[1])), "");
    EXPECT_TRUE(secondStartsWithKey);
    // The first file ends before a key frame; the second goes on with the very next frame.
    EXPECT_EQ(first.size() % 30, 0u);
    std::vector<std::string> all = first;
    all.insert(all.end(), second.begin(), second.end());
    int start = ConsecutiveFrom(all, feeder, feeder.Fed());
    ASSERT_GE(start, 0) << "a frame was lost or doubled at the split";
    const int queued = feeder.Fed() - start;
    EXPECT_EQ(static_cast<int>(all.size()), queued - queued % 3);

    // The sound runs on across the two files: one unbroken tone.
    std::vector<double> a = SoundOf(Recorded(movies[0]));
    std::vector<double> b = SoundOf(Recorded(movies[1]));
    EXPECT_EQ(a.size(), first.size() * 48000 / 30);
    ASSERT_GT(b.size(), 4800u);
    std::vector<double> joint(a.end() - 2400, a.end());
    joint.insert(joint.end(), b.begin(), b.begin() + 2400);
    double fitted = SineAmplitude(joint, 997, 48000);
    EXPECT_NEAR(Db(fitted), -5.6, 0.5);
    EXPECT_NEAR(Rms(joint), fitted / std::sqrt(2.0), fitted * 0.02) << "the tone breaks at the split";
}

// ---- A full or pulled card, a low battery, no name -----------------------------------

class WriterFedTest : public WriterTest
{
protected:
    void FillCardTo(uint64_t freeBytes)
    {
        vrec::board::Board& board = vrec::board::Board::Get();
        std::string why;
        ASSERT_TRUE(vrec::board::FillCard(board.cards(), board.cards().Inserted(), freeBytes, &why)) << why;
    }

    // Queues frames and sound until the recording stops (at most `seconds` of it).
    void FeedUntilStopped(FrameFeeder& feeder, double seconds)
    {
        for (int step = 0; step < seconds * 10 && g_bRecording; ++step)
            FeedRhythm(feeder, 0.1);
        EXPECT_TRUE(WaitUntil([this] { return !WriterRunning(); }, 10.0));
    }

    void FeedSoundUntilStopped(int buffers)
    {
        for (int i = 0; i < buffers && g_bRecording; ++i)
            ASSERT_TRUE(FeedSound());
        EXPECT_TRUE(WaitUntil([this] { return !WriterRunning(); }, 10.0));
    }
};

TEST_F(WriterFedTest, FullCardEndsMovieAndSoundWithCardFullAndPlayableFiles)
{
    SetQuality(48000, 24);
    g_nVideoRecordWidth = 1280;
    g_nVideoRecordHeight = 720;
    StartThreads(Mode::kFed);
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(1280, 720));

    // The movie: the account stops it while the card still takes the index.
    FillCardTo(36u << 20);
    EnterRecorder(ACTION_MODE_MOVIE);
    StartRecording();
    FeedUntilStopped(feeder, 60);
    EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_CARD_FULL);
    EXPECT_FALSE(g_bRecording);
    const std::string movie = Last(".mov");
    EXPECT_EQ(DecodeErrors(movie), "");
    std::vector<std::string> frames = VideoPackets(movie);
    EXPECT_GT(frames.size(), 60u);
    ProbeFields format = ProbeFormat(movie);
    EXPECT_NEAR(std::atof(format["duration"].c_str()), frames.size() / 30.0, 0.15);
    LeaveRecorder();

    // Sound, the same way.
    FillCardTo(36u << 20);
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    FeedSoundUntilStopped(1000);
    EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_CARD_FULL);
    std::string wav = Last(".wav");
    SoxInfo info = Soxi(wav);
    EXPECT_EQ(info.rate, 48000);
    EXPECT_GT(info.seconds, 10.0);
    EXPECT_NEAR(info.seconds * 48000 * 6, static_cast<double>(ReadFile(wav).size() - 44), 1.0);
    LeaveRecorder();

    // A card fuller than its account says: the card's own "no space" ends
    // the file, which keeps the header of what it holds.
    FillCardTo(36u << 20);
    g_RemainMedia.Update();
    FillCardTo(1u << 20);
    SetQuality(96000, 24);
    EnterRecorder(ACTION_MODE_SOUND);
    g_RecorderMov.SetExitCode(0);
    g_bRecording = 1;  // as REC_Start, the account as it was
    FeedSoundUntilStopped(100);
    EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_CARD_FULL);
    EXPECT_FALSE(g_bRecording);
    wav = Last(".wav");
    const std::string bytes = ReadFile(wav);
    ASSERT_GT(bytes.size(), 44u);
    const uint32_t data = Le32(bytes, 40);
    EXPECT_GT(data, 500000u);
    EXPECT_LE(data, 1u << 20);
    EXPECT_EQ(data % 6, 0u);
    EXPECT_EQ(Le32(bytes, 4), data + 36);
    EXPECT_NEAR(Soxi(wav).seconds, data / (96000.0 * 6), 0.001);
    LeaveRecorder();
}

TEST_F(WriterTest, PulledCardStopsTheSoundRecordingAndANewCardRecordsAgain)
{
    SetQuality(48000, 16);
    StartThreads(Mode::kLive);
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 5.0));
    Sleep(1.0);
    vrec::board::Board& board = vrec::board::Board::Get();
    board.cards().Remove(board.state());
    // The write fails: the recording ends, nothing hangs.
    EXPECT_TRUE(WaitUntil([] { return !g_bWavWriterRunning && !g_bRecording; }, 3.0));
    EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_NOT_CREATED);
    LeaveRecorder();

    vrec::board::CardOptions options;
    options.sizeBytes = 64u << 20;
    std::string why;
    ASSERT_TRUE(board.cards().Create("second", options, &why)) << why;
    ASSERT_TRUE(board.cards().Insert(board.state(), "second", &why)) << why;
    struct stat st;
    ASSERT_TRUE(WaitUntil([&st] { return SYS_stat("/sdcard/MY_FOLDER", &st) == 0; }, 5.0));
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 5.0));
    Sleep(1.0);
    StopRecording();
    LeaveRecorder();
    EXPECT_EQ(g_RecorderMov.GetExitCode(), 0);
    std::vector<std::string> files = Recordings(".wav");
    ASSERT_EQ(files.size(), 1u);
    SoxInfo info = Soxi(Recorded(files[0]));
    EXPECT_EQ(info.rate, 48000);
    EXPECT_NEAR(info.seconds, 1.0, 0.3);
}

TEST_F(WriterFedTest, LowBatteryEndsTheFileAndNoFreeNameMakesNone)
{
    SetQuality(48000, 16);
    StartThreads(Mode::kFed);
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(640, 480));

    // Battery level 1: the movie is finished with 202.
    EnterRecorder(ACTION_MODE_MOVIE);
    StartRecording();
    FeedRhythm(feeder, 1.0);
    g_Msp430_nBatteryLevel = 1;
    FeedUntilStopped(feeder, 5);
    EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_BATTERY_LOW);
    EXPECT_EQ(DecodeErrors(Last(".mov")), "");
    LeaveRecorder();

    // ... and the sound recording too.
    g_Msp430_nBatteryLevel = 7;
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(FeedSound());
    ASSERT_TRUE(WaitQueuesEmpty());
    g_Msp430_nBatteryLevel = 1;
    FeedSoundUntilStopped(50);
    EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_BATTERY_LOW);
    EXPECT_GT(Soxi(Last(".wav")).seconds, 0.9);
    LeaveRecorder();

    // Every number used: 101, no file, recording stopped.
    g_Msp430_nBatteryLevel = 7;
    SetParameter("/Setup/FILE NAME/CURRENT", 9999.0f);
    const size_t movies = Recordings(".mov").size();
    const size_t sounds = Recordings(".wav").size();
    for (int mode : {ACTION_MODE_MOVIE, ACTION_MODE_SOUND}) {
        EnterRecorder(mode);
        StartRecording();
        EXPECT_TRUE(WaitUntil([] { return g_bRecording == 0; }, 3.0)) << mode;
        EXPECT_EQ(g_RecorderMov.GetExitCode(), MOV_EXIT_NO_FILE_NAME) << mode;
        LeaveRecorder();
    }
    EXPECT_EQ(Recordings(".mov").size(), movies);
    EXPECT_EQ(Recordings(".wav").size(), sounds);
}

TEST_F(WriterFedTest, SoundSplitOnRequestLosesNoBuffer)
{
    SetQuality(48000, 16);
    StartThreads(Mode::kFed);
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(FeedSound());
    ASSERT_TRUE(WaitQueuesEmpty());
    auto& syncs = vrec::board::Board::Get().state().firmware.syncs;
    const uint32_t syncsBefore = syncs.load();
    g_bFileIncrementReq = 1;
    EXPECT_TRUE(WaitUntil([] { return g_bFileIncrementReq == 0; }, 1.0));
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(FeedSound());
    ASSERT_TRUE(WaitQueuesEmpty());
    EXPECT_EQ(syncs.load(), syncsBefore) << "no sync while the recording goes on";
    StopRecording();
    LeaveRecorder();
    EXPECT_GT(syncs.load(), syncsBefore) << "a sync when it ends";
    std::vector<std::string> files = Recordings(".wav");
    ASSERT_EQ(files.size(), 2u);
    WavData a, b;
    ASSERT_TRUE(ReadWav(Recorded(files[0]), &a));
    ASSERT_TRUE(ReadWav(Recorded(files[1]), &b));
    EXPECT_EQ(a.data.size(), 12u * 19200);
    EXPECT_EQ(b.data.size(), 8u * 19200);
    // One unbroken tone across both files.
    std::vector<uint8_t> joined = a.data;
    joined.insert(joined.end(), b.data.begin(), b.data.end());
    Stereo s = Unpack(joined.data(), joined.size(), 16);
    std::vector<double> edge(s.left.begin() + 12 * 4800 - 2400, s.left.begin() + 12 * 4800 + 2400);
    double fitted = SineAmplitude(edge, kFedToneHz, 48000);
    EXPECT_NEAR(Db(fitted), -6.0, 0.1);
    EXPECT_NEAR(Rms(edge), fitted / std::sqrt(2.0), fitted * 0.01);
}

TEST_F(WriterFedTest, AfterRecordingAndAPhotoTakenWhileRecording)
{
    SetQuality(48000, 16);
    StartThreads(Mode::kFed);
    const int number = static_cast<int>(GetParameter("/Setup/FILE NAME/CURRENT", nullptr));

    // A dub in movie mode: ".tmp.wav" at the card root, the number untouched.
    g_bAfterRecording = 1;
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 3.0));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(FeedSound());
    ASSERT_TRUE(WaitQueuesEmpty());
    g_bAfterRecording = 0;
    ASSERT_TRUE(WaitUntil([this] { return !WriterRunning(); }, 3.0));
    WavData dub;
    ASSERT_TRUE(ReadWav(HostPath("/sdcard/.tmp.wav"), &dub));
    EXPECT_EQ(dub.data.size(), 10u * 19200);
    EXPECT_EQ(static_cast<int>(GetParameter("/Setup/FILE NAME/CURRENT", nullptr)), number);
    EXPECT_TRUE(Recordings(".wav").empty());

    // A still taken during a sound recording is kept beside it.
    EnterRecorder(ACTION_MODE_SOUND);
    StartRecording();
    ASSERT_TRUE(WaitUntil([] { return g_bWavWriterRunning != 0; }, 3.0));
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/.tmp.jpg"), "\xFF\xD8 picture"));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(FeedSound());
    ASSERT_TRUE(WaitQueuesEmpty());
    StopRecording();
    LeaveRecorder();
    std::vector<std::string> sounds = Recordings(".wav");
    ASSERT_EQ(sounds.size(), 1u);
    std::string photo = sounds[0].substr(0, sounds[0].size() - 3) + "jpg";
    EXPECT_EQ(ReadFile(Recorded(photo)), "\xFF\xD8 picture");
    EXPECT_FALSE(FileExists(HostPath("/sdcard/.tmp.jpg")));
}

TEST_F(WriterFedTest, FramesTooLargeForTheirStoreAreDroppedNotWrittenPast)
{
    SetPreRecord(true);
    SetQuality(48000, 16);
    StartThreads(Mode::kFed);
    EnterRecorder(ACTION_MODE_MOVIE);
    const int dropped = WriterGetDroppedCount();
    auto queue = [this](const Bytes& frame) {
        Buffer_Handle buf = nullptr;
        ASSERT_EQ(Fifo_getPoll(encodedFree_, &buf, 2000), Dmai_EOK);
        std::memcpy(Buffer_getUserPtr(buf), frame.data(), frame.size());
        Buffer_setNumBytesUsed(buf, static_cast<int32_t>(frame.size()));
        Fifo_put(encodedOut_, buf);
    };
    testing::internal::CaptureStderr();
    // A key frame larger than the key-frame slot of the ring.
    Bytes big(PREREC_V_KEY_SLOT_SIZE + 1, 0x55);
    big[0] = 0, big[1] = 0, big[2] = 1, big[3] = 0xB6, big[4] = 0x00;
    queue(big);
    // A configuration header larger than its store.
    Bytes config = {0, 0, 1, 0};
    config.resize(100, 0x20);
    Bytes vop = {0, 0, 1, 0xB6, 0x00, 0x11};
    config.insert(config.end(), vop.begin(), vop.end());
    queue(config);
    ASSERT_TRUE(WaitUntil([this] { return Fifo_getNumEntries(encodedOut_) == 0; }, 3.0));
    Sleep(0.05);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(WriterGetDroppedCount(), dropped + 2);
    EXPECT_EQ(g_nPreRecFramesV, 0);
    EXPECT_NE(err.find("frame of 307201 bytes dropped"), std::string::npos) << err;
    EXPECT_NE(err.find("configuration header of 100 bytes dropped"), std::string::npos) << err;
    // Slot 0 takes only a key frame: frames from the middle of a second wait.
    FrameFeeder feeder(encodedOut_, encodedFree_, TestVideo(640, 480));
    testing::internal::CaptureStdout();
    queue(feeder.Frame(28));
    queue(feeder.Frame(29));
    ASSERT_TRUE(WaitUntil([this] { return Fifo_getNumEntries(encodedOut_) == 0; }, 3.0));
    Sleep(0.05);
    EXPECT_EQ(g_nPreRecFramesV, 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("skip!! [no key frame]"), std::string::npos) << out;
    // A real stream is taken as before.
    for (int i = 0; i < 31; ++i)
        ASSERT_TRUE(feeder.FeedOne());
    EXPECT_TRUE(WaitUntil([] { return g_nPreRecFramesV == 31; }, 3.0));
    LeaveRecorder();
}

TEST(PreRecord, ARecordingStartsAtAWholeSecondOfTheRings)
{
    const struct
    {
        int frames, sounds;        // kept while waiting
        int scanV, countV, scanA, countA;
    } kCases[] = {
        {300, 100, 30, 90, 10, 30},  // 10 s of waiting
        {45, 15, 0, 45, 0, 15},      // 1.5 s: everything kept
        {90, 30, 0, 90, 0, 30},      // exactly full
        {120, 40, 30, 90, 10, 30},   // newest at slots 29 and 9
        {121, 41, 60, 61, 20, 21},   // newest at 30 and 10
        {150, 50, 60, 90, 20, 30},   // newest at 59 and 19
        {151, 51, 0, 61, 0, 21},     // newest at 60 and 20: from the start of the ring
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.frames);
        g_nPreRecFramesV = c.frames;
        g_nPreRecFramesA = c.sounds;
        PreRecCalcIndex();
        EXPECT_EQ(g_nPreRecScanIndexV, c.scanV);
        EXPECT_EQ(g_nPreRecFramesV, c.countV);
        EXPECT_EQ(g_nPreRecScanIndexA, c.scanA);
        EXPECT_EQ(g_nPreRecFramesA, c.countA);
    }
    PreRecClear();
    EXPECT_EQ(g_nPreRecFramesV + g_nPreRecFramesA + g_nPreRecScanIndexV + g_nPreRecScanIndexA, 0);
}

}  // namespace
