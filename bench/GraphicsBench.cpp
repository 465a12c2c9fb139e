// Drawing a full 320 x 240 frame: fills, colour-keyed blits and
// anti-aliased text, on the LCD layout (90 degrees, 240 x 320 memory) and
// the HDMI layout (0 degrees, 640 x 480 memory), against memset and memcpy
// of the frame's 153600 bytes.
#include "Middleware/GUI/Graphics.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr size_t kFrameBytes = 320 * 240 * 2;

// A frame-buffer bank for a layout, installed as the draw target.
class Bank
{
public:
    explicit Bank(bool lcd) : memory_(lcd ? 240 * 320 : 640 * 480, 0)
    {
        static bool initialised = GRA_Init() == 1;
        benchmark::DoNotOptimize(initialised);
        g_pDrawTarget = reinterpret_cast<unsigned char*>(memory_.data());
        GRA_SetRotate(lcd ? 90 : 0, lcd ? 480 : 1280);
    }
    ~Bank() { g_pDrawTarget = nullptr; }

    const uint16_t* data() const { return memory_.data(); }

private:
    std::vector<uint16_t> memory_;
};

void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A 24-bit BMP image of width x height whose pixels come from pixel(x, y).
template <typename Pixel>
std::vector<uint8_t> Bmp(int width, int height, Pixel pixel)
{
    size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(54 + stride * height, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put16(bytes, 10, 54);
    Put16(bytes, 14, 40);
    Put16(bytes, 18, static_cast<uint32_t>(width));
    Put16(bytes, 22, static_cast<uint32_t>(height));
    Put16(bytes, 28, 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + 54 + stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t bgr = pixel(x, y);
            row[3 * x] = static_cast<uint8_t>(bgr);
            row[3 * x + 1] = static_cast<uint8_t>(bgr >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(bgr >> 16);
        }
    }
    return bytes;
}

// A 320 x 240 picture with a quarter of its pixels transparent.
BITMAP* KeyedPicture()
{
    std::mt19937 random(7);
    std::vector<uint8_t> file = Bmp(320, 240, [&random](int, int) -> uint32_t {
        return random() % 4 == 0 ? 0xFF00FF : (random() & 0xFFFFFF);
    });
    return GRA_BuildBitmap(file.data());
}

// A 24-pixel font: cells 16 wide, advance 11; each glyph has two stems
// and a bar with anti-aliased edges, as real glyphs have.
std::vector<uint8_t> TextFont()
{
    constexpr int kCell = 16, kHeight = 25;
    return Bmp(128 * kCell, kHeight, [](int x, int y) -> uint32_t {
        if (y == 0)
            return x == 0 ? (kCell << 16) | (kHeight << 8) : (x % kCell == 0 ? 11u << 16 : 0);
        int column = x % kCell;
        int code = x / kCell;
        bool stem = y >= 5 && y <= 20 && (column == 2 || column == 3 || column == 8 || column == 9);
        bool bar = (y == 5 + code % 12) && column >= 2 && column <= 9;
        bool edge = y >= 5 && y <= 20 && (column == 1 || column == 4 || column == 7 || column == 10);
        if (stem || bar)
            return 0xFFFF00;  // ink, full coverage, part of the edged glyph
        if (edge)
            return 0x008000;  // half coverage
        return 0x000001;      // no coverage, outside the edged glyph
    });
}

// Ten lines of 29 characters cover the 320 x 240 frame.
const char* const kLines[10] = {
    "Recording 00:12:34 48kHz 24b", "MY_FOLDER/REC_0001.WAV  2.1G", "Play  1.25x  A-B loop  Rpt 1",
    "Input level  -12 dB  Lowcut", "Pre-record 5 s  Auto record", "Menu  Setup  Date/Time  Info",
    "Divide  Delete  After Rec", "Battery  HOLD  SD card 32GB", "HDMI 1280x720  LCD 240x320",
    "F1 Yes   F2 Cancel   F3 No",
};

// A benchmark on the LCD and on the HDMI layout.
#define BENCHMARK_LAYOUTS(function, label)                    \
    BENCHMARK_CAPTURE(function, lcd, true)->Name(label "/lcd"); \
    BENCHMARK_CAPTURE(function, hdmi, false)->Name(label "/hdmi")

void SetFrameBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}

// Draws frames on a layout with draw() until the benchmark has its time.
template <typename Draw>
void DrawFrames(benchmark::State& state, bool lcd, Draw draw)
{
    Bank bank(lcd);
    for (auto _ : state) {
        draw();
        benchmark::ClobberMemory();
    }
    SetFrameBytes(state);
}

// ---- peers ----------------------------------------------------------------

void Peer_memset(benchmark::State& state)
{
    std::vector<uint8_t> frame(kFrameBytes);
    for (auto _ : state) {
        std::memset(frame.data(), 0x1F, frame.size());
        benchmark::ClobberMemory();
    }
    SetFrameBytes(state);
}
BENCHMARK(Peer_memset)->Name("Fill:peer");

void Peer_memcpy(benchmark::State& state)
{
    std::vector<uint8_t> from(kFrameBytes, 0x55), to(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::ClobberMemory();
    }
    SetFrameBytes(state);
}
BENCHMARK(Peer_memcpy)->Name("Blit:peer");
BENCHMARK(Peer_memcpy)->Name("Text:peer");

// ---- fills ----------------------------------------------------------------

void Fill_FillRect(benchmark::State& state, bool lcd)
{
    DrawFrames(state, lcd, [] { GRA_FillRect(0, 0, 320, 240, 0xF81F); });
}
BENCHMARK_LAYOUTS(Fill_FillRect, "Fill:GRA_FillRect");

void Fill_FillRectNormal(benchmark::State& state, bool lcd)
{
    DrawFrames(state, lcd, [] { GRA_FillRectNormal(0, 0, 320, 240, 0xF81F); });
}
BENCHMARK_LAYOUTS(Fill_FillRectNormal, "Fill:GRA_FillRectNormal");

// ---- blits ----------------------------------------------------------------

void Blit_BitBlt(benchmark::State& state, bool lcd)
{
    BITMAP* picture = KeyedPicture();
    DrawFrames(state, lcd, [picture] { GRA_BitBlt(0, 0, picture); });
    GRA_FreeBitmap(picture);
}
BENCHMARK_LAYOUTS(Blit_BitBlt, "Blit:GRA_BitBlt");

void Blit_BitBltT(benchmark::State& state, bool lcd)
{
    BITMAP* picture = KeyedPicture();
    DrawFrames(state, lcd, [picture] { GRA_BitBltT(0, 0, picture); });
    GRA_FreeBitmap(picture);
}
BENCHMARK_LAYOUTS(Blit_BitBltT, "Blit:GRA_BitBltT");

void Blit_StretchBltT(benchmark::State& state, bool lcd)
{
    BITMAP* picture = KeyedPicture();
    DrawFrames(state, lcd, [picture] { GRA_StretchBltT(0, 0, 320, 240, picture, 40, 30, 240, 180); });
    GRA_FreeBitmap(picture);
}
BENCHMARK_LAYOUTS(Blit_StretchBltT, "Blit:GRA_StretchBltT");

// ---- text -----------------------------------------------------------------

void Text_DrawStringS(benchmark::State& state, bool lcd)
{
    std::vector<uint8_t> font = TextFont();
    DrawFrames(state, lcd, [&font] {
        for (int line = 0; line < 10; ++line)
            GRA_DrawStringS(4, 4 + 24 * line, kLines[line], 0xFFFF, font.data(), 0);
    });
}
BENCHMARK_LAYOUTS(Text_DrawStringS, "Text:GRA_DrawStringS");

void Text_DrawStringF(benchmark::State& state, bool lcd)
{
    std::vector<uint8_t> font = TextFont();
    DrawFrames(state, lcd, [&font] {
        for (int line = 0; line < 10; ++line)
            GRA_DrawStringF(4, 4 + 24 * line, kLines[line], 0xFFFF, 0x0000, font.data(), 0);
    });
}
BENCHMARK_LAYOUTS(Text_DrawStringF, "Text:GRA_DrawStringF");

}  // namespace
