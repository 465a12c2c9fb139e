// The list of GUI resources to make: which drawing or font becomes which
// file of the device's working directory, at which size.
#pragma once

#include <string>
#include <vector>

namespace vrec::tools {

struct ImageEntry
{
    std::string output;   // "img/battery_0.bmp"
    std::string source;   // SVG file below the drawings folder
    int width = 0;
    int height = 0;
    bool keyed = false;   // clear areas become the colour key
    unsigned matte = 0;   // 0xRRGGBB behind the drawing (edges of keyed images, or the whole background)
};

struct FontEntry
{
    std::string output;   // "font/Androgyne_24.bmp"
    std::string face;     // TrueType file below the fonts folder
    int pixelSize = 0;    // em size in pixels
    int baseline = 0;     // glyph row of the baseline (row 0 = first glyph row)
    int rows = 0;         // glyph rows of a cell (the cell is one row taller: metadata)
    int tracking = 0;     // pixels added to the face's own advance
};

struct Description
{
    std::vector<ImageEntry> images;
    std::vector<FontEntry> fonts;
};

// Reads the description; false and "file:line: reason" on a bad line.
bool ReadDescription(const std::string& path, Description& out, std::string* why);

}  // namespace vrec::tools
