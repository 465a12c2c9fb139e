// "/dev/video1" (HDMI) and "/dev/video2" (LCD): the video windows under the
// OSD, V4L2 output devices with user-pointer buffers. A queued buffer is
// shown at once: its picture goes to "<root>/video-hdmi.plane" or
// "<root>/video-lcd.plane", where the compositor finds it, and the buffer
// shown before it can be dequeued.
#include "media-stack/VideoDriver.h"
#include "sim/board/Board.h"
#include "sim/board/Devices.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace vrec::board {

namespace {

constexpr int kLcdWidth = 240;
constexpr int kLcdHeight = 320;
constexpr int kHdmiMaxWidth = 1280;
constexpr int kHdmiMaxHeight = 720;
constexpr int kMaxBuffers = 8;

class VideoOutputDevice : public BoardDevice
{
public:
    VideoOutputDevice(Board& board, bool hdmi, uint8_t* plane, size_t planeSize)
        : display_(board.state().display), hdmi_(hdmi), plane_(plane), planeSize_(planeSize)
    {
        width_ = hdmi ? kHdmiMaxWidth : kLcdWidth;
        height_ = hdmi ? kHdmiMaxHeight : kLcdHeight;
        stride_ = width_ * 2;
    }

    ~VideoOutputDevice() override
    {
        Hide();
        munmap(plane_, planeSize_);
    }

    int Ioctl(unsigned long request, void* arg) override
    {
        if (!arg)
            return Fail(EFAULT);
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(arg);
            std::memset(cap, 0, sizeof(*cap));
            std::snprintf(reinterpret_cast<char*>(cap->driver), sizeof(cap->driver), "vpbe-display");
            std::snprintf(reinterpret_cast<char*>(cap->card), sizeof(cap->card), hdmi_ ? "HDMI video" : "LCD video");
            cap->capabilities = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
            return 0;
        }
        case VIDIOC_G_FMT:
        case VIDIOC_S_FMT:
            return Format(request == VIDIOC_S_FMT, *static_cast<v4l2_format*>(arg));
        case VIDIOC_REQBUFS:
            return RequestBuffers(*static_cast<v4l2_requestbuffers*>(arg));
        case VIDIOC_QBUF:
            return Queue(*static_cast<v4l2_buffer*>(arg));
        case VIDIOC_DQBUF:
            return Dequeue(*static_cast<v4l2_buffer*>(arg));
        case VIDIOC_STREAMON:
        case VIDIOC_STREAMOFF: {
            if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_OUTPUT)
                return Fail(EINVAL);
            std::lock_guard<std::mutex> guard(lock_);
            streaming_ = request == VIDIOC_STREAMON;
            if (streaming_) {
                display_.videoOutput = hdmi_ ? 1 : 0;
            } else {
                done_.clear();
                shown_ = -1;
                std::fill(queued_.begin(), queued_.end(), 0);
                changed_.notify_all();
            }
            return 0;
        }
        default:
            return Fail(ENOTTY);
        }
    }

    bool Readable() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        return !done_.empty();
    }

private:
    bool SizeAllowed(uint32_t width, uint32_t height) const
    {
        if (!hdmi_)
            return width == kLcdWidth && height == kLcdHeight;
        return (width == 1280 && height == 720) || (width == 640 && height == 480);
    }

    int Format(bool set, v4l2_format& fmt)
    {
        if (fmt.type != V4L2_BUF_TYPE_VIDEO_OUTPUT)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        v4l2_pix_format& pix = fmt.fmt.pix;
        if (set) {
            if (streaming_)
                return Fail(EBUSY);
            if (pix.pixelformat != V4L2_PIX_FMT_UYVY || !SizeAllowed(pix.width, pix.height))
                return Fail(EINVAL);
            width_ = static_cast<int>(pix.width);
            height_ = static_cast<int>(pix.height);
            stride_ = std::max<int>(static_cast<int>(pix.bytesperline), width_ * 2);
        }
        std::memset(&pix, 0, sizeof(pix));
        pix.width = static_cast<uint32_t>(width_);
        pix.height = static_cast<uint32_t>(height_);
        pix.pixelformat = V4L2_PIX_FMT_UYVY;
        pix.field = V4L2_FIELD_NONE;
        pix.bytesperline = static_cast<uint32_t>(stride_);
        pix.sizeimage = static_cast<uint32_t>(stride_ * height_);
        return 0;
    }

    int RequestBuffers(v4l2_requestbuffers& req)
    {
        if (req.type != V4L2_BUF_TYPE_VIDEO_OUTPUT || req.memory != V4L2_MEMORY_USERPTR)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (streaming_)
            return Fail(EBUSY);
        req.count = std::min<uint32_t>(req.count, kMaxBuffers);
        queued_.assign(req.count, 0);
        memory_.assign(req.count, nullptr);
        done_.clear();
        shown_ = -1;
        return 0;
    }

    // Shows the picture and releases the one shown before.
    int Queue(v4l2_buffer& buf)
    {
        if (buf.type != V4L2_BUF_TYPE_VIDEO_OUTPUT || buf.memory != V4L2_MEMORY_USERPTR)
            return Fail(EINVAL);
        std::lock_guard<std::mutex> guard(lock_);
        if (!streaming_ || buf.index >= queued_.size() || queued_[buf.index] || buf.m.userptr == 0 ||
            buf.length < static_cast<uint32_t>(stride_ * height_))
            return Fail(EINVAL);
        auto* picture = reinterpret_cast<const uint8_t*>(buf.m.userptr);
        size_t row = static_cast<size_t>(width_) * 2;
        for (int y = 0; y < height_; ++y)
            std::memcpy(plane_ + static_cast<size_t>(y) * row, picture + static_cast<size_t>(y) * stride_, row);
        if (hdmi_) {
            display_.hdmiVideoWidth = width_;
            display_.hdmiVideoHeight = height_;
        } else {
            display_.lcdVideoShown = 1;
        }
        display_.videoFrames.fetch_add(1);
        queued_[buf.index] = 1;
        memory_[buf.index] = reinterpret_cast<void*>(buf.m.userptr);
        if (shown_ >= 0) {
            queued_[static_cast<size_t>(shown_)] = 0;
            done_.push_back(shown_);
        }
        shown_ = static_cast<int>(buf.index);
        changed_.notify_all();
        return 0;
    }

    int Dequeue(v4l2_buffer& buf)
    {
        if (buf.type != V4L2_BUF_TYPE_VIDEO_OUTPUT)
            return Fail(EINVAL);
        std::unique_lock<std::mutex> guard(lock_);
        if (done_.empty()) {
            if (StatusFlags() & O_NONBLOCK)
                return Fail(EAGAIN);
            changed_.wait(guard, [this] { return !done_.empty() || !streaming_; });
            if (done_.empty())
                return Fail(EINVAL);
        }
        int index = done_.front();
        done_.pop_front();
        buf.index = static_cast<uint32_t>(index);
        buf.memory = V4L2_MEMORY_USERPTR;
        buf.m.userptr = reinterpret_cast<unsigned long>(memory_[static_cast<size_t>(index)]);
        buf.flags = V4L2_BUF_FLAG_DONE;
        return 0;
    }

    void Hide()
    {
        if (hdmi_) {
            display_.hdmiVideoWidth = 0;
            display_.hdmiVideoHeight = 0;
        } else {
            display_.lcdVideoShown = 0;
        }
    }

    Display& display_;
    bool hdmi_;
    uint8_t* plane_;
    size_t planeSize_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<char> queued_;
    std::vector<void*> memory_;
    std::deque<int> done_;
    int shown_ = -1;
    int width_, height_, stride_;
    bool streaming_ = false;
};

std::shared_ptr<BoardDevice> OpenVideoOutput(Board& board, bool hdmi)
{
    std::string path = board.paths().root() + (hdmi ? "/video-hdmi.plane" : "/video-lcd.plane");
    size_t size = hdmi ? static_cast<size_t>(kHdmiMaxWidth) * kHdmiMaxHeight * 2 : static_cast<size_t>(kLcdWidth) * kLcdHeight * 2;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return nullptr;
    }
    void* plane = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    int error = errno;
    close(fd);
    if (plane == MAP_FAILED) {
        errno = error;
        return nullptr;
    }
    return std::make_shared<VideoOutputDevice>(board, hdmi, static_cast<uint8_t*>(plane), size);
}

}  // namespace

std::shared_ptr<BoardDevice> OpenHdmiVideo(Board& board, int flags)
{
    return OpenVideoOutput(board, true);
}

std::shared_ptr<BoardDevice> OpenLcdVideo(Board& board, int flags)
{
    return OpenVideoOutput(board, false);
}

}  // namespace vrec::board
