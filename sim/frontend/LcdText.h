// Texts on a picture of the LCD as the firmware's text routines draw them
// with its font images (font/*.bmp in the program's folder): a check of
// what a person reads, such as the recording time shown.
#pragma once

#include "sim/board/Image.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vrec::frontend {

// A font image: one cell per character code 0..127 after a metadata row.
struct FontImage
{
    int width = 0;
    int height = 0;
    int cellWidth = 0;
    int cellHeight = 0;
    std::vector<uint8_t> rgb;  // rows top to bottom, red, green, blue
};

bool LoadFontImage(const std::string& path, FontImage& out, std::string* why);

// The pixels a string inks when drawn at (0, 0): in the text's own colour
// (full coverage) and its outline (no coverage, the edge colour of edged
// text or the background of plain text).
struct TextMask
{
    std::vector<std::pair<int, int>> ink;
    std::vector<std::pair<int, int>> outline;
};

TextMask MaskOf(const FontImage& font, const std::string& text);

// Where the picture shows the text in `rgb` (0xRRGGBB): at (x, y) only, or
// anywhere when x is negative. Every ink pixel must have the colour; white
// text is the OSD's edged text, whose outline must be black, while the
// outline of plain text of another colour must hardly ever have its colour.
bool FindText(const board::RgbImage& picture, const TextMask& mask, uint32_t rgb, int x, int y, int* foundX,
              int* foundY);

// The font file of a font's short name ("a16", "a20", "a24", "f16"), or "".
std::string FontFileName(const std::string& shortName);

}  // namespace vrec::frontend
