// The bitmap loader on any file: a bitmap it returns has the header's size
// and the bottom row of the file on top, and every way of drawing it stays
// on the screen; anything shorter than its rows is refused.
#include "Middleware/GUI/Graphics.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/targets/GraphicsTarget.h"

namespace vrec::fuzz {

namespace {

int Le16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

int BmpLoaderRound(const uint8_t* data, size_t size)
{
    static const std::string path = ScratchPath(".bmp");
    if (!WriteBytes(path, data, size))
        return kViolation;
    BITMAP* bitmap = GRA_LoadBitmap(path.c_str());
    if (!bitmap)
        return kRefused;
    const int width = Le16(data + 18), height = Le16(data + 22);
    if (bitmap->nWidth != width || bitmap->nHeight != height) {
        GRA_FreeBitmap(bitmap);
        return kViolation;
    }
    int result = kAccepted;
    if (width > 0 && height > 0) {
        const size_t stride = (3 * static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
        const uint8_t* top = data + 54 + stride * (height - 1);
        const unsigned expected = ((top[2] * 31 / 255) << 11) | ((top[1] * 63 / 255) << 5) | (top[0] * 31 / 255);
        if (bitmap->aPixels[0] != expected)
            result = kViolation;
    }

    GRA_BitBlt(0, 0, bitmap);
    GRA_BitBltT(-5, -7, bitmap);
    GRA_BitBlt(300, 230, bitmap, 1, 1, width - 1, height - 1);
    GRA_BitBltT(10, 10, bitmap, width / 2, height / 2, width, height);
    GRA_StretchBlt(10, 10, 50, 40, bitmap);
    GRA_StretchBltT(-20, -20, 400, 300, bitmap);
    GRA_StretchBlt(0, 0, 320, 240, bitmap, width / 3, height / 3, width / 2, height / 2);
    GRA_StretchBltT(5, 5, 3, 2, bitmap, -1, -1, width + 2, height + 2);
    GRA_TileBlt(5, 5, 100, 60, bitmap);
    GRA_TileBlt(-3, 200, 2, 2, bitmap);
    GRA_FreeBitmap(bitmap);
    return result;
}

}  // namespace

VREC_FUZZ_TARGET({"bmp_loader", "tests/fuzz/corpus/bmp_loader", 16384, 16, SetUpDrawingSurface, BmpLoaderRound});

}  // namespace vrec::fuzz
