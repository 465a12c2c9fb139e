#include "sim/board/camera/Scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vrec::board {

namespace {

constexpr int kCheckerColumns = 16;
constexpr int kCheckerRows = 12;
constexpr int kNoiseAmplitude = 6;
constexpr int kNoiseTableSize = 1 << 16;

uint8_t Clamp(double v)
{
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Fills [x0, x1) x [y0, y1) of the frame, x rounded to whole pixel pairs.
void FillRect(const UyvyFrame& frame, int x0, int y0, int x1, int y1, Yuv c)
{
    x0 = std::max(0, x0) & ~1;
    x1 = (std::min(frame.width, x1) + 1) & ~1;
    y0 = std::max(0, y0);
    y1 = std::min(frame.height, y1);
    if (x0 >= x1 || y0 >= y1)
        return;
    uint8_t pair[4] = {c.u, c.y, c.v, c.y};
    uint8_t* first = frame.data + static_cast<size_t>(y0) * frame.stride + 2 * x0;
    for (int x = 0; x < x1 - x0; x += 2)
        std::memcpy(first + 2 * x, pair, 4);
    for (int y = y0 + 1; y < y1; ++y)
        std::memcpy(frame.data + static_cast<size_t>(y) * frame.stride + 2 * x0, first, static_cast<size_t>(2 * (x1 - x0)));
}

// Maps field rectangles (0..1) through the crop window and the mirrors.
class FieldMapper
{
public:
    FieldMapper(const UyvyFrame& frame, const SensorView& view) : frame_(frame), view_(view)
    {
        if (view_.cropWidth <= 0 || view_.cropHeight <= 0) {
            view_.cropX = view_.cropY = 0;
            view_.cropWidth = frame.width;
            view_.cropHeight = frame.height;
        }
    }

    void Fill(double u0, double v0, double u1, double v1, Yuv c) const
    {
        int x0 = X(u0), x1 = X(u1), y0 = Y(v0), y1 = Y(v1);
        if (view_.mirrorX) {
            std::swap(x0, x1);
            x0 = frame_.width - x0;
            x1 = frame_.width - x1;
        }
        if (view_.mirrorY) {
            std::swap(y0, y1);
            y0 = frame_.height - y0;
            y1 = frame_.height - y1;
        }
        FillRect(frame_, x0, y0, x1, y1, c);
    }

    Yuv Colour(double r, double g, double b) const
    {
        return RgbToYuv(r * view_.redGain, g, b * view_.blueGain);
    }

private:
    // Field pixels (the field has the frame's size) to frame pixels.
    int X(double u) const
    {
        double field = u * frame_.width;
        return static_cast<int>(std::lround((field - view_.cropX) * frame_.width / view_.cropWidth));
    }
    int Y(double v) const
    {
        double field = v * frame_.height;
        return static_cast<int>(std::lround((field - view_.cropY) * frame_.height / view_.cropHeight));
    }

    const UyvyFrame& frame_;
    SensorView view_;
};

const std::vector<int8_t>& NoiseTable()
{
    static const std::vector<int8_t> table = [] {
        std::vector<int8_t> t(kNoiseTableSize + 4096);
        uint32_t s = 0x2545F491u;
        for (int8_t& v : t) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            v = static_cast<int8_t>(static_cast<int>(s % (2 * kNoiseAmplitude + 1)) - kNoiseAmplitude);
        }
        return t;
    }();
    return table;
}

// Luma noise that changes every frame: each row adds a stretch of the table
// from a position the seed chooses.
void AddNoise(const UyvyFrame& frame, uint32_t seed)
{
    const std::vector<int8_t>& table = NoiseTable();
    uint32_t s = seed * 2654435761u + 1;
    for (int y = 0; y < frame.height; ++y) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        const int8_t* noise = table.data() + (s % (kNoiseTableSize - static_cast<uint32_t>(frame.width)));
        uint8_t* luma = frame.data + static_cast<size_t>(y) * frame.stride + 1;
        for (int x = 0; x < frame.width; ++x) {
            int v = luma[2 * x] + noise[x];
            luma[2 * x] = static_cast<uint8_t>(v < 16 ? 16 : v > 235 ? 235 : v);
        }
    }
}

}  // namespace

Yuv RgbToYuv(double r, double g, double b)
{
    r = std::clamp(r, 0.0, 255.0);
    g = std::clamp(g, 0.0, 255.0);
    b = std::clamp(b, 0.0, 255.0);
    double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
    double u = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
    double v = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
    return {Clamp(y), Clamp(u), Clamp(v)};
}

void DrawTestScene(const UyvyFrame& frame, const SensorView& view, double seconds, uint32_t noiseSeed)
{
    FieldMapper map(frame, view);
    const Yuv light = map.Colour(150, 150, 150);
    const Yuv dark = map.Colour(95, 95, 95);
    for (int row = 0; row < kCheckerRows; ++row)
        for (int column = 0; column < kCheckerColumns; ++column)
            map.Fill(static_cast<double>(column) / kCheckerColumns, static_cast<double>(row) / kCheckerRows,
                     static_cast<double>(column + 1) / kCheckerColumns, static_cast<double>(row + 1) / kCheckerRows,
                     ((row + column) & 1) ? dark : light);
    // Orientation: red at the top left, blue at the top right (below the
    // stamp's rows), each two cells wide.
    map.Fill(1.0 / 16, 3.0 / 12, 3.0 / 16, 5.0 / 12, map.Colour(220, 30, 30));
    map.Fill(13.0 / 16, 3.0 / 12, 15.0 / 16, 5.0 / 12, map.Colour(30, 30, 220));
    // White balance: a neutral grey patch.
    map.Fill(7.0 / 16, 9.0 / 12, 9.0 / 16, 11.0 / 12, map.Colour(128, 128, 128));
    // Motion: a box crossing the field every five seconds.
    double u = std::fmod(seconds * 0.2, 1.0);
    map.Fill(u, 6.0 / 12, u + 1.0 / 16, 7.0 / 12, map.Colour(230, 220, 40));
    AddNoise(frame, noiseSeed);
}

void DrawColourBars(const UyvyFrame& frame)
{
    static const double kBars[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                       {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
    for (int i = 0; i < 8; ++i)
        FillRect(frame, frame.width * i / 8, 0, frame.width * (i + 1) / 8, frame.height,
                 RgbToYuv(kBars[i][0], kBars[i][1], kBars[i][2]));
}

void FillWhite(const UyvyFrame& frame)
{
    FillRect(frame, 0, 0, frame.width, frame.height, {235, 128, 128});
}

void FillBlack(const UyvyFrame& frame)
{
    FillRect(frame, 0, 0, frame.width, frame.height, {16, 128, 128});
}

}  // namespace vrec::board
