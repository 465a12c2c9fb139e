// The frame-buffer devices arrive with the drawing issue; until then both
// outputs are black.
#include "sim/board/Compositor.h"

namespace vrec::board {

RgbImage ComposeLcd(const std::string& root, const HardwareState& state)
{
    RgbImage image;
    image.width = 240;
    image.height = 320;
    image.rgb.assign(static_cast<size_t>(image.width) * image.height * 3, 0);
    return image;
}

RgbImage ComposeHdmi(const std::string& root, const HardwareState& state)
{
    return {};
}

}  // namespace vrec::board
