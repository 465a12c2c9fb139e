// The recording writer on a fresh board, with what feeds it: the real audio
// capture and monitor threads on the board's sound card and a test thread
// that queues real MPEG-4 frames at 30 frames/s ("live"), or the test
// itself queuing frames and 100 ms sound buffers as fast as the writer
// takes them ("fed").
#pragma once

#include "media-stack/Dmai.h"
#include "tests/media/support/Mpeg4Stream.h"
#include "tests/support/BoardTest.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vrec::test {

// Polls until the condition holds; false after the time-out.
bool WaitUntil(const std::function<bool()>& condition, double seconds);

// Queues frames of a recorder video into the encoder's output FIFO as the
// device's encoder does: frame i of the stream is frames[i % N], the
// configuration header only on the first frame after it starts.
class FrameFeeder
{
public:
    FrameFeeder(Fifo_Handle out, Fifo_Handle free, const RecorderVideo& video);
    ~FrameFeeder();

    // A thread paced at 30 frames/s.
    void Start();
    void Stop();
    // One frame from the calling thread, waiting for a free buffer.
    bool FeedOne();

    int Fed() const { return fed_; }
    // The bytes of stream frame i as the writer stores it (no header).
    const Bytes& Frame(int i) const;
    int KeyFrameBefore(int i) const { return i - i % 30; }

private:
    Fifo_Handle out_;
    Fifo_Handle free_;
    const RecorderVideo& video_;
    Bytes firstWithoutHeader_;
    std::atomic<int> fed_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class WriterRig : public BoardTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    enum class Mode
    {
        kLive,  // capture and monitor threads on the sound card
        kFed,   // the test queues the sound itself
    };
    // Starts the writer thread (and the sound threads when live).
    void StartThreads(Mode mode);
    void StopThreads();

    void SetQuality(int rate, int bits);
    void SetPreRecord(bool on);
    // The movie recorder as the screen enters it (the camera has its first frame).
    void EnterRecorder(int actionMode);
    void LeaveRecorder();
    // REC_Start and REC_Stop of the screen; Stop waits for the writer.
    void StartRecording();
    void StopRecording();
    bool WriterRunning() const;

    // Fed mode: one 100 ms sound buffer of a -6 dBFS tone of kFedToneHz
    // (not a whole number of periods in 100 ms), waiting for a free one.
    bool FeedSound();
    // Fed mode: 3 frames then 100 ms of sound, `seconds` times 10.
    void FeedRhythm(FrameFeeder& feeder, double seconds);
    // Waits until the writer has taken everything queued.
    bool WaitQueuesEmpty(double seconds = 10.0);

    // Files of the recording folder with this extension, sorted.
    std::vector<std::string> Recordings(const std::string& ext);
    std::string Recorded(const std::string& name) { return HostPath("/sdcard/MY_FOLDER/" + name); }

    Fifo_Handle encodedOut_ = nullptr;   // FIFO C
    Fifo_Handle encodedFree_ = nullptr;  // FIFO D
    Mode mode_ = Mode::kLive;

private:
    pthread_t writer_{};
    pthread_t capture_{};
    pthread_t play_{};
    bool running_ = false;
    BufTab_Handle soundTable_ = nullptr;
    uint64_t soundFrames_ = 0;
};

constexpr double kFedToneHz = 997.0;

// A movie of `frames` frames at the size, made once per size.
const RecorderVideo& TestVideo(int width, int height, int frames = 300);

// Sound files as sox sees them.
struct SoxInfo
{
    int rate = 0;
    int bits = 0;
    int channels = 0;
    double seconds = 0;
};
SoxInfo Soxi(const std::string& path);
// "Pk lev dB" of one channel (1 or 2) from "sox FILE -n stats".
double SoxPeakDb(const std::string& path, int channel);

}  // namespace vrec::test
