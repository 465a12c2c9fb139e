// Display over the V4L2 output driver with the application's buffers (user
// pointers): buffers never queued are handed out first, then those the
// driver gives back once a newer picture is on screen.
#include "media-stack/Display.h"

#include "Lib/Sys.h"
#include "media-stack/V4l2.h"
#include "media-stack/VideoDriver.h"

#include <deque>
#include <fcntl.h>
#include <mutex>
#include <new>

const Display_Attrs Display_Attrs_DEFAULT = {3, ColorSpace_UYVY, 240, 320, 480, VIDEO_LCD_DEVICE};

namespace {

constexpr int kWaitMs = 1000;
constexpr uint32_t kType = V4L2_BUF_TYPE_VIDEO_OUTPUT;

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
    if (h->fd < 0 || !mediastack::SetFormat(h->fd, kType, h->width, h->height, h->lineLength) ||
        !mediastack::RequestBuffers(h->fd, kType, h->numBufs) || !mediastack::Stream(h->fd, kType, true))
        return false;
    h->streaming = true;
    for (int i = 0; i < h->numBufs; ++i)
        h->fresh.push_back(i);
    return true;
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
        if (hDisplay->streaming)
            mediastack::Stream(hDisplay->fd, kType, false);
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
    int index = -1;
    int nResult = mediastack::DequeueBuffer(hDisplay->fd, kType, kWaitMs, &index);
    if (nResult != Dmai_EOK)
        return nResult;
    *phBuf = BufTab_getBuf(hDisplay->hBufTab, index);
    return *phBuf ? Dmai_EOK : Dmai_EFAIL;
}

int Display_put(Display_Handle hDisplay, Buffer_Handle hBuf)
{
    if (!hDisplay || !hBuf)
        return Dmai_EINVAL;
    int index = mediastack::IndexInTable(hDisplay->hBufTab, hDisplay->numBufs, hBuf);
    if (index < 0)
        return Dmai_EINVAL;
    return mediastack::QueueBuffer(hDisplay->fd, kType, hDisplay->hBufTab, index,
                                   static_cast<uint32_t>(hDisplay->lineLength * hDisplay->height));
}
