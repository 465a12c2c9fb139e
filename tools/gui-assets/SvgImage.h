// Vector drawings rendered into the device's 24-bit pictures.
#pragma once

#include "tools/gui-assets/Bmp.h"
#include "tools/gui-assets/Description.h"

#include <string>

namespace vrec::tools {

// The colour key of the firmware's transparent blits (RGB565 0xF81F).
constexpr Rgb kColourKey{255, 0, 255};

// Renders the SVG file to entry.width x entry.height. Keyed images get the
// colour key wherever the drawing covers less than half a pixel; every
// other pixel is the drawing composed over the entry's matte colour.
bool RenderSvg(const std::string& svgPath, const ImageEntry& entry, Picture& out, std::string* why);

}  // namespace vrec::tools
