#include "tests/video/support/VideoPipeline.h"

#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Media/MovCreator.h"
#include "Media/MovRecorder.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/AudioPlay.h"
#include "Middleware/CODEC/Jpeg.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "media-stack/codec/Mpeg4Config.h"
#include "sim/board/Board.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace vrec::test {

namespace {

// The test, display, capture, video, audio capture, audio play (and writer).
constexpr int kParties = 6;
constexpr int kEncodedBuffers = 7;
constexpr int kEncodedBufferSize = 1382400;

CaptureEnv g_captureEnv;
VideoEnv g_videoEnv;
WriterEnv g_writerEnv;

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The recording writer's MOV path without pre-record: encoded frames from
// FIFO C (their buffers back to FIFO D), the configuration header of the
// first frame into the decoder information, sound buffers as they come.
class FifoMovWriter : public CMovCreator
{
public:
    FifoMovWriter(Fifo_Handle in, Fifo_Handle free) : in_(in), free_(free) {}

    // The longest time the creator spent between two looks at the queues
    // (writing to the card) in the last recording.
    double longestStallMs() const { return longestStallMs_; }
    void ResetStall()
    {
        longestStallMs_ = 0;
        lastLook_ = {};
    }

    // Hands everything queued back (no recording runs).
    void Drain()
    {
        Buffer_Handle hBuf = nullptr;
        while (Fifo_getPoll(in_, &hBuf, 0) == Dmai_EOK)
            Fifo_put(free_, hBuf);
        while (g_hAudioCaptureOut && Fifo_getPoll(g_hAudioCaptureOut, &hBuf, 0) == Dmai_EOK)
            Fifo_put(g_hAudioCaptureFree, hBuf);
    }

protected:
    int GetVideo(unsigned char* buffer) override
    {
        auto now = std::chrono::steady_clock::now();
        double sinceMs = std::chrono::duration<double, std::milli>(now - lastLook_).count();
        if (lastLook_ != std::chrono::steady_clock::time_point() && sinceMs > longestStallMs_)
            longestStallMs_ = sinceMs;
        lastLook_ = now;
        Buffer_Handle hBuf = nullptr;
        if (Fifo_getPoll(in_, &hBuf, 0) != Dmai_EOK)
            return 0;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(Buffer_getUserPtr(hBuf));
        size_t size = static_cast<size_t>(Buffer_getNumBytesUsed(hBuf));
        size_t skip = 0;
        if (m_nVideoFrames == 0 && mediastack::StartsWithCode(p, size, mediastack::kVideoObjectCode)) {
            skip = mediastack::FindCode(p, size, 4, mediastack::kVopCode);
            if (skip <= sizeof(m_baDecSpecInfo)) {
                std::memcpy(m_baDecSpecInfo, p, skip);
                m_nDecSpecInfoLen = static_cast<int>(skip);
            }
        }
        std::memcpy(buffer, p + skip, size - skip);
        Fifo_put(free_, hBuf);
        return static_cast<int>(size - skip);
    }

    int GetAudio(unsigned char* buffer) override
    {
        Buffer_Handle hBuf = nullptr;
        if (Fifo_getPoll(g_hAudioCaptureOut, &hBuf, 0) != Dmai_EOK)
            return 0;
        int used = Buffer_getNumBytesUsed(hBuf);
        std::memcpy(buffer, Buffer_getUserPtr(hBuf), static_cast<size_t>(used));
        Fifo_put(g_hAudioCaptureFree, hBuf);
        return used;
    }

    void PreLoop() override
    {
        if (!g_bRecording)
            SetExitCode(MOV_EXIT_STOPPED);
    }

private:
    Fifo_Handle in_;
    Fifo_Handle free_;
    std::chrono::steady_clock::time_point lastLook_;
    std::atomic<double> longestStallMs_{0};
};

VideoPipeline::VideoPipeline(Writer writer) : writerKind_(writer)
{
    g_bQuit = 0;
    SetActionMode(ACTION_MODE_MOVIE);
    g_bRecorder = 0;
    g_bRecording = 0;
    g_bRecPause = 0;
    g_bAfterRecording = 0;
    g_bAfterRecMode = 0;
    g_bPhotoCaptured = 0;
    g_bTestCameraMode = 0;
    g_bSdCard = 1;
    g_bUsbMode = 0;
    g_bSdCardFormatReq = 0;
    g_bSdCardFormatting = 0;
    g_bHdmi = 0;
    g_bCameraFlip = 0;
    g_nZoom = 100;
    g_nWhiteBalance = 0;
    g_Msp430_nInputVolume = 64;
    g_Msp430_nBatteryLevel = 7;
    if (!g_hEngine)
        g_hEngine = Engine_open("encodedecode", nullptr, nullptr);
    if (!JPEG_Init())
        return;
    SND_ValInit();
    wanted_ = writer == Writer::kDevice ? 6 : 5;
    g_hRendezvousInit = Rendezvous_create(wanted_ + 1, &Rendezvous_Attrs_DEFAULT);
    g_hRendezvousCleanup = Rendezvous_create(wanted_ + 1, &Rendezvous_Attrs_DEFAULT);
    for (Fifo_Handle& f : fifo_)
        f = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_captureEnv = {fifo_[1], fifo_[0]};
    g_videoEnv = {fifo_[2], fifo_[3], fifo_[0], fifo_[1]};
    g_writerEnv = {fifo_[3], fifo_[2]};

    if (writer == Writer::kStandIn) {
        writer_ = std::make_unique<FifoMovWriter>(fifo_[2], fifo_[3]);
        for (int i = 0; i < kEncodedBuffers; ++i) {
            Buffer_Handle hBuf = Buffer_create(kEncodedBufferSize, &Buffer_Attrs_DEFAULT);
            if (hBuf)
                Fifo_put(fifo_[3], hBuf);
        }
    }

    struct Entry
    {
        void* (*routine)(void*);
        void* arg;
    } entries[6] = {{DisplayThread, nullptr},       {CaptureTread, &g_captureEnv},
                    {VideoThread, &g_videoEnv},     {AudioCaptureThread, nullptr},
                    {AudioPlayThread, nullptr},     {WriterThread, &g_writerEnv}};
    for (int i = 0; i < wanted_; ++i) {
        if (pthread_create(&threads_[created_], nullptr, entries[i].routine, entries[i].arg) != 0)
            break;
        ++created_;
    }
    if (created_ < wanted_)
        Rendezvous_force(g_hRendezvousInit);
    else
        Rendezvous_meet(g_hRendezvousInit);
    if (writer_)
        writerThread_ = std::thread([this] { WriterLoop(); });
    started_ = created_ == wanted_ && !g_bQuit;
}

VideoPipeline::~VideoPipeline()
{
    g_bRecording = 0;
    g_bRecorder = 0;
    g_bTestCameraMode = 0;
    writerStop_ = true;
    if (writerThread_.joinable())
        writerThread_.join();
    g_bQuit = 1;
    if (created_ == wanted_)
        Rendezvous_meet(g_hRendezvousCleanup);
    else
        Rendezvous_force(g_hRendezvousCleanup);
    for (int i = 0; i < created_; ++i)
        pthread_join(threads_[i], nullptr);
    // The stand-in writer's buffers, wherever they ended up.
    for (int f : {2, 3}) {
        Buffer_Handle hBuf = nullptr;
        while (writer_ && fifo_[f] && Fifo_getPoll(fifo_[f], &hBuf, 0) == Dmai_EOK)
            Buffer_delete(hBuf);
    }
    for (Fifo_Handle& f : fifo_)
        if (f)
            Fifo_delete(f);
    Rendezvous_delete(g_hRendezvousCleanup);
    Rendezvous_delete(g_hRendezvousInit);
    g_hRendezvousInit = g_hRendezvousCleanup = nullptr;
    SND_ValExit();
    JPEG_Exit();
    g_bQuit = 0;
}

void VideoPipeline::WriterLoop()
{
    while (!writerStop_) {
        std::string path;
        {
            std::lock_guard<std::mutex> guard(pathLock_);
            path = path_;
        }
        if (path.empty()) {
            writer_->Drain();
            SleepMS(10);
            continue;
        }
        writerArmed_ = true;
        if (!g_bRecording) {
            SleepMS(1);
            continue;
        }
        writerBusy_ = true;
        writer_->ResetStall();
        writer_->ClearParam();
        writer_->Create(path.c_str(), g_nVideoRecordWidth, g_nVideoRecordHeight, 30, g_nAudioFreq, g_nAudioBits, 2);
        {
            std::lock_guard<std::mutex> guard(pathLock_);
            path_.clear();
        }
        writerArmed_ = false;
        writerBusy_ = false;
    }
}

double VideoPipeline::WriterStallMs() const
{
    return writer_ ? writer_->longestStallMs() : 0;
}

bool VideoPipeline::HeldUp() const
{
    bool heldUp = WriterStallMs() > 150 || cameraDrops_ > 0 || captureMisses_ > 0;
    if (heldUp)
        std::printf("the host held the recording up: writer %.0f ms, %u frame times without a buffer, %d frames "
                    "without a frame buffer\n",
                    WriterStallMs(), cameraDrops_, captureMisses_);
    return heldUp;
}

void VideoPipeline::CountLosses(bool start)
{
    uint32_t dropped = vrec::board::Board::Get().state().camera.dropped.load();
    int missed = VPFE_GetMissedFrames();
    if (!start) {
        cameraDrops_ = dropped - droppedAtStart_;
        captureMisses_ = missed - missedAtStart_;
    }
    droppedAtStart_ = dropped;
    missedAtStart_ = missed;
}

bool VideoPipeline::EnterRecorder(int width, int actionMode)
{
    SetParameter("/REC Quality/IMAGE SIZE", static_cast<float>(width));
    SetActionMode(actionMode);
    g_bRecorder = 1;
    if (!WaitUntil([] { return g_bStartRecCap != 0; }, 10.0))
        return false;
    if (actionMode != ACTION_MODE_PHOTO && !WaitUntil([] { return g_bAudioCaptureRunning2 != 0; }, 10.0))
        return false;
    // The frames of a run's start are not shown nor recorded (7, and 6 after
    // the sound started): give them time to pass.
    SleepMS(800);
    return true;
}

bool VideoPipeline::LeaveRecorder()
{
    g_bRecording = 0;
    g_bRecorder = 0;
    return WaitUntil([] { return g_nDispZoom == -1 && g_bAudioCaptureRunning == 0; }, 10.0);
}

void VideoPipeline::StartRecording()
{
    g_bRecPause = 0;
    g_bRecording = 1;
}

bool VideoPipeline::StopRecording()
{
    g_bRecording = 0;
    return WaitUntil([this] { return !writerBusy_; }, 20.0);
}

std::string VideoPipeline::RecordWithWriter(double seconds)
{
    // REC_Start and REC_Stop of the screen.
    g_RemainMedia.Update();
    g_bRecPause = 0;
    g_nRecPos = 0;
    CountLosses(true);
    g_bRecording = 1;
    if (!WaitUntil([] { return g_bMovWriterRunning != 0; }, 5.0))
        return {};
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    REC_Stop();
    bool stopped = WaitUntil([] { return g_bMovWriterRunning == 0; }, 20.0);
    CountLosses(false);
    if (!stopped)
        return {};
    return std::string("/sdcard/MY_FOLDER/") + screen_player::m_curFile;
}

bool VideoPipeline::Record(double seconds, const std::string& devicePath)
{
    {
        std::lock_guard<std::mutex> guard(pathLock_);
        path_ = devicePath;
    }
    if (!WaitUntil([this] { return writerArmed_.load(); }, 5.0))
        return false;
    CountLosses(true);
    StartRecording();
    if (!WaitUntil([this] { return writerBusy_.load(); }, 5.0))
        return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    bool stopped = StopRecording();
    CountLosses(false);
    return stopped;
}

}  // namespace vrec::test
