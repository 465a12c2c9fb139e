// 24-bit uncompressed BMP files as the firmware reads them: a 54-byte
// header, rows bottom-up, each padded to four bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::tools {

struct Rgb
{
    uint8_t r = 0, g = 0, b = 0;
};

struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // rows top to bottom

    Picture() = default;
    Picture(int w, int h, Rgb fill = {}) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    Rgb& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Rgb& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Writes the picture; false and the reason on failure.
bool WriteBmp24(const Picture& picture, const std::string& path, std::string* why);

}  // namespace vrec::tools
