// Pictures inside the framework's buffers: 4:2:2 interleaved (UYVY)
// regions, and their conversions, scaling and quarter turns over libyuv.
#pragma once

#include "media-stack/Dmai.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mediastack {

// A UYVY region: width and height in pixels (width even), stride in bytes.
struct Picture
{
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    bool valid() const { return data && width > 0 && height > 0 && (width & 1) == 0 && stride >= width * 2; }
    uint8_t* Row(int y) const { return data + static_cast<size_t>(y) * stride; }
};

// The region a picture buffer's dimensions describe; invalid when the
// buffer is no UYVY picture or its dimensions leave its memory.
Picture PictureOf(Buffer_Handle hBuf);
// The same with other dimensions (for example the whole memory as width x height).
Picture PictureAt(Buffer_Handle hBuf, int x, int y, int width, int height, int stride);

// Three planes of a 4:2:2 or 4:2:0 picture, kept between frames so that
// nothing is allocated per frame once the largest size has been seen.
class Planes
{
public:
    // Makes room for width x height; chromaRows is height (4:2:2) or
    // (height + 1) / 2 (4:2:0).
    void Reserve(int width, int height, int chromaRows);
    uint8_t* y() { return y_.data(); }
    uint8_t* u() { return u_.data(); }
    uint8_t* v() { return v_.data(); }
    int yStride() const { return yStride_; }
    int uvStride() const { return uvStride_; }

private:
    std::vector<uint8_t> y_, u_, v_;
    int yStride_ = 0;
    int uvStride_ = 0;
};

// Fills a picture with one colour.
void FillPicture(const Picture& pic, uint8_t y, uint8_t u, uint8_t v);
inline void FillBlack(const Picture& pic) { FillPicture(pic, 16, 128, 128); }

// Copies the common size of two pictures.
void CopyPicture(const Picture& src, const Picture& dst);

// Scales src to dst's size (box filter); same sizes are copied. Returns
// false when either picture is invalid.
bool ScalePicture(const Picture& src, const Picture& dst, Planes& srcPlanes, Planes& dstPlanes);

// Turns a picture a quarter: clockwise (dst is src's height x width) or
// counter-clockwise.
bool RotatePicture(const Picture& src, const Picture& dst, bool clockwise, Planes& srcPlanes, Planes& dstPlanes);

// The largest part of area, centred, with the shape of a srcWidth x
// srcHeight picture; the bars beside it are filled black.
Picture LetterBox(const Picture& area, int srcWidth, int srcHeight);

// Half turn in place (a sensor read out mirrored both ways).
void TurnPictureHalf(const Picture& pic);

}  // namespace mediastack
