// What the camera's sensor sees and reads out: the moving test scene and
// the colour bars, drawn straight into a 4:2:2 (UYVY) frame.
#pragma once

#include <cstdint>
#include <vector>

namespace vrec::board {

struct UyvyFrame
{
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// How the frame looks at the field of view: the crop window (in pixels of
// the full field, which has the frame's size), the read-out mirrors and
// the white-balance gains (1.0 neutral).
struct SensorView
{
    int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
    bool mirrorX = false;
    bool mirrorY = false;
    double redGain = 1.0;
    double blueGain = 1.0;
};

// The test scene in field coordinates (0..1 across and down):
//  - a checkerboard of 16 x 12 grey cells (the field of view can be counted),
//  - a red square near the top-left corner and a blue one near the top-right
//    (orientation and mirroring),
//  - a neutral grey patch at the bottom centre (white balance),
//  - a yellow box moving right at a fifth of the width per second,
//  - temporal luma noise, as a real sensor has, that the encoder must pay for.
void DrawTestScene(const UyvyFrame& frame, const SensorView& view, double seconds, uint32_t noiseSeed);

// The sensor's test pattern: eight 75 % colour bars.
void DrawColourBars(const UyvyFrame& frame);

// A white frame (the sync mark's flash), a black one.
void FillWhite(const UyvyFrame& frame);
void FillBlack(const UyvyFrame& frame);

// Luma and chroma of an RGB colour (BT.601, video range).
struct Yuv
{
    uint8_t y, u, v;
};
Yuv RgbToYuv(double r, double g, double b);

}  // namespace vrec::board
