// Drawing surfaces and image files made by the tests themselves, so that
// expected pixels never come from the code under test.
#pragma once

#include "Middleware/GUI/Graphics.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vrec::test {

// A frame-buffer bank with guard bytes before and after it, installed as
// the draw target with the rotation it is made for.
class Surface
{
public:
    // degrees 90 or 270: 240 x 320 memory (stride 480); 0 or 180: 640 x 480
    // memory (stride 1280) of which the GUI uses the top-left 320 x 240.
    explicit Surface(int degrees, uint16_t fill = 0);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int degrees() const { return degrees_; }
    int memoryWidth() const { return memoryWidth_; }
    int memoryHeight() const { return memoryHeight_; }

    // A pixel of the memory, by physical column and row.
    uint16_t Physical(int column, int row) const;
    // The logical pixel (x, y) through the physical layout of the rotation
    // (x right, y down on the 320 x 240 screen).
    uint16_t At(int x, int y) const;
    void Set(int x, int y, uint16_t colour);
    // Physical location of a logical pixel.
    void Locate(int x, int y, int* column, int* row) const;

    // True when nothing was written outside the bank.
    bool GuardsIntact() const;
    // True when every logical pixel equals colour.
    bool AllAre(uint16_t colour) const;
    // Logical pixels differing from colour outside [x0, x1) x [y0, y1).
    int CountOutside(int x0, int y0, int x1, int y1, uint16_t colour) const;

    const std::vector<uint16_t>& memory() const { return memory_; }

private:
    int degrees_;
    int memoryWidth_;
    int memoryHeight_;
    std::vector<uint16_t> memory_;  // guard, bank, guard
};

constexpr int kGuardPixels = 4096;
constexpr uint16_t kGuardValue = 0x5A5A;

struct Rgb24
{
    uint8_t r, g, b;
};

// A 24-bit bottom-up BMP file image; pixel(x, y) with y = 0 the top row.
// dataOffsetField is what the header claims (the pixel data is at 54).
std::vector<uint8_t> MakeBmp(int width, int height, const std::function<Rgb24(int x, int y)>& pixel,
                             uint32_t dataOffsetField = 54);

// RGB565 of 8-bit channels, truncating as the BMP conversion does.
uint16_t Rgb565(int r, int g, int b);

// A font image: cells of cellWidth for codes 0..127, cellHeight rows
// including the metadata row. advance(code) is the advance width;
// glyph(code, column, row) gives the (red, green, blue) of glyph row
// 1..cellHeight-1.
std::vector<uint8_t> MakeFont(int cellWidth, int cellHeight, const std::function<int(int code)>& advance,
                              const std::function<Rgb24(int code, int column, int row)>& glyph);

// floor((a * alpha + b * (255 - alpha)) / 255) on each channel of RGB565.
uint16_t BlendExpected(uint16_t a, uint16_t b, int alpha);

// A BITMAP filled by the test (one heap block, released with free()).
BITMAP* MakeTestBitmap(int width, int height, const std::function<uint16_t(int x, int y)>& pixel);

}  // namespace vrec::test
