// "/dev/video1" (HDMI) and "/dev/video2" (LCD): the video windows under the
// OSD, V4L2 output devices with user-pointer buffers. A queued buffer is
// shown at once: its picture goes to "<root>/video-hdmi.plane" or
// "<root>/video-lcd.plane", where the compositor finds it, and the buffer
// shown before it can be dequeued.
#include "sim/board/Board.h"
#include "sim/board/Devices.h"
#include "sim/board/devices/V4l2Device.h"

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vrec::board {

namespace {

constexpr int kLcdWidth = 240;
constexpr int kLcdHeight = 320;
constexpr int kHdmiMaxWidth = 1280;
constexpr int kHdmiMaxHeight = 720;

class VideoOutputDevice : public V4l2Device
{
public:
    VideoOutputDevice(Board& board, bool hdmi, uint8_t* plane, size_t planeSize)
        : V4l2Device(V4L2_BUF_TYPE_VIDEO_OUTPUT, "vpbe-display", hdmi ? "HDMI video" : "LCD video",
                     hdmi ? kHdmiMaxWidth : kLcdWidth, hdmi ? kHdmiMaxHeight : kLcdHeight),
          display_(board.state().display), hdmi_(hdmi), plane_(plane), planeSize_(planeSize)
    {
    }

    ~VideoOutputDevice() override
    {
        // The window goes dark when its device is given up.
        if (hdmi_) {
            display_.hdmiVideoWidth = 0;
            display_.hdmiVideoHeight = 0;
        } else {
            display_.lcdVideoShown = 0;
        }
        munmap(plane_, planeSize_);
    }

private:
    bool SizeAllowed(uint32_t width, uint32_t height) const override
    {
        if (!hdmi_)
            return width == kLcdWidth && height == kLcdHeight;
        return (width == 1280 && height == 720) || (width == 640 && height == 480);
    }

    void StartStreaming() override
    {
        display_.videoOutput = hdmi_ ? 1 : 0;
        shown_ = -1;
    }

    void StopStreaming() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        shown_ = -1;
    }

    // Shows the picture and gives the one shown before back.
    void Queued(int index) override
    {
        const uint8_t* picture = slots_[static_cast<size_t>(index)].memory;
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
        if (shown_ >= 0)
            Release(shown_);
        shown_ = index;
    }

    Display& display_;
    bool hdmi_;
    uint8_t* plane_;
    size_t planeSize_;
    int shown_ = -1;
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
