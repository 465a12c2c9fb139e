#include "tests/gui/GraphicsSupport.h"

#include <cstddef>
#include <cstdlib>

namespace vrec::test {

Surface::Surface(int degrees, uint16_t fill) : degrees_(degrees)
{
    bool portrait = degrees == 90 || degrees == 270;
    memoryWidth_ = portrait ? 240 : 640;
    memoryHeight_ = portrait ? 320 : 480;
    memory_.assign(static_cast<size_t>(memoryWidth_) * memoryHeight_ + 2 * kGuardPixels, kGuardValue);
    std::fill(memory_.begin() + kGuardPixels, memory_.end() - kGuardPixels, fill);
    g_pDrawTarget = reinterpret_cast<unsigned char*>(memory_.data() + kGuardPixels);
    GRA_SetRotate(degrees, memoryWidth_ * 2);
}

Surface::~Surface()
{
    g_pDrawTarget = nullptr;
}

uint16_t Surface::Physical(int column, int row) const
{
    return memory_[kGuardPixels + static_cast<size_t>(row) * memoryWidth_ + column];
}

void Surface::Locate(int x, int y, int* column, int* row) const
{
    switch (degrees_) {
    case 0:
        *column = x;
        *row = y;
        break;
    case 90:  // logical x down the rows, y from the right
        *column = 239 - y;
        *row = x;
        break;
    case 180:
        *column = 319 - x;
        *row = 239 - y;
        break;
    default:  // 270
        *column = y;
        *row = 319 - x;
        break;
    }
}

uint16_t Surface::At(int x, int y) const
{
    int column, row;
    Locate(x, y, &column, &row);
    return Physical(column, row);
}

void Surface::Set(int x, int y, uint16_t colour)
{
    int column, row;
    Locate(x, y, &column, &row);
    memory_[kGuardPixels + static_cast<size_t>(row) * memoryWidth_ + column] = colour;
}

bool Surface::GuardsIntact() const
{
    for (int i = 0; i < kGuardPixels; ++i)
        if (memory_[i] != kGuardValue || memory_[memory_.size() - 1 - i] != kGuardValue)
            return false;
    return true;
}

bool Surface::AllAre(uint16_t colour) const
{
    return CountOutside(0, 0, 0, 0, colour) == 0;
}

int Surface::CountOutside(int x0, int y0, int x1, int y1, uint16_t colour) const
{
    int count = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (!(x >= x0 && x < x1 && y >= y0 && y < y1) && At(x, y) != colour)
                ++count;
    return count;
}

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

}  // namespace

std::vector<uint8_t> MakeBmp(int width, int height, const std::function<Rgb24(int x, int y)>& pixel,
                             uint32_t dataOffsetField)
{
    size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(54 + stride * height, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    Put32(bytes, 10, dataOffsetField);
    Put32(bytes, 14, 40);
    Put32(bytes, 18, static_cast<uint32_t>(width));
    Put32(bytes, 22, static_cast<uint32_t>(height));
    Put16(bytes, 26, 1);
    Put16(bytes, 28, 24);
    for (int y = 0; y < height; ++y) {
        // Bottom-up: the top image row is the last in the file.
        size_t row = 54 + stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            Rgb24 c = pixel(x, y);
            bytes[row + 3 * x] = c.b;
            bytes[row + 3 * x + 1] = c.g;
            bytes[row + 3 * x + 2] = c.r;
        }
    }
    return bytes;
}

uint16_t Rgb565(int r, int g, int b)
{
    return static_cast<uint16_t>(((r * 31 / 255) << 11) | ((g * 63 / 255) << 5) | (b * 31 / 255));
}

std::vector<uint8_t> MakeFont(int cellWidth, int cellHeight, const std::function<int(int code)>& advance,
                              const std::function<Rgb24(int code, int column, int row)>& glyph)
{
    return MakeBmp(128 * cellWidth, cellHeight, [&](int x, int y) -> Rgb24 {
        int code = x / cellWidth;
        int column = x % cellWidth;
        if (y == 0) {
            if (x == 0)
                return {static_cast<uint8_t>(cellWidth), static_cast<uint8_t>(cellHeight), 0};
            return {static_cast<uint8_t>(column == 0 ? advance(code) : 0), 0, 0};
        }
        return glyph(code, column, y);
    });
}

uint16_t BlendExpected(uint16_t a, uint16_t b, int alpha)
{
    auto mix = [alpha](int ca, int cb) { return (ca * alpha + cb * (255 - alpha)) / 255; };
    int r = mix(a >> 11, b >> 11);
    int g = mix((a >> 5) & 0x3F, (b >> 5) & 0x3F);
    int bl = mix(a & 0x1F, b & 0x1F);
    return static_cast<uint16_t>((r << 11) | (g << 5) | bl);
}

BITMAP* MakeTestBitmap(int width, int height, const std::function<uint16_t(int x, int y)>& pixel)
{
    size_t bytes = offsetof(BITMAP, aPixels) + static_cast<size_t>(width) * height * 2 + 2;
    auto* bitmap = static_cast<BITMAP*>(std::malloc(bytes));
    bitmap->nWidth = static_cast<uint16_t>(width);
    bitmap->nHeight = static_cast<uint16_t>(height);
    uint16_t* pixels = bitmap->aPixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[y * width + x] = pixel(x, y);
    return bitmap;
}

}  // namespace vrec::test
