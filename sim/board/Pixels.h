// Pixel conversions of the board's outputs: RGB565 OSD pixels and 4:2:2
// (UYVY) video pixels to 8-bit RGB.
#pragma once

#include <cstdint>

namespace vrec::board {

struct Rgb
{
    uint8_t r, g, b;
};

// Expands the channels by repeating their top bits (0x1F -> 0xFF).
inline Rgb Rgb565ToRgb(uint16_t pixel)
{
    unsigned r = (pixel >> 11) & 0x1F;
    unsigned g = (pixel >> 5) & 0x3F;
    unsigned b = pixel & 0x1F;
    return {static_cast<uint8_t>((r << 3) | (r >> 2)), static_cast<uint8_t>((g << 2) | (g >> 4)),
            static_cast<uint8_t>((b << 3) | (b >> 2))};
}

inline uint8_t ClampByte(int value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// ITU-R BT.601, video range (Y 16..235, Cb/Cr 16..240).
inline Rgb YuvToRgb(uint8_t y, uint8_t u, uint8_t v)
{
    int c = 298 * (static_cast<int>(y) - 16);
    int d = static_cast<int>(u) - 128;
    int e = static_cast<int>(v) - 128;
    return {ClampByte((c + 409 * e + 128) >> 8), ClampByte((c - 100 * d - 208 * e + 128) >> 8),
            ClampByte((c + 516 * d + 128) >> 8)};
}

// Pixel x of a UYVY row (U0 Y0 V0 Y1 for each pair of pixels).
inline Rgb UyvyPixel(const uint8_t* row, int x)
{
    const uint8_t* pair = row + (x & ~1) * 2;
    return YuvToRgb(pair[(x & 1) ? 3 : 1], pair[0], pair[2]);
}

}  // namespace vrec::board
