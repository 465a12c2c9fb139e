#include "tests/media/support/WriterRig.h"

#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/MovRecorder.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/AudioPlay.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/media/support/MovParse.h"
#include "tests/sound/Signal.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <map>
#include <mutex>
#include <sstream>

namespace vrec::test {

namespace {

using Clock = std::chrono::steady_clock;

WriterEnv g_env;

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, double seconds)
{
    auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

const RecorderVideo& TestVideo(int width, int height, int frames)
{
    static std::mutex lock;
    static std::map<std::tuple<int, int, int>, RecorderVideo> made;
    std::lock_guard<std::mutex> guard(lock);
    RecorderVideo& video = made[{width, height, frames}];
    if (video.frames.empty()) {
        std::string error;
        if (!EncodeRecorderVideo(width, height, frames, &video, &error))
            ADD_FAILURE() << error;
    }
    return video;
}

// ---- FrameFeeder ------------------------------------------------------------

FrameFeeder::FrameFeeder(Fifo_Handle out, Fifo_Handle free, const RecorderVideo& video)
    : out_(out), free_(free), video_(video)
{
    if (!video.frames.empty())
        firstWithoutHeader_.assign(video.frames[0].begin() + kConfigHeaderSize, video.frames[0].end());
}

FrameFeeder::~FrameFeeder()
{
    Stop();
}

const Bytes& FrameFeeder::Frame(int i) const
{
    size_t k = static_cast<size_t>(i) % video_.frames.size();
    return k == 0 ? firstWithoutHeader_ : video_.frames[k];
}

bool FrameFeeder::FeedOne()
{
    Buffer_Handle buf = nullptr;
    if (Fifo_getPoll(free_, &buf, 2000) != Dmai_EOK || !buf)
        return false;
    int i = fed_;
    const Bytes& frame = i == 0 ? video_.frames[0] : Frame(i);
    std::memcpy(Buffer_getUserPtr(buf), frame.data(), frame.size());
    Buffer_setNumBytesUsed(buf, static_cast<int32_t>(frame.size()));
    Fifo_put(out_, buf);
    fed_ = i + 1;
    return true;
}

void FrameFeeder::Start()
{
    stop_ = false;
    thread_ = std::thread([this] {
        auto next = Clock::now();
        while (!stop_) {
            next += std::chrono::microseconds(33333);
            FeedOne();
            std::this_thread::sleep_until(next);
        }
    });
}

void FrameFeeder::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

// ---- WriterRig ----------------------------------------------------------------

void WriterRig::SetUp()
{
    BoardTest::SetUp();
    SetActionMode(ACTION_MODE_MOVIE);
    g_bQuit = 0;
    g_bRecorder = 0;
    g_bStartRecCap = 0;
    g_bRecording = 0;
    g_bRecPause = 0;
    g_bPhotoCaptured = 0;
    g_bAfterRecording = 0;
    g_bAfterRecMode = 0;
    g_bFileIncrementReq = 0;
    g_bExtAudio = 0;
    g_bCameraFlip = 0;
    g_bUsbMode = 0;
    g_nRecPos = 0;
    g_Msp430_nInputVolume = 64;  // 0 dB on the PGA
    g_Msp430_nBatteryLevel = 7;
    g_nVideoRecordWidth = 640;
    g_nVideoRecordHeight = 480;
    g_RecorderMov.SetExitCode(0);
    g_RecorderMov.ClearParam();
    SetPreRecord(false);
    g_PlaylistCtrl.SetCurrentDir("/MY_FOLDER");
    vrec::sound::SetTone(vrec::board::Board::Get().state().sound, vrec::sound::Input::kBuiltInMics, 1000, -6.0, 1000,
                         -6.0);
    SND_ValInit();
}

void WriterRig::TearDown()
{
    StopThreads();
    SND_ValExit();
    BoardTest::TearDown();
}

void WriterRig::StartThreads(Mode mode)
{
    mode_ = mode;
    const int parties = mode == Mode::kLive ? 4 : 2;
    g_hRendezvousInit = Rendezvous_create(parties, &Rendezvous_Attrs_DEFAULT);
    g_hRendezvousCleanup = Rendezvous_create(parties, &Rendezvous_Attrs_DEFAULT);
    encodedOut_ = Fifo_create(&Fifo_Attrs_DEFAULT);
    encodedFree_ = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_env.hInFifo = encodedOut_;
    g_env.hFreeFifo = encodedFree_;
    if (mode == Mode::kFed) {
        g_hAudioCaptureOut = Fifo_create(&Fifo_Attrs_DEFAULT);
        g_hAudioCaptureFree = Fifo_create(&Fifo_Attrs_DEFAULT);
        soundTable_ = BufTab_create(AUDIO_CAPTURE_BUFFERS, AUDIO_CAPTURE_BUFFER_SIZE, &Buffer_Attrs_DEFAULT);
        for (int i = 0; i < AUDIO_CAPTURE_BUFFERS; ++i)
            Fifo_put(g_hAudioCaptureFree, BufTab_getBuf(soundTable_, i));
        soundFrames_ = 0;
    } else {
        ASSERT_EQ(pthread_create(&play_, nullptr, AudioPlayThread, nullptr), 0);
        ASSERT_EQ(pthread_create(&capture_, nullptr, AudioCaptureThread, nullptr), 0);
    }
    ASSERT_EQ(pthread_create(&writer_, nullptr, WriterThread, &g_env), 0);
    running_ = true;
    Rendezvous_meet(g_hRendezvousInit);
}

void WriterRig::StopThreads()
{
    if (!running_)
        return;
    g_bRecording = 0;
    g_bRecorder = 0;
    g_bAfterRecording = 0;
    g_bQuit = 1;
    Rendezvous_meet(g_hRendezvousCleanup);
    pthread_join(writer_, nullptr);
    if (mode_ == Mode::kLive) {
        pthread_join(capture_, nullptr);
        pthread_join(play_, nullptr);
    } else {
        Fifo_delete(g_hAudioCaptureOut);
        Fifo_delete(g_hAudioCaptureFree);
        g_hAudioCaptureOut = nullptr;
        g_hAudioCaptureFree = nullptr;
        BufTab_delete(soundTable_);
        soundTable_ = nullptr;
    }
    running_ = false;
    g_bQuit = 0;
    Fifo_delete(encodedOut_);
    Fifo_delete(encodedFree_);
    Rendezvous_delete(g_hRendezvousCleanup);
    Rendezvous_delete(g_hRendezvousInit);
    g_hRendezvousInit = nullptr;
    g_hRendezvousCleanup = nullptr;
}

void WriterRig::SetQuality(int rate, int bits)
{
    SetParameter("/REC Quality/SAMPLE RATE", static_cast<float>(rate));
    SetParameter("/REC Quality/SOUND FORMAT", static_cast<float>(bits));
    // The capture thread takes them at its start; fed sound is made here.
    g_nAudioFreq = rate;
    g_nAudioBits = bits;
    g_nAudioSampleBytes = bits / 4;
}

void WriterRig::SetPreRecord(bool on)
{
    SetParameter("/Rec Option/PRE REC", on ? 1.0f : 0.0f);
}

void WriterRig::EnterRecorder(int actionMode)
{
    SetActionMode(actionMode);
    g_bRecorder = 1;
    g_bStartRecCap = 1;
    if (mode_ == Mode::kLive) {
        ASSERT_TRUE(WaitUntil([] { return g_bAudioCaptureRunning2 != 0; }, 5.0));
    }
}

void WriterRig::LeaveRecorder()
{
    g_bRecording = 0;
    g_bRecorder = 0;
    g_bStartRecCap = 0;
    if (mode_ == Mode::kLive) {
        ASSERT_TRUE(WaitUntil([] { return g_bAudioCaptureRunning == 0; }, 5.0));
    }
    ASSERT_TRUE(WaitUntil([] { return !g_bMovWriterRunning && !g_bWavWriterRunning; }, 10.0));
    // The writer gives back what is still queued before it looks for the next loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

void WriterRig::StartRecording()
{
    g_RemainMedia.Update();
    if (!g_RecorderMov.GetCreating())
        g_RecorderMov.SetExitCode(0);  // as the screen clears a code it has shown
    g_bRecPause = 0;
    g_nRecPos = 0;
    g_bRecording = 1;
}

void WriterRig::StopRecording()
{
    REC_Stop();
    EXPECT_TRUE(WaitUntil([this] { return !WriterRunning(); }, 10.0)) << "the writer did not stop";
}

bool WriterRig::WriterRunning() const
{
    return g_bMovWriterRunning || g_bWavWriterRunning;
}

bool WriterRig::FeedSound()
{
    Buffer_Handle buf = nullptr;
    if (Fifo_getPoll(g_hAudioCaptureFree, &buf, 2000) != Dmai_EOK || !buf)
        return false;
    const int rate = g_nAudioFreq;
    const int bits = g_nAudioBits;
    const int bytes = bits / 8;
    // A whole number of periods fits in one second: one second of the tone,
    // made once, is the source of every buffer.
    static std::vector<uint8_t> second;
    static int secondRate = 0, secondBits = 0;
    if (secondRate != rate || secondBits != bits) {
        second.clear();
        for (int i = 0; i < rate; ++i) {
            double v = 0.5 * std::sin(2 * M_PI * kFedToneHz * i / rate);
            int32_t sample = static_cast<int32_t>(std::lround(v * (bits == 24 ? 8388607.0 : 32767.0)));
            for (int ch = 0; ch < 2; ++ch)
                for (int b = 0; b < bytes; ++b)
                    second.push_back(static_cast<uint8_t>(sample >> (8 * b)));
        }
        secondRate = rate;
        secondBits = bits;
    }
    const size_t frameBytes = static_cast<size_t>(2 * bytes);
    const size_t frames = static_cast<size_t>(rate / 10);
    const size_t from = static_cast<size_t>(soundFrames_ % static_cast<uint64_t>(rate)) * frameBytes;
    std::memcpy(Buffer_getUserPtr(buf), second.data() + from, frames * frameBytes);
    soundFrames_ += frames;
    Buffer_setNumBytesUsed(buf, static_cast<int32_t>(frames * frameBytes));
    Fifo_put(g_hAudioCaptureOut, buf);
    return true;
}

void WriterRig::FeedRhythm(FrameFeeder& feeder, double seconds)
{
    const int steps = static_cast<int>(std::lround(seconds * 10));
    for (int i = 0; i < steps; ++i) {
        for (int k = 0; k < 3; ++k)
            ASSERT_TRUE(feeder.FeedOne()) << "no free frame buffer";
        ASSERT_TRUE(FeedSound()) << "no free sound buffer";
    }
}

bool WriterRig::WaitQueuesEmpty(double seconds)
{
    bool empty = WaitUntil([this] { return Fifo_getNumEntries(encodedOut_) == 0 &&
                                           Fifo_getNumEntries(g_hAudioCaptureOut) == 0; },
                           seconds);
    // The last one taken is being written.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return empty;
}

std::vector<std::string> WriterRig::Recordings(const std::string& ext)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(HostPath("/sdcard/MY_FOLDER").c_str())) {
        while (struct dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---- sox ------------------------------------------------------------------------

SoxInfo Soxi(const std::string& path)
{
    SoxInfo info;
    std::string out;
    if (RunCommand("soxi -r '" + path + "'", &out) == 0)
        info.rate = std::atoi(out.c_str());
    if (RunCommand("soxi -b '" + path + "'", &out) == 0)
        info.bits = std::atoi(out.c_str());
    if (RunCommand("soxi -c '" + path + "'", &out) == 0)
        info.channels = std::atoi(out.c_str());
    if (RunCommand("soxi -D '" + path + "'", &out) == 0)
        info.seconds = std::atof(out.c_str());
    return info;
}

double SoxPeakDb(const std::string& path, int channel)
{
    std::string out;
    RunCommand("sox '" + path + "' -n remix " + std::to_string(channel) + " stats", &out, true);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("Pk lev dB", 0) == 0)
            return std::atof(line.c_str() + 9);
    }
    return -999.0;
}

}  // namespace vrec::test
