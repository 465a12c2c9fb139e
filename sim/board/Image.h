// RGB pictures of the board's outputs and their PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::board {

struct RgbImage
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, rows top to bottom

    bool empty() const { return width == 0 || height == 0; }
};

// Writes a PNG file; false and the reason on failure.
bool WritePng(const RgbImage& image, const std::string& path, std::string* why);
// Reads a PNG file (for tests and scenario checks); empty image on failure.
RgbImage ReadPng(const std::string& path, std::string* why);

}  // namespace vrec::board
