// Display over the V4L2 output driver with the application's buffers (user
// pointers): buffers never queued are handed out first, then those the
// driver gives back once a newer picture is on screen.
#include "media-stack/Display.h"

#include "Lib/Sys.h"
#include "media-stack/VideoDriver.h"

#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/select.h>

const Display_Attrs Display_Attrs_DEFAULT = {3, ColorSpace_UYVY, 240, 320, 480, VIDEO_LCD_DEVICE};

namespace {

constexpr int kWaitMs = 1000;

int Request(int fd, unsigned long request, void* arg)
{
    int r;
    do {
        r = SYS_ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

}  // namespace

struct Display_Object
{
    int fd = -1;
    BufTab_Handle hBufTab = nullptr;
    int numBufs = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t lineLength = 0;
    bool streaming = false;
    std::mutex lock;        // the decoder and the capture thread both show pictures
    std::deque<int> fresh;  // never queued yet
};

namespace {

bool Start(Display_Handle h, const char* device)
{
    h->fd = SYS_open(device, O_RDWR | O_NONBLOCK);
    if (h->fd < 0)
        return false;
    v4l2_format fmt = {};
    fmt.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    fmt.fmt.pix.width = static_cast<uint32_t>(h->width);
    fmt.fmt.pix.height = static_cast<uint32_t>(h->height);
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_UYVY;
    fmt.fmt.pix.bytesperline = static_cast<uint32_t>(h->lineLength);
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    if (Request(h->fd, VIDIOC_S_FMT, &fmt) < 0)
        return false;
    v4l2_requestbuffers req = {};
    req.count = static_cast<uint32_t>(h->numBufs);
    req.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    req.memory = V4L2_MEMORY_USERPTR;
    if (Request(h->fd, VIDIOC_REQBUFS, &req) < 0 || req.count != static_cast<uint32_t>(h->numBufs))
        return false;
    int type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    if (Request(h->fd, VIDIOC_STREAMON, &type) < 0)
        return false;
    h->streaming = true;
    for (int i = 0; i < h->numBufs; ++i)
        h->fresh.push_back(i);
    return true;
}

int IndexOf(Display_Handle h, Buffer_Handle hBuf)
{
    for (int i = 0; i < h->numBufs; ++i)
        if (BufTab_getBuf(h->hBufTab, i) == hBuf)
            return i;
    return -1;
}

}  // namespace

Display_Handle Display_create(BufTab_Handle hBufTab, const Display_Attrs* pAttrs)
{
    const Display_Attrs& attrs = pAttrs ? *pAttrs : Display_Attrs_DEFAULT;
    if (!hBufTab || attrs.numBufs <= 0 || attrs.numBufs > BufTab_getNumBufs(hBufTab) ||
        attrs.colorSpace != ColorSpace_UYVY || attrs.width <= 0 || attrs.height <= 0 ||
        attrs.lineLength < attrs.width * 2 ||
        Buffer_getSize(BufTab_getBuf(hBufTab, 0)) < attrs.lineLength * attrs.height)
        return nullptr;
    auto* h = new (std::nothrow) Display_Object;
    if (!h)
        return nullptr;
    h->hBufTab = hBufTab;
    h->numBufs = attrs.numBufs;
    h->width = attrs.width;
    h->height = attrs.height;
    h->lineLength = attrs.lineLength;
    if (!Start(h, attrs.displayDevice ? attrs.displayDevice : VIDEO_LCD_DEVICE)) {
        Display_delete(h);
        return nullptr;
    }
    return h;
}

int Display_delete(Display_Handle hDisplay)
{
    if (!hDisplay)
        return Dmai_EINVAL;
    if (hDisplay->fd >= 0) {
        if (hDisplay->streaming) {
            int type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
            Request(hDisplay->fd, VIDIOC_STREAMOFF, &type);
        }
        SYS_close(hDisplay->fd);
    }
    delete hDisplay;
    return Dmai_EOK;
}

int Display_get(Display_Handle hDisplay, Buffer_Handle* phBuf)
{
    if (!hDisplay || !phBuf)
        return Dmai_EINVAL;
    {
        std::lock_guard<std::mutex> guard(hDisplay->lock);
        if (!hDisplay->fresh.empty()) {
            *phBuf = BufTab_getBuf(hDisplay->hBufTab, hDisplay->fresh.front());
            hDisplay->fresh.pop_front();
            return Dmai_EOK;
        }
    }
    v4l2_buffer buf = {};
    buf.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    buf.memory = V4L2_MEMORY_USERPTR;
    while (Request(hDisplay->fd, VIDIOC_DQBUF, &buf) < 0) {
        if (errno != EAGAIN)
            return Dmai_EFAIL;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(hDisplay->fd, &ready);
        struct timeval timeout = {kWaitMs / 1000, (kWaitMs % 1000) * 1000};
        int n = SYS_select(hDisplay->fd + 1, &ready, nullptr, nullptr, &timeout);
        if (n == 0)
            return Dmai_ETIMEOUT;
        if (n < 0 && errno != EINTR)
            return Dmai_EFAIL;
    }
    *phBuf = BufTab_getBuf(hDisplay->hBufTab, static_cast<int>(buf.index));
    return *phBuf ? Dmai_EOK : Dmai_EFAIL;
}

int Display_put(Display_Handle hDisplay, Buffer_Handle hBuf)
{
    if (!hDisplay || !hBuf)
        return Dmai_EINVAL;
    int index = IndexOf(hDisplay, hBuf);
    if (index < 0)
        return Dmai_EINVAL;
    v4l2_buffer buf = {};
    buf.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    buf.memory = V4L2_MEMORY_USERPTR;
    buf.index = static_cast<uint32_t>(index);
    buf.m.userptr = reinterpret_cast<unsigned long>(Buffer_getUserPtr(hBuf));
    buf.length = static_cast<uint32_t>(Buffer_getSize(hBuf));
    buf.bytesused = static_cast<uint32_t>(hDisplay->lineLength * hDisplay->height);
    return Request(hDisplay->fd, VIDIOC_QBUF, &buf) < 0 ? Dmai_EFAIL : Dmai_EOK;
}
