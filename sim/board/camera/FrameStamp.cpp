#include "sim/board/camera/FrameStamp.h"

#include <cstring>

namespace vrec::board {

namespace {

constexpr int kCells = 40;
constexpr int kValueBits = 32;
constexpr int kCheckBits = 6;
constexpr uint8_t kWhite = 235;
constexpr uint8_t kBlack = 16;

// A row: white, black (where it starts), 32 value bits from the top, 6
// check bits (the sum of the value's bytes).
void RowCells(uint32_t value, bool cells[kCells])
{
    cells[0] = true;
    cells[1] = false;
    for (int i = 0; i < kValueBits; ++i)
        cells[2 + i] = (value >> (kValueBits - 1 - i)) & 1u;
    uint32_t check = ((value >> 24) + (value >> 16 & 0xFF) + (value >> 8 & 0xFF) + (value & 0xFF)) & 0x3F;
    for (int i = 0; i < kCheckBits; ++i)
        cells[2 + kValueBits + i] = (check >> (kCheckBits - 1 - i)) & 1u;
}

void DrawRow(uint8_t* uyvy, int stride, int top, int cell, uint32_t value)
{
    bool cells[kCells];
    RowCells(value, cells);
    for (int y = top; y < top + cell; ++y) {
        uint8_t* row = uyvy + static_cast<size_t>(y) * stride;
        for (int c = 0; c < kCells; ++c) {
            uint8_t luma = cells[c] ? kWhite : kBlack;
            uint8_t pair[4] = {128, luma, 128, luma};
            for (int x = c * cell; x < (c + 1) * cell; x += 2)
                std::memcpy(row + 2 * x, pair, 4);
        }
    }
}

bool ReadRow(const uint8_t* luma, int stride, int step, int top, int cell, uint32_t* value)
{
    bool cells[kCells];
    int inset = cell / 4;
    for (int c = 0; c < kCells; ++c) {
        int sum = 0;
        int count = 0;
        for (int y = top + inset; y < top + cell - inset; ++y)
            for (int x = c * cell + inset; x < (c + 1) * cell - inset; ++x) {
                sum += luma[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * step];
                ++count;
            }
        cells[c] = count > 0 && sum / count > (kWhite + kBlack) / 2;
    }
    uint32_t v = 0;
    for (int i = 0; i < kValueBits; ++i)
        v = (v << 1) | (cells[2 + i] ? 1u : 0u);
    bool expected[kCells];
    RowCells(v, expected);
    if (std::memcmp(cells, expected, sizeof(cells)) != 0)
        return false;
    *value = v;
    return true;
}

}  // namespace

int StampCellSize(int width)
{
    return (width / kCells) & ~1;
}

void DrawFrameStamp(uint8_t* uyvy, int width, int height, int stride, const FrameStamp& stamp)
{
    int cell = StampCellSize(width);
    if (cell < 2 || height < 2 * cell)
        return;
    DrawRow(uyvy, stride, 0, cell, stamp.frame);
    DrawRow(uyvy, stride, cell, cell, stamp.timeMs);
}

bool ReadFrameStamp(const uint8_t* luma, int width, int height, int stride, int step, FrameStamp* out)
{
    int cell = StampCellSize(width);
    if (cell < 4 || height < 2 * cell)
        return false;
    FrameStamp stamp;
    if (!ReadRow(luma, stride, step, 0, cell, &stamp.frame) || !ReadRow(luma, stride, step, cell, cell, &stamp.timeMs))
        return false;
    *out = stamp;
    return true;
}

}  // namespace vrec::board
