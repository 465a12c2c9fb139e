// Capture over the V4L2 capture driver with the application's buffers
// (user pointers). The previewer/resizer chain behind it scales each frame
// into a preview that it stores behind the frame, read out upside down: the
// LCD panel is mounted the other way round to the camera, and the display's
// rotation (direction 1) turns it upright.
#include "media-stack/Capture.h"

#include "Lib/Sys.h"
#include "media-stack/Picture.h"
#include "media-stack/V4l2.h"
#include "media-stack/VideoDriver.h"

#include <fcntl.h>
#include <new>

const Capture_Attrs Capture_Attrs_DEFAULT = {3, ColorSpace_UYVY, VideoStd_720P_30, -1, -1, VIDEO_CAPTURE_DEVICE};

namespace {

constexpr int kPreviewWidth = 320;
constexpr int kPreviewHeight = 240;
constexpr int kWaitMs = 2000;

// The preview's first row (of 640 bytes) behind a frame.
int PreviewRow(int32_t width, int32_t height)
{
    const int32_t row = kPreviewWidth * 2;
    return static_cast<int>((static_cast<int64_t>(width) * height * 2 + row - 1) / row);
}

constexpr uint32_t kType = V4L2_BUF_TYPE_VIDEO_CAPTURE;

// Sensor presets of the white-balance settings.
const int kWhiteBalancePresets[] = {V4L2_WHITE_BALANCE_AUTO,    V4L2_WHITE_BALANCE_INCANDESCENT,
                                    V4L2_WHITE_BALANCE_FLUORESCENT, V4L2_WHITE_BALANCE_HORIZON,
                                    V4L2_WHITE_BALANCE_DAYLIGHT, V4L2_WHITE_BALANCE_CLOUDY};

}  // namespace

struct Capture_Object
{
    int fd = -1;
    BufTab_Handle hBufTab = nullptr;
    int numBufs = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool streaming = false;
    mediastack::Planes srcPlanes;
    mediastack::Planes dstPlanes;
};

int VideoStd_getResolution(int videoStd, int32_t* pWidth, int32_t* pHeight)
{
    switch (videoStd) {
    case VideoStd_720P_30:
        *pWidth = 1280;
        *pHeight = 720;
        return Dmai_EOK;
    case VideoStd_VGA:
        *pWidth = 640;
        *pHeight = 480;
        return Dmai_EOK;
    default:
        return Dmai_EINVAL;
    }
}

namespace {

int Control(Capture_Handle hCapture, uint32_t id, int value)
{
    if (!hCapture)
        return Dmai_EINVAL;
    v4l2_control control = {};
    control.id = id;
    control.value = value;
    return mediastack::Request(hCapture->fd, VIDIOC_S_CTRL, &control) < 0 ? Dmai_EFAIL : Dmai_EOK;
}

bool Start(Capture_Handle h, const Capture_Attrs& attrs)
{
    h->fd = SYS_open(attrs.captureDevice ? attrs.captureDevice : VIDEO_CAPTURE_DEVICE, O_RDWR | O_NONBLOCK);
    if (h->fd < 0 || !mediastack::SetFormat(h->fd, kType, h->width, h->height, h->width * 2) ||
        !mediastack::RequestBuffers(h->fd, kType, h->numBufs))
        return false;
    BufferGfx_Dimensions dim = {0, 0, h->width, h->height, h->width * 2};
    for (int i = 0; i < h->numBufs; ++i) {
        Buffer_Handle hBuf = BufTab_getBuf(h->hBufTab, i);
        if (BufferGfx_setDimensions(hBuf, &dim) != Dmai_EOK ||
            mediastack::QueueBuffer(h->fd, kType, h->hBufTab, i, 0) != Dmai_EOK)
            return false;
    }
    h->streaming = mediastack::Stream(h->fd, kType, true);
    return h->streaming;
}

}  // namespace

Capture_Handle Capture_create(BufTab_Handle hBufTab, const Capture_Attrs* pAttrs)
{
    const Capture_Attrs& attrs = pAttrs ? *pAttrs : Capture_Attrs_DEFAULT;
    if (!hBufTab || attrs.numBufs <= 0 || attrs.numBufs > BufTab_getNumBufs(hBufTab) || attrs.colorSpace != ColorSpace_UYVY)
        return nullptr;
    int32_t width = attrs.width, height = attrs.height;
    if ((width <= 0 || height <= 0) && VideoStd_getResolution(attrs.videoStd, &width, &height) != Dmai_EOK)
        return nullptr;
    // Room for the frame and its preview behind it.
    int64_t need = static_cast<int64_t>(PreviewRow(width, height) + kPreviewHeight) * kPreviewWidth * 2;
    if (Buffer_getSize(BufTab_getBuf(hBufTab, 0)) < need)
        return nullptr;
    auto* h = new (std::nothrow) Capture_Object;
    if (!h)
        return nullptr;
    h->hBufTab = hBufTab;
    h->numBufs = attrs.numBufs;
    h->width = width;
    h->height = height;
    if (!Start(h, attrs)) {
        Capture_delete(h);
        return nullptr;
    }
    return h;
}

int Capture_delete(Capture_Handle hCapture)
{
    if (!hCapture)
        return Dmai_EINVAL;
    if (hCapture->fd >= 0) {
        if (hCapture->streaming)
            mediastack::Stream(hCapture->fd, kType, false);
        SYS_close(hCapture->fd);
    }
    delete hCapture;
    return Dmai_EOK;
}

int Capture_waitFrame(Capture_Handle hCapture, int nMs)
{
    return hCapture && mediastack::WaitReadable(hCapture->fd, nMs) > 0 ? 1 : 0;
}

int Capture_get2(Capture_Handle hCapture, Buffer_Handle* phRaw, Buffer_Handle* phFrame, Buffer_Handle* phPreview)
{
    if (!hCapture || !phRaw)
        return Dmai_EINVAL;
    int index = -1;
    int nResult = mediastack::DequeueBuffer(hCapture->fd, kType, kWaitMs, &index);
    if (nResult != Dmai_EOK)
        return nResult;
    Buffer_Handle hRaw = BufTab_getBuf(hCapture->hBufTab, index);
    if (!hRaw)
        return Dmai_EFAIL;
    *phRaw = hRaw;
    const int32_t frameBytes = hCapture->width * hCapture->height * 2;
    mediastack::Picture frame = mediastack::PictureAt(hRaw, 0, 0, hCapture->width, hCapture->height, hCapture->width * 2);
    // The chain's preview, behind the frame.
    mediastack::Picture preview = mediastack::PictureAt(hRaw, 0, PreviewRow(hCapture->width, hCapture->height),
                                                        kPreviewWidth, kPreviewHeight, kPreviewWidth * 2);
    mediastack::Picture inner = mediastack::LetterBox(preview, frame.width, frame.height);
    mediastack::ScalePicture(frame, inner, hCapture->srcPlanes, hCapture->dstPlanes);
    mediastack::TurnPictureHalf(preview);
    Buffer_setNumBytesUsed(hRaw, frameBytes + kPreviewWidth * kPreviewHeight * 2);

    if (phFrame && *phFrame) {
        mediastack::Picture out = mediastack::PictureOf(*phFrame);
        mediastack::CopyPicture(frame, out);
        Buffer_setNumBytesUsed(*phFrame, out.width * out.height * 2);
    }
    if (phPreview && *phPreview) {
        mediastack::Picture out = mediastack::PictureOf(*phPreview);
        mediastack::CopyPicture(preview, out);
        Buffer_setNumBytesUsed(*phPreview, kPreviewWidth * kPreviewHeight * 2);
    }
    return Dmai_EOK;
}

int Capture_put(Capture_Handle hCapture, Buffer_Handle hRaw)
{
    if (!hCapture || !hRaw)
        return Dmai_EINVAL;
    int index = mediastack::IndexInTable(hCapture->hBufTab, hCapture->numBufs, hRaw);
    if (index < 0)
        return Dmai_EINVAL;
    return mediastack::QueueBuffer(hCapture->fd, kType, hCapture->hBufTab, index, 0);
}

int Capture_setFlip(Capture_Handle hCapture, int bFlip)
{
    int r = Control(hCapture, V4L2_CID_HFLIP, bFlip ? 1 : 0);
    return r != Dmai_EOK ? r : Control(hCapture, V4L2_CID_VFLIP, bFlip ? 1 : 0);
}

int Capture_setCrop(Capture_Handle hCapture, int32_t width, int32_t height)
{
    if (!hCapture || width <= 0 || height <= 0 || width > hCapture->width || height > hCapture->height)
        return Dmai_EINVAL;
    v4l2_crop crop = {};
    crop.type = kType;
    crop.c.left = ((hCapture->width - width) / 2) & ~1;
    crop.c.top = (hCapture->height - height) / 2;
    crop.c.width = static_cast<uint32_t>(width);
    crop.c.height = static_cast<uint32_t>(height);
    return mediastack::Request(hCapture->fd, VIDIOC_S_CROP, &crop) < 0 ? Dmai_EFAIL : Dmai_EOK;
}

int Capture_setWhiteBalarance(Capture_Handle hCapture, int nWhiteBalance)
{
    const int count = static_cast<int>(sizeof(kWhiteBalancePresets) / sizeof(kWhiteBalancePresets[0]));
    if (nWhiteBalance < 0 || nWhiteBalance >= count)
        return Dmai_EINVAL;
    return Control(hCapture, V4L2_CID_AUTO_N_PRESET_WHITE_BALANCE, kWhiteBalancePresets[nWhiteBalance]);
}

int Capture_cameraInit(Capture_Handle hCapture)
{
    if (!hCapture)
        return Dmai_EINVAL;
    return mediastack::Request(hCapture->fd, VPFE_CMD_SENSOR_INIT, nullptr) < 0 ? Dmai_EFAIL : Dmai_EOK;
}

int Capture_setColrbar(Capture_Handle hCapture, int bOn)
{
    return Control(hCapture, V4L2_CID_TEST_PATTERN, bOn ? 1 : 0);
}

int Capture_getCameraReg(Capture_Handle hCapture, int nReg, unsigned long* pdwValue)
{
    if (!hCapture || !pdwValue)
        return Dmai_EINVAL;
    v4l2_dbg_register reg = {};
    reg.match.type = V4L2_CHIP_MATCH_SUBDEV;
    reg.reg = static_cast<uint64_t>(nReg);
    if (mediastack::Request(hCapture->fd, VIDIOC_DBG_G_REGISTER, &reg) < 0)
        return Dmai_EFAIL;
    *pdwValue = static_cast<unsigned long>(reg.val);
    return Dmai_EOK;
}

int Capture_setCameraReg(Capture_Handle hCapture, int nReg, unsigned long dwValue)
{
    if (!hCapture)
        return Dmai_EINVAL;
    v4l2_dbg_register reg = {};
    reg.match.type = V4L2_CHIP_MATCH_SUBDEV;
    reg.reg = static_cast<uint64_t>(nReg);
    reg.val = dwValue;
    return mediastack::Request(hCapture->fd, VIDIOC_DBG_S_REGISTER, &reg) < 0 ? Dmai_EFAIL : Dmai_EOK;
}

int32_t Capture_getWidth(Capture_Handle hCapture)
{
    return hCapture ? hCapture->width : -1;
}

int32_t Capture_getHeight(Capture_Handle hCapture)
{
    return hCapture ? hCapture->height : -1;
}
