// What a person sees: the OSD bank on display over the video plane, as the
// LCD panel and the HDMI sink show them, and PNG snapshots of both.
#pragma once

#include "sim/board/HardwareState.h"

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

// The portrait LCD panel, 240 x 320: dark while the backlight is off.
RgbImage ComposeLcd(const std::string& root, const HardwareState& state);
// The HDMI picture (the video size with the 640 x 480 OSD over it); empty
// while no cable or no sink is there.
RgbImage ComposeHdmi(const std::string& root, const HardwareState& state);
bool WritePng(const RgbImage& image, const std::string& path, std::string* why);

}  // namespace vrec::board
