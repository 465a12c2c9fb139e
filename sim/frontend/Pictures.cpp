#include "sim/frontend/Pictures.h"

#include "sim/board/Compositor.h"

namespace vrec::frontend {

board::RgbImage UprightLcd(const board::RgbImage& panel)
{
    board::RgbImage upright;
    if (panel.empty())
        return upright;
    upright.width = panel.height;
    upright.height = panel.width;
    upright.rgb.resize(panel.rgb.size());
    for (int y = 0; y < upright.height; ++y)
        for (int x = 0; x < upright.width; ++x) {
            const uint8_t* from = &panel.rgb[(static_cast<size_t>(x) * panel.width + (panel.width - 1 - y)) * 3];
            uint8_t* to = &upright.rgb[(static_cast<size_t>(y) * upright.width + x) * 3];
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    return upright;
}

board::RgbImage Capture(const std::string& root, const board::HardwareState& state, Output output)
{
    if (output == Output::kLcd)
        return UprightLcd(board::ComposeLcd(root, state));
    return board::ComposeHdmi(root, state);
}

bool Snapshot(const std::string& root, const board::HardwareState& state, Output output, const std::string& path,
              std::string* why)
{
    board::RgbImage picture = Capture(root, state, output);
    if (picture.empty()) {
        *why = "no HDMI picture (no cable, or no display on it)";
        return false;
    }
    return board::WritePng(picture, path, why);
}

}  // namespace vrec::frontend
