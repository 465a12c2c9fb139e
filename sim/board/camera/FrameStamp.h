// The frame number and the board time that the test scene carries in its
// top rows: two rows of large black and white cells that survive scaling
// and compression, so that a test reads them back from any decoded frame.
#pragma once

#include <cstdint>

namespace vrec::board {

struct FrameStamp
{
    uint32_t frame = 0;   // frames since the capture started
    uint32_t timeMs = 0;  // the board's clock (GetTime) at the frame's instant
};

// Cells are width / 40 pixels square; the stamp covers the top two rows.
int StampCellSize(int width);

// Draws the stamp into a UYVY picture.
void DrawFrameStamp(uint8_t* uyvy, int width, int height, int stride, const FrameStamp& stamp);

// Reads it from luma samples: luma points at the first sample, step is the
// distance between horizontal neighbours (1 for a Y plane, 2 for UYVY read
// from its first Y byte). False when no intact stamp is there.
bool ReadFrameStamp(const uint8_t* luma, int width, int height, int stride, int step, FrameStamp* out);

}  // namespace vrec::board
