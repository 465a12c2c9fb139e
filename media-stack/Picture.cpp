#include "media-stack/Picture.h"

#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>
#include <libyuv/scale.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace mediastack {

Picture PictureAt(Buffer_Handle hBuf, int x, int y, int width, int height, int stride)
{
    Picture pic;
    if (!hBuf || x < 0 || y < 0 || width <= 0 || height <= 0 || stride < width * 2)
        return pic;
    int64_t end = static_cast<int64_t>(y + height - 1) * stride + static_cast<int64_t>(x + width) * 2;
    if (end > Buffer_getSize(hBuf))
        return pic;
    pic.data = reinterpret_cast<uint8_t*>(Buffer_getUserPtr(hBuf)) + static_cast<size_t>(y) * stride + x * 2;
    pic.width = width;
    pic.height = height;
    pic.stride = stride;
    return pic;
}

Picture PictureOf(Buffer_Handle hBuf)
{
    BufferGfx_Dimensions dim;
    if (BufferGfx_getColorSpace(hBuf) != ColorSpace_UYVY || BufferGfx_getDimensions(hBuf, &dim) != Dmai_EOK)
        return {};
    return PictureAt(hBuf, dim.x, dim.y, dim.width, dim.height, dim.lineLength);
}

void Planes::Reserve(int width, int height, int chromaRows)
{
    int yStride = (width + 31) & ~31;
    int uvStride = (((width + 1) / 2) + 31) & ~31;
    size_t ySize = static_cast<size_t>(yStride) * height;
    size_t uvSize = static_cast<size_t>(uvStride) * chromaRows;
    if (y_.size() < ySize)
        y_.resize(ySize);
    if (u_.size() < uvSize) {
        u_.resize(uvSize);
        v_.resize(uvSize);
    }
    yStride_ = yStride;
    uvStride_ = uvStride;
}

void FillPicture(const Picture& pic, uint8_t y, uint8_t u, uint8_t v)
{
    if (!pic.valid())
        return;
    uint8_t pair[4] = {u, y, v, y};
    uint32_t word;
    std::memcpy(&word, pair, 4);
    for (int row = 0; row < pic.height; ++row) {
        uint8_t* p = pic.Row(row);
        for (int x = 0; x < pic.width / 2; ++x)
            std::memcpy(p + 4 * x, &word, 4);
    }
}

void CopyPicture(const Picture& src, const Picture& dst)
{
    if (!src.valid() || !dst.valid())
        return;
    int width = std::min(src.width, dst.width);
    int height = std::min(src.height, dst.height);
    libyuv::CopyPlane(src.data, src.stride, dst.data, dst.stride, width * 2, height);
}

namespace {

void ToPlanes(const Picture& pic, Planes& planes)
{
    planes.Reserve(pic.width, pic.height, pic.height);
    libyuv::UYVYToI422(pic.data, pic.stride, planes.y(), planes.yStride(), planes.u(), planes.uvStride(), planes.v(),
                       planes.uvStride(), pic.width, pic.height);
}

void FromPlanes(Planes& planes, const Picture& pic)
{
    libyuv::I422ToUYVY(planes.y(), planes.yStride(), planes.u(), planes.uvStride(), planes.v(), planes.uvStride(),
                       pic.data, pic.stride, pic.width, pic.height);
}

}  // namespace

bool ScalePicture(const Picture& src, const Picture& dst, Planes& srcPlanes, Planes& dstPlanes)
{
    if (!src.valid() || !dst.valid())
        return false;
    if (src.width == dst.width && src.height == dst.height) {
        CopyPicture(src, dst);
        return true;
    }
    ToPlanes(src, srcPlanes);
    dstPlanes.Reserve(dst.width, dst.height, dst.height);
    int r = libyuv::I422Scale(srcPlanes.y(), srcPlanes.yStride(), srcPlanes.u(), srcPlanes.uvStride(), srcPlanes.v(),
                              srcPlanes.uvStride(), src.width, src.height, dstPlanes.y(), dstPlanes.yStride(),
                              dstPlanes.u(), dstPlanes.uvStride(), dstPlanes.v(), dstPlanes.uvStride(), dst.width,
                              dst.height, libyuv::kFilterBox);
    if (r != 0)
        return false;
    FromPlanes(dstPlanes, dst);
    return true;
}

bool RotatePicture(const Picture& src, const Picture& dst, bool clockwise, Planes& srcPlanes, Planes& dstPlanes)
{
    if (!src.valid() || !dst.valid() || dst.width != src.height || dst.height != src.width)
        return false;
    ToPlanes(src, srcPlanes);
    dstPlanes.Reserve(dst.width, dst.height, dst.height);
    int r = libyuv::I422Rotate(srcPlanes.y(), srcPlanes.yStride(), srcPlanes.u(), srcPlanes.uvStride(), srcPlanes.v(),
                               srcPlanes.uvStride(), dstPlanes.y(), dstPlanes.yStride(), dstPlanes.u(),
                               dstPlanes.uvStride(), dstPlanes.v(), dstPlanes.uvStride(), src.width, src.height,
                               clockwise ? libyuv::kRotate90 : libyuv::kRotate270);
    if (r != 0)
        return false;
    FromPlanes(dstPlanes, dst);
    return true;
}

Picture LetterBox(const Picture& area, int srcWidth, int srcHeight)
{
    if (!area.valid() || srcWidth <= 0 || srcHeight <= 0)
        return area;
    Picture inner = area;
    int64_t byWidth = static_cast<int64_t>(area.width) * srcHeight;
    int64_t byHeight = static_cast<int64_t>(area.height) * srcWidth;
    if (byWidth < byHeight) {
        inner.height = static_cast<int>(byWidth / srcWidth) & ~1;
        int top = (area.height - inner.height) / 2;
        inner.data = area.Row(top);
        FillBlack({area.data, area.width, top, area.stride});
        FillBlack({inner.Row(inner.height), area.width, area.height - top - inner.height, area.stride});
    } else if (byHeight < byWidth) {
        inner.width = static_cast<int>(byHeight / srcHeight) & ~1;
        int left = ((area.width - inner.width) / 2) & ~1;
        inner.data = area.data + 2 * left;
        FillBlack({area.data, left, area.height, area.stride});
        FillBlack({inner.data + 2 * inner.width, area.width - left - inner.width, area.height, area.stride});
    }
    return inner;
}

void TurnPictureHalf(const Picture& pic)
{
    if (!pic.valid())
        return;
    // Pixel pairs (U Y0 V Y1) in reverse order, each with its two lumas swapped.
    auto turnPair = [](uint8_t* p) { std::swap(p[1], p[3]); };
    int pairs = pic.width / 2;
    for (int top = 0, bottom = pic.height - 1; top <= bottom; ++top, --bottom) {
        uint8_t* a = pic.Row(top);
        uint8_t* b = pic.Row(bottom);
        int count = top == bottom ? pairs / 2 : pairs;
        for (int i = 0; i < count; ++i) {
            uint8_t* pa = a + 4 * i;
            uint8_t* pb = b + 4 * (pairs - 1 - i);
            for (int k = 0; k < 4; ++k)
                std::swap(pa[k], pb[k]);
            turnPair(pa);
            turnPair(pb);
        }
        if (top == bottom && (pairs & 1))
            turnPair(a + 4 * (pairs / 2));
    }
}

}  // namespace mediastack
