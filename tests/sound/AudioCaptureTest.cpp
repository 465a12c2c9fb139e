// The audio capture and monitor threads in real time on the board's sound
// card: meter, recording buffers, channel order, low cut, pause, leaving
// the recorder, pre-record, input selection and the auto-record trigger.
#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/AudioPlay.h"
#include "Middleware/Audio/InputAudioFilter.h"
#include "Middleware/Audio/LevelMeter.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/sound/Signal.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <pthread.h>
#include <thread>

namespace {

using namespace vrec::test;
using vrec::sound::Input;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Polls until the condition holds; false after the time-out.
bool WaitFor(const std::function<bool()>& condition, double seconds)
{
    auto start = Clock::now();
    while (!condition()) {
        if (Since(start) > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Recorded
{
    std::vector<int> sizes;
    std::vector<uint8_t> data;
};

class AudioCaptureTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        SetActionMode(ACTION_MODE_SOUND);
        g_bQuit = 0;
        g_bRecorder = 0;
        g_bStartRecCap = 0;
        g_bRecording = 0;
        g_bRecPause = 0;
        g_bAfterRecording = 0;
        g_bAfterRecMode = 0;
        g_bExtAudio = 0;
        g_bCameraFlip = 0;
        g_bUsbMode = 0;
        g_nRecPos = 0;
        g_Msp430_nInputVolume = 64;  // 0 dB on the PGA
        vrec::sound::SetTone(card(), Input::kBuiltInMics, 1000, -6.0, 1000, -200.0);
        SND_ValInit();
        g_hRendezvousInit = Rendezvous_create(3, &Rendezvous_Attrs_DEFAULT);
        g_hRendezvousCleanup = Rendezvous_create(3, &Rendezvous_Attrs_DEFAULT);
        ASSERT_EQ(pthread_create(&play_, nullptr, AudioPlayThread, nullptr), 0);
        ASSERT_EQ(pthread_create(&capture_, nullptr, AudioCaptureThread, nullptr), 0);
        started_ = true;
        Rendezvous_meet(g_hRendezvousInit);
    }

    void TearDown() override
    {
        if (started_) {
            g_bRecording = 0;
            g_bRecorder = 0;
            g_bQuit = 1;
            Rendezvous_meet(g_hRendezvousCleanup);
            pthread_join(capture_, nullptr);
            pthread_join(play_, nullptr);
            g_bQuit = 0;
        }
        Rendezvous_delete(g_hRendezvousCleanup);
        Rendezvous_delete(g_hRendezvousInit);
        g_hRendezvousInit = nullptr;
        g_hRendezvousCleanup = nullptr;
        SND_ValExit();
        BoardTest::TearDown();
    }

    vrec::board::SoundCard& card() { return vrec::board::Board::Get().state().sound; }

    void SetQuality(int rate, int bits)
    {
        SetParameter("/REC Quality/SAMPLE RATE", static_cast<float>(rate));
        SetParameter("/REC Quality/SOUND FORMAT", static_cast<float>(bits));
    }

    // The recorder screen comes up and the camera path has its first frame.
    void EnterRecorder()
    {
        g_bRecorder = 1;
        g_bStartRecCap = 1;
        ASSERT_TRUE(WaitFor([] { return g_bAudioCaptureRunning2 != 0; }, 3.0));
    }

    void LeaveRecorder()
    {
        g_bRecording = 0;
        g_bRecorder = 0;
        g_bStartRecCap = 0;
        ASSERT_TRUE(WaitFor([] { return g_bAudioCaptureRunning == 0; }, 3.0));
        // The stop ends with a flush of the monitor queue.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    // Takes recording buffers as a writer does, giving each back.
    Recorded Collect(int count, double timeout = 5.0)
    {
        Recorded r;
        auto start = Clock::now();
        while (static_cast<int>(r.sizes.size()) < count && Since(start) < timeout) {
            Buffer_Handle buf = nullptr;
            if (Fifo_getPoll(g_hAudioCaptureOut, &buf, 50) != Dmai_EOK || !buf)
                continue;
            int used = Buffer_getNumBytesUsed(buf);
            const uint8_t* p = reinterpret_cast<const uint8_t*>(Buffer_getUserPtr(buf));
            r.sizes.push_back(used);
            r.data.insert(r.data.end(), p, p + used);
            Fifo_put(g_hAudioCaptureFree, buf);
        }
        return r;
    }

    int DrainRecorded()
    {
        int n = 0;
        Buffer_Handle buf = nullptr;
        while (Fifo_getPoll(g_hAudioCaptureOut, &buf, 0) == Dmai_EOK && buf) {
            Fifo_put(g_hAudioCaptureFree, buf);
            ++n;
        }
        return n;
    }

    size_t PlayedBytes()
    {
        WavData wav;
        return ReadWav(BoardRoot() + "/sound/played.wav", &wav) ? wav.data.size() : 0;
    }

    // The monitor's part of the line output since `from` bytes.
    Stereo Monitored(size_t from, int bits)
    {
        WavData wav;
        EXPECT_TRUE(ReadWav(BoardRoot() + "/sound/played.wav", &wav));
        if (from > wav.data.size())
            from = wav.data.size();
        return Unpack(wav.data.data() + from, wav.data.size() - from, bits);
    }

    pthread_t play_{};
    pthread_t capture_{};
    bool started_ = false;
};

TEST_F(AudioCaptureTest, MeterReadsTheToneAndSilence)
{
    SetQuality(48000, 16);
    EnterRecorder();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    // -6 dBFS and the equaliser's +0.4 dB at 1 kHz, in 0.6 dB steps.
    EXPECT_GE(g_fAudioLevelL, -6.7f);
    EXPECT_LE(g_fAudioLevelL, -4.7f);
    EXPECT_GT(g_nAudioLevelL, 100);
    EXPECT_EQ(g_nAudioLevelR, 0);
    EXPECT_FLOAT_EQ(g_fAudioLevelR, -96.0f);
    // Not recording, no pre-record: no recording buffers.
    EXPECT_EQ(Fifo_getNumEntries(g_hAudioCaptureOut), 0);
    // The device runs capture with its monitor beside it.
    EXPECT_EQ(card().capture.running.load(), 1);
    EXPECT_EQ(card().playback.open.load(), 1);
    EXPECT_EQ(card().capture.periodFrames.load(), 240);
    LeaveRecorder();
}

TEST_F(AudioCaptureTest, RecordingBuffersHoldOneHundredMilliseconds)
{
    const struct
    {
        int rate;
        int bits;
        int size;
    } kQualities[] = {{44100, 16, 17640}, {48000, 16, 19200}, {96000, 24, 57600}};
    for (const auto& q : kQualities) {
        SCOPED_TRACE(q.rate);
        SetQuality(q.rate, q.bits);
        g_nRecPos = 0;
        EnterRecorder();
        g_bRecording = 1;
        Recorded r = Collect(6);
        LeaveRecorder();
        int extra = DrainRecorded();
        ASSERT_EQ(r.sizes.size(), 6u);
        for (int size : r.sizes)
            EXPECT_EQ(size, q.size);
        EXPECT_EQ(g_nRecPos, 100 * (6 + extra));
        EXPECT_EQ(g_nAudioSampleBytes, q.bits / 4);

        // The buffers join into one continuous tone: nothing lost or doubled
        // where a block is split between two buffers.
        Stereo s = Unpack(r.data.data(), r.data.size(), q.bits);
        double amplitude = SineAmplitude(s.left, 1000, q.rate, q.rate / 10);
        EXPECT_NEAR(Db(amplitude), -5.6, 0.2);
        std::vector<double> residual;
        for (size_t i = q.rate / 10; i < s.left.size(); ++i)
            residual.push_back(s.left[i]);
        double fitted = SineAmplitude(residual, 1000, q.rate);
        EXPECT_NEAR(Rms(residual), fitted / std::sqrt(2.0), fitted * 0.01);
    }
}

TEST_F(AudioCaptureTest, SwapAndCameraFlipTurnBothRecordingAndMonitorAround)
{
    SetQuality(48000, 16);
    struct Result
    {
        bool recordingLeft;
        bool monitorLeft;
    };
    auto run = [this](int swap, int flip) {
        SetParameter("/Input Setting/L/R SWAP", static_cast<float>(swap));
        g_bCameraFlip = flip;
        size_t before = PlayedBytes();
        EnterRecorder();
        g_bRecording = 1;
        Recorded r = Collect(4);
        LeaveRecorder();
        DrainRecorded();
        Stereo rec = Unpack(r.data.data(), r.data.size(), 16);
        Stereo mon = Monitored(before, 16);
        EXPECT_GT(rec.left.size(), 4000u);
        EXPECT_GT(mon.left.size(), 4000u);
        // One channel carries the tone, the other is silent.
        EXPECT_LT(std::min(Peak(rec.left), Peak(rec.right)), 0.001);
        EXPECT_LT(std::min(Peak(mon.left, 480), Peak(mon.right, 480)), 0.001);
        return Result{Peak(rec.left) > Peak(rec.right), Peak(mon.left, 480) > Peak(mon.right, 480)};
    };
    Result plain = run(0, 0);
    Result swapped = run(1, 0);
    Result flipped = run(0, 1);
    Result both = run(1, 1);
    EXPECT_TRUE(plain.recordingLeft);  // the left input lands on the left
    EXPECT_FALSE(swapped.recordingLeft);
    EXPECT_FALSE(flipped.recordingLeft);
    EXPECT_TRUE(both.recordingLeft);
    EXPECT_NE(swapped.monitorLeft, plain.monitorLeft);
    EXPECT_NE(flipped.monitorLeft, plain.monitorLeft);
    EXPECT_EQ(both.monitorLeft, plain.monitorLeft);
}

TEST_F(AudioCaptureTest, LowCutAt120HzRemovesA40HzTone)
{
    SetQuality(48000, 24);
    vrec::sound::SetTone(card(), Input::kBuiltInMics, 40, -6.0, 40, -6.0);
    auto recordLevel = [this] {
        EnterRecorder();
        g_bRecording = 1;
        Recorded r = Collect(5);
        LeaveRecorder();
        DrainRecorded();
        Stereo s = Unpack(r.data.data(), r.data.size(), 24);
        return Db(SineAmplitude(s.left, 40, 48000, 9600));
    };
    SetParameter("/Input Setting/LOW CUT", "OFF");
    double open = recordLevel();
    SetParameter("/Input Setting/LOW CUT", "120Hz");
    double cut = recordLevel();
    EXPECT_EQ(g_InputAudioFilter.GetLcfLevel(), CInputAudioFilter::LCF_120HZ);
    EXPECT_NEAR(open, -6.0 + 4.0, 0.5);  // the microphones' equaliser lifts 40 Hz
    EXPECT_LT(cut - open, -15.0);
}

TEST_F(AudioCaptureTest, PauseDropsThePartialBuffer)
{
    SetQuality(48000, 16);
    EnterRecorder();
    g_bRecording = 1;
    ASSERT_EQ(Collect(1).sizes.size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // half a buffer
    g_bRecPause = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    DrainRecorded();
    // The partial buffer went back: all five are free.
    EXPECT_EQ(Fifo_getNumEntries(g_hAudioCaptureFree), AUDIO_CAPTURE_BUFFERS);
    int pos = g_nRecPos;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(g_nRecPos, pos);
    EXPECT_EQ(Fifo_getNumEntries(g_hAudioCaptureOut), 0);

    auto resumed = Clock::now();
    g_bRecPause = 0;
    ASSERT_EQ(Collect(1).sizes.size(), 1u);
    // A whole 100 ms of fresh sound, not the rest of the old buffer.
    EXPECT_GT(Since(resumed), 0.085);
    LeaveRecorder();
}

TEST_F(AudioCaptureTest, LeavingTheRecorderMutesAndStopsTwentyBlocksLater)
{
    SetQuality(48000, 16);
    testing::internal::CaptureStdout();
    EnterRecorder();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(card().mixer.dacMute.load(), 0);
    auto left = Clock::now();
    g_bRecorder = 0;
    g_bStartRecCap = 0;
    ASSERT_TRUE(WaitFor([this] { return card().mixer.dacMute.load() != 0; }, 1.0));
    double muted = Since(left);
    ASSERT_TRUE(WaitFor([] { return g_bAudioCaptureRunning2 == 0; }, 1.0));
    double stopped = Since(left);
    ASSERT_TRUE(WaitFor([] { return g_bAudioCaptureRunning == 0; }, 2.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("timeout"), std::string::npos) << out;
    EXPECT_LT(muted, 0.03);
    EXPECT_GT(stopped, 0.07);  // 19 more blocks of 5 ms
    EXPECT_LT(stopped, 0.2);
    EXPECT_EQ(card().capture.open.load(), 0);
    EXPECT_NE(out.find("********** ACAP: START "), std::string::npos);
    EXPECT_NE(out.find("********** ACAP: STOP "), std::string::npos);
}

TEST_F(AudioCaptureTest, PreRecordKeepsBuffersFlowingWithoutRecording)
{
    SetQuality(44100, 16);
    SetParameter("/Rec Option/PRE REC", 1.0f);
    EnterRecorder();
    Recorded r = Collect(3);
    EXPECT_EQ(r.sizes.size(), 3u);
    // The position moves on just after the buffer is handed over.
    EXPECT_TRUE(WaitFor([] { return g_nRecPos >= 300; }, 1.0)) << g_nRecPos;
    LeaveRecorder();
}

TEST_F(AudioCaptureTest, FullQueueDropsSoundWithAMessage)
{
    SetQuality(44100, 16);
    testing::internal::CaptureStdout();
    EnterRecorder();
    g_bRecording = 1;
    // Nobody takes the buffers: after five the rest of a split block has none.
    ASSERT_TRUE(WaitFor([] { return g_nRecPos >= 500; }, 2.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    LeaveRecorder();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("no audio buf!"), std::string::npos);
    EXPECT_EQ(g_nRecPos, 500);
    EXPECT_EQ(DrainRecorded(), 5);
}

TEST_F(AudioCaptureTest, MonoInputRecordsTheSameInBothChannels)
{
    SetQuality(48000, 16);
    SetParameter("/Input Setting/INPUT TYPE", 1.0f);
    EnterRecorder();
    g_bRecording = 1;
    Recorded r = Collect(3);
    LeaveRecorder();
    EXPECT_EQ(g_nAudioChannels, 1);
    Stereo s = Unpack(r.data.data(), r.data.size(), 16);
    ASSERT_FALSE(s.left.empty());
    EXPECT_EQ(s.left, s.right);
    EXPECT_NEAR(Db(SineAmplitude(s.left, 1000, 48000)), -12.0 + 0.4, 0.3);  // (L + silence) / 2
}

TEST_F(AudioCaptureTest, ExternalLineInputSkipsMicrophoneSettings)
{
    SetQuality(48000, 16);
    g_bExtAudio = 1;
    SetParameter("/Input Setting/INPUT SELECT", "LINE");
    SetParameter("/Input Setting/LEVEL CONTROL", "AUTO");
    SetParameter("/Input Setting/MIC GAIN", "HIGH");
    SetParameter("/Input Setting/LOW CUT", "120Hz");
    vrec::sound::SetTone(card(), Input::kExternal, 500, -10.0, 500, -10.0);
    EnterRecorder();
    g_bRecording = 1;
    Recorded r = Collect(3);
    LeaveRecorder();
    EXPECT_EQ(card().mixer.captureSource.load(), 3);
    EXPECT_EQ(card().mixer.levelControl.load(), 0);
    EXPECT_EQ(card().mixer.micGain.load(), 0);
    EXPECT_FALSE(g_InputAudioFilter.IsEQEnabled());
    EXPECT_EQ(g_InputAudioFilter.GetLcfLevel(), CInputAudioFilter::LCF_OFF);
    Stereo s = Unpack(r.data.data(), r.data.size(), 16);
    EXPECT_NEAR(Db(SineAmplitude(s.left, 500, 48000)), -10.0, 0.05);

    // A biased external microphone with its settings.
    SetParameter("/Input Setting/INPUT SELECT", "MIC");
    SetParameter("/Input Setting/PLUG IN POWER", "ON");
    ResetAudioCapture();
    EXPECT_EQ(card().mixer.captureSource.load(), 2);
    EXPECT_EQ(card().mixer.levelControl.load(), 1);
    EXPECT_EQ(card().mixer.micGain.load(), 2);
    EXPECT_EQ(g_InputAudioFilter.GetLcfLevel(), CInputAudioFilter::LCF_120HZ);
}

TEST_F(AudioCaptureTest, ResetAppliesSettingsToARunningCapture)
{
    SetQuality(48000, 16);
    EnterRecorder();
    SetParameter("/Input Setting/MIC GAIN", "MID");
    SetParameter("/Input Setting/LEVEL CONTROL", "LIMITER");
    auto start = Clock::now();
    ResetAudioCapture();
    EXPECT_LT(Since(start), 0.2);
    EXPECT_EQ(card().mixer.micGain.load(), 1);
    EXPECT_EQ(card().mixer.levelControl.load(), 2);
    EXPECT_EQ(g_bAudioCaptureRunning2, 1);
    LeaveRecorder();
}

TEST_F(AudioCaptureTest, AutoRecordStartsOnLevelAndStopsAfterFiveSecondsBelowIt)
{
    SetQuality(48000, 16);
    g_RemainMedia.Update();
    ASSERT_TRUE(g_RemainMedia.IsAvaiableSpace());
    SetParameter("/Rec Option/AUTO REC MODE", 1.0f);
    SetParameter("/Rec Option/AUTO REC LEVEL", -30.0f);
    vrec::sound::SetTone(card(), Input::kBuiltInMics, 1000, -20.0, 1000, -200.0);
    EnterRecorder();
    ASSERT_TRUE(WaitFor([] { return g_bAutoRecStartReq != 0; }, 0.5));
    // The recorder screen starts recording; one loud channel keeps it going.
    g_bAutoRecStartReq = 0;
    g_bRecording = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5500));
    EXPECT_EQ(g_bAutoRecStopReq, 0);
    DrainRecorded();
    vrec::sound::SetSilence(card(), Input::kBuiltInMics);
    auto quiet = Clock::now();
    ASSERT_TRUE(WaitFor([] { return g_bAutoRecStopReq != 0; }, 6.0));
    double after = Since(quiet);
    EXPECT_GT(after, 4.8);
    EXPECT_LT(after, 5.6);
    EXPECT_EQ(g_bAutoRecStartReq, 0);
    LeaveRecorder();
}

TEST_F(AudioCaptureTest, AutoRecordIsOffAtNinetySixKilohertzInMovieMode)
{
    SetActionMode(ACTION_MODE_MOVIE);
    SetQuality(96000, 24);
    g_RemainMedia.Update();
    SetParameter("/Rec Option/AUTO REC MODE", 1.0f);
    SetParameter("/Rec Option/AUTO REC LEVEL", -30.0f);
    EnterRecorder();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(g_bAutoRecStartReq, 0);
    // The codec monitors the input itself: nothing is written to the output.
    EXPECT_EQ(card().mixer.exCap.load(), 1);
    EXPECT_EQ(card().playback.frames.load(), 0);
    LeaveRecorder();
}

}  // namespace
