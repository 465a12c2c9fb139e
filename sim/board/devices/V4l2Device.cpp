#include "sim/board/devices/V4l2Device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace vrec::board {

namespace {

constexpr uint32_t kMaxBuffers = 16;

}  // namespace

V4l2Device::V4l2Device(uint32_t type, const char* driver, const char* card, int width, int height)
    : width_(width), height_(height), stride_(width * 2), type_(type), driver_(driver), card_(card)
{
}

int V4l2Device::Ioctl(unsigned long request, void* arg)
{
    if (!arg)
        return OtherIoctl(request, arg);
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(arg);
        std::memset(cap, 0, sizeof(*cap));
        std::snprintf(reinterpret_cast<char*>(cap->driver), sizeof(cap->driver), "%s", driver_);
        std::snprintf(reinterpret_cast<char*>(cap->card), sizeof(cap->card), "%s", card_);
        uint32_t caps = (type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE ? V4L2_CAP_VIDEO_CAPTURE : V4L2_CAP_VIDEO_OUTPUT) |
                        V4L2_CAP_STREAMING;
        cap->capabilities = caps | V4L2_CAP_DEVICE_CAPS;
        cap->device_caps = caps;
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
        return Format(request == VIDIOC_S_FMT, *static_cast<v4l2_format*>(arg));
    case VIDIOC_REQBUFS:
        return RequestBuffers(*static_cast<v4l2_requestbuffers*>(arg));
    case VIDIOC_QBUF:
        return Queue(*static_cast<const v4l2_buffer*>(arg));
    case VIDIOC_DQBUF:
        return Dequeue(*static_cast<v4l2_buffer*>(arg));
    case VIDIOC_STREAMON: {
        if (*static_cast<int*>(arg) != static_cast<int>(type_))
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (streaming_)
            return 0;
        if (slots_.empty())
            return Fail(EINVAL);
        streaming_ = true;
        StartStreaming();
        return 0;
    }
    case VIDIOC_STREAMOFF:
        if (*static_cast<int*>(arg) != static_cast<int>(type_))
            return Fail(EINVAL);
        StreamOff();
        return 0;
    default:
        return OtherIoctl(request, arg);
    }
}

bool V4l2Device::Readable()
{
    std::lock_guard<std::mutex> guard(lock_);
    return !done_.empty();
}

void V4l2Device::Release(int index, uint32_t sequence, int64_t instantNs)
{
    Slot& slot = slots_[static_cast<size_t>(index)];
    slot.queued = false;
    slot.done = true;
    slot.sequence = sequence;
    slot.instantNs = instantNs;
    done_.push_back(index);
    released_.notify_all();
}

void V4l2Device::StreamOff()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!streaming_)
            return;
    }
    StopStreaming();
    std::lock_guard<std::mutex> guard(lock_);
    streaming_ = false;
    done_.clear();
    for (Slot& slot : slots_)
        slot.queued = slot.done = false;
    released_.notify_all();
}

int V4l2Device::Format(bool set, v4l2_format& fmt)
{
    if (fmt.type != type_)
        return Fail(EINVAL);
    std::lock_guard<std::mutex> guard(lock_);
    v4l2_pix_format& pix = fmt.fmt.pix;
    if (set) {
        if (streaming_)
            return Fail(EBUSY);
        if (pix.pixelformat != V4L2_PIX_FMT_UYVY || (pix.width & 1) || !SizeAllowed(pix.width, pix.height))
            return Fail(EINVAL);
        width_ = static_cast<int>(pix.width);
        height_ = static_cast<int>(pix.height);
        stride_ = std::max<int>(static_cast<int>(pix.bytesperline), width_ * 2);
        FormatChanged();
    }
    std::memset(&pix, 0, sizeof(pix));
    pix.width = static_cast<uint32_t>(width_);
    pix.height = static_cast<uint32_t>(height_);
    pix.pixelformat = V4L2_PIX_FMT_UYVY;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = static_cast<uint32_t>(stride_);
    pix.sizeimage = static_cast<uint32_t>(stride_ * height_);
    pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
    return 0;
}

int V4l2Device::RequestBuffers(v4l2_requestbuffers& req)
{
    if (req.type != type_ || req.memory != V4L2_MEMORY_USERPTR)
        return Fail(EINVAL);
    std::lock_guard<std::mutex> guard(lock_);
    if (streaming_)
        return Fail(EBUSY);
    req.count = std::min(req.count, kMaxBuffers);
    slots_.assign(req.count, Slot());
    done_.clear();
    return 0;
}

int V4l2Device::Queue(const v4l2_buffer& buf)
{
    if (buf.type != type_ || buf.memory != V4L2_MEMORY_USERPTR)
        return Fail(EINVAL);
    std::lock_guard<std::mutex> guard(lock_);
    if (buf.index >= slots_.size() || buf.m.userptr == 0 || buf.length < static_cast<uint32_t>(stride_ * height_))
        return Fail(EINVAL);
    Slot& slot = slots_[buf.index];
    if (slot.queued || slot.done || (!streaming_ && type_ == V4L2_BUF_TYPE_VIDEO_OUTPUT))
        return Fail(EINVAL);
    slot.memory = reinterpret_cast<uint8_t*>(buf.m.userptr);
    slot.length = buf.length;
    slot.queued = true;
    Queued(static_cast<int>(buf.index));
    return 0;
}

int V4l2Device::Dequeue(v4l2_buffer& buf)
{
    if (buf.type != type_)
        return Fail(EINVAL);
    std::unique_lock<std::mutex> guard(lock_);
    if (done_.empty()) {
        if (StatusFlags() & O_NONBLOCK)
            return Fail(EAGAIN);
        released_.wait(guard, [this] { return !done_.empty() || !streaming_; });
        if (done_.empty())
            return Fail(EINVAL);
    }
    int index = done_.front();
    done_.pop_front();
    Slot& slot = slots_[static_cast<size_t>(index)];
    slot.done = false;
    buf.index = static_cast<uint32_t>(index);
    buf.memory = V4L2_MEMORY_USERPTR;
    buf.m.userptr = reinterpret_cast<unsigned long>(slot.memory);
    buf.length = static_cast<uint32_t>(slot.length);
    buf.bytesused = static_cast<uint32_t>(stride_ * height_);
    buf.sequence = slot.sequence;
    buf.field = V4L2_FIELD_NONE;
    buf.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_DONE;
    buf.timestamp.tv_sec = static_cast<time_t>(slot.instantNs / 1000000000);
    buf.timestamp.tv_usec = static_cast<suseconds_t>(slot.instantNs % 1000000000 / 1000);
    return 0;
}

}  // namespace vrec::board
