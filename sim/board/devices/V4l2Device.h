// What the board's video devices share: a V4L2 streaming device with
// user-pointer buffers. The format, the buffer count, the bookkeeping of
// queued and returned buffers and the wait for a returned one are here;
// what a queued buffer means (filled by the camera, shown by a window) is
// the device's.
#pragma once

#include "media-stack/VideoDriver.h"
#include "sim/board/Device.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace vrec::board {

class V4l2Device : public BoardDevice
{
public:
    V4l2Device(uint32_t type, const char* driver, const char* card, int width, int height);

    int Ioctl(unsigned long request, void* arg) override;
    bool Readable() override;

protected:
    struct Slot
    {
        uint8_t* memory = nullptr;
        size_t length = 0;
        bool queued = false;  // with the driver
        bool done = false;    // waiting to be dequeued
        uint32_t sequence = 0;
        int64_t instantNs = 0;
    };

    virtual bool SizeAllowed(uint32_t width, uint32_t height) const = 0;
    // After a new format (lock held).
    virtual void FormatChanged() {}
    // A buffer was queued (lock held): the device takes it over.
    virtual void Queued(int index) = 0;
    // Streaming starts (lock held) or stops (lock not held, before the
    // buffers are taken back).
    virtual void StartStreaming() {}
    virtual void StopStreaming() {}
    // Requests of the device's own.
    virtual int OtherIoctl(unsigned long request, void* arg) { return Fail(ENOTTY); }

    // The buffer goes back to the application (lock held).
    void Release(int index, uint32_t sequence = 0, int64_t instantNs = 0);
    // Stops streaming and takes every buffer back.
    void StreamOff();

    std::mutex lock_;
    std::condition_variable released_;
    std::vector<Slot> slots_;
    std::deque<int> done_;
    int width_;
    int height_;
    int stride_;
    bool streaming_ = false;

private:
    int Format(bool set, v4l2_format& fmt);
    int RequestBuffers(v4l2_requestbuffers& req);
    int Queue(const v4l2_buffer& buf);
    int Dequeue(v4l2_buffer& buf);

    uint32_t type_;
    const char* driver_;
    const char* card_;
};

}  // namespace vrec::board
