// What the operator sees: the LCD as the device is held (the panel is
// mounted turned, so its portrait picture is turned back to the GUI's
// upright 320 x 240), the HDMI picture, and snapshots of both.
#pragma once

#include "sim/board/HardwareState.h"
#include "sim/board/Image.h"

#include <string>

namespace vrec::frontend {

enum class Output
{
    kLcd,
    kHdmi,
};

// The portrait panel picture turned upright: upright (x, y) shows panel
// column 239 - y of row x, as the GUI's logical pixel (x, y).
board::RgbImage UprightLcd(const board::RgbImage& panel);

// The picture of an output now; empty for HDMI without a cable or sink.
board::RgbImage Capture(const std::string& root, const board::HardwareState& state, Output output);

// Writes a snapshot; false and the reason when there is no picture or no file.
bool Snapshot(const std::string& root, const board::HardwareState& state, Output output, const std::string& path,
              std::string* why);

}  // namespace vrec::frontend
