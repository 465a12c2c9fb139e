// Reading the 24-bit BMP files of the device's working directory, as a
// check independent of the tools that write them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::test {

struct BmpFile
{
    bool ok = false;
    std::string why;
    std::vector<uint8_t> bytes;
    uint32_t dataOffset = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    uint32_t compression = 0;

    // Red, green, blue of pixel (x, y), row 0 at the top.
    const uint8_t* Pixel(int x, int y) const;  // {blue, green, red}
    uint8_t Red(int x, int y) const { return Pixel(x, y)[2]; }
    uint8_t Green(int x, int y) const { return Pixel(x, y)[1]; }
    uint8_t Blue(int x, int y) const { return Pixel(x, y)[0]; }
    // The pixel as the firmware turns it into RGB565.
    uint16_t Rgb565(int x, int y) const;
};

BmpFile ReadBmp(const std::string& path);

}  // namespace vrec::test
