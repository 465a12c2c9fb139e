// What a person sees: the OSD bank on display over the video plane, as the
// LCD panel and the HDMI sink show them.
#pragma once

#include "sim/board/HardwareState.h"
#include "sim/board/Image.h"

#include <string>

namespace vrec::board {

// The portrait LCD panel, 240 x 320: dark while the backlight is off.
RgbImage ComposeLcd(const std::string& root, const HardwareState& state);
// The HDMI picture (the video size with the 640 x 480 OSD over it); empty
// while no cable or no sink is there.
RgbImage ComposeHdmi(const std::string& root, const HardwareState& state);

}  // namespace vrec::board
