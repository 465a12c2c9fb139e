#include "tests/resources/BmpFile.h"

#include <fstream>
#include <iterator>

namespace vrec::test {

namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b[at + i];
    return v;
}

}  // namespace

const uint8_t* BmpFile::Pixel(int x, int y) const
{
    size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    return &bytes[54 + rowBytes * static_cast<size_t>(height - 1 - y) + static_cast<size_t>(x) * 3];
}

uint16_t BmpFile::Rgb565(int x, int y) const
{
    return static_cast<uint16_t>((Red(x, y) * 31 / 255) << 11 | (Green(x, y) * 63 / 255) << 5 | Blue(x, y) * 31 / 255);
}

BmpFile ReadBmp(const std::string& path)
{
    BmpFile bmp;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        bmp.why = "missing";
        return bmp;
    }
    bmp.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bmp.bytes.size() < 54 || bmp.bytes[0] != 'B' || bmp.bytes[1] != 'M') {
        bmp.why = "not a BMP file";
        return bmp;
    }
    bmp.dataOffset = Le(bmp.bytes, 10, 4);
    bmp.width = static_cast<int32_t>(Le(bmp.bytes, 18, 4));
    bmp.height = static_cast<int32_t>(Le(bmp.bytes, 22, 4));
    bmp.bitsPerPixel = static_cast<int>(Le(bmp.bytes, 28, 2));
    bmp.compression = Le(bmp.bytes, 30, 4);
    size_t rowBytes = (static_cast<size_t>(bmp.width) * 3 + 3) & ~size_t(3);
    if (bmp.width <= 0 || bmp.height <= 0 || bmp.width > 65535 || bmp.height > 65535) {
        bmp.why = "bad size";
        return bmp;
    }
    if (bmp.bytes.size() < 54 + rowBytes * static_cast<size_t>(bmp.height)) {
        bmp.why = "pixel data cut short";
        return bmp;
    }
    bmp.ok = true;
    return bmp;
}

}  // namespace vrec::test
