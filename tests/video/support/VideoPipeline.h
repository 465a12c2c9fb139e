// The device's picture and sound path running in the test process: the
// display, capture, video, audio capture and monitor threads as main starts
// them, the flags the recorder screen would set, and either the device's
// writer thread or a stand-in writer that turns FIFO C and the sound
// buffers into a movie of a chosen name with CMovCreator (as the recording
// writer does without pre-record).
#pragma once

#include "media-stack/Dmai.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>

namespace vrec::test {

class FifoMovWriter;

class VideoPipeline
{
public:
    enum class Writer
    {
        kStandIn,  // movies go where Record says
        kDevice,   // WriterThread: movies get the recorder's names in the current folder
    };

    explicit VideoPipeline(Writer writer = Writer::kStandIn);
    ~VideoPipeline();
    VideoPipeline(const VideoPipeline&) = delete;
    VideoPipeline& operator=(const VideoPipeline&) = delete;

    bool started() const { return started_; }

    // Recorder mode in the action mode with the image size (1280 or 640);
    // true once the camera, the sound and the frames run (the first frames
    // of a run are not shown or recorded).
    bool EnterRecorder(int width, int actionMode = 0);
    // Back to player mode; true once the capture left recorder mode.
    bool LeaveRecorder();

    // A movie of about `seconds` at devicePath through the stand-in writer.
    bool Record(double seconds, const std::string& devicePath);
    // A movie of about `seconds` through the device's writer; its device
    // path (the newest movie of the current folder), empty on a failure.
    std::string RecordWithWriter(double seconds);

    // The longest the stand-in writer was held up writing the last movie
    // (the host's disk can stall it, as a slow card does on the device).
    double WriterStallMs() const;
    // Frame times of the last recording that the camera found no buffer for
    // (the host kept the capture thread from running for 7 frames), and
    // frames the capture had no frame buffer for (the encoder or the writer
    // fell behind).
    uint32_t CameraDrops() const { return cameraDrops_; }
    int CaptureMisses() const { return captureMisses_; }
    // True when the host held the recording path up long enough for its
    // queues to overflow (frames and sound are then lost by design, as on
    // the device); says so on the console.
    bool HeldUp() const;

    // Starts and stops a recording by the flags alone (for other writers).
    void StartRecording();
    bool StopRecording();

    Fifo_Handle fifoA() const { return fifo_[0]; }
    Fifo_Handle fifoB() const { return fifo_[1]; }
    Fifo_Handle fifoC() const { return fifo_[2]; }
    Fifo_Handle fifoD() const { return fifo_[3]; }

private:
    void WriterLoop();

    Fifo_Handle fifo_[4] = {nullptr, nullptr, nullptr, nullptr};
    Writer writerKind_;
    pthread_t threads_[6] = {};
    int wanted_ = 5;
    int created_ = 0;
    bool started_ = false;
    std::unique_ptr<FifoMovWriter> writer_;
    std::thread writerThread_;
    std::atomic<bool> writerStop_{false};
    std::atomic<bool> writerArmed_{false};  // waits for the recording flag, drains nothing
    std::atomic<bool> writerBusy_{false};
    uint32_t cameraDrops_ = 0;
    int captureMisses_ = 0;
    uint32_t droppedAtStart_ = 0;
    int missedAtStart_ = 0;
    // Notes the loss counters at a recording's start and end.
    void CountLosses(bool start);
    std::mutex pathLock_;
    std::string path_;  // of the next recording
};

// Waits (polling every ms) until condition() holds; false after seconds.
bool WaitUntil(const std::function<bool()>& condition, double seconds);

}  // namespace vrec::test
