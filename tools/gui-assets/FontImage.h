// Font images: the 128 ASCII glyphs of a TrueType face in one strip of
// equal cells, anti-aliased, as the firmware's text drawing reads them.
#pragma once

#include "tools/gui-assets/Bmp.h"
#include "tools/gui-assets/Description.h"

#include <string>

namespace vrec::tools {

// Layout of the strip (a bottom-up 24-bit BMP once written):
//  - top row: metadata; its pixel at column n * cellWidth has the advance
//    of character n in red; the very first pixel also has the cell width
//    in red and the cell height (metadata row included) in green;
//  - rows 1.. of each cell: the glyph, drawn with its pen origin at cell
//    column 4 and its baseline at glyph row entry.baseline; red 255 where
//    the glyph is solid ink, green the coverage, blue 0 on the glyph and a
//    one-pixel edge around it, 255 elsewhere.
bool RenderFont(const std::string& facePath, const FontEntry& entry, Picture& out, std::string* why);

}  // namespace vrec::tools
