#include "tools/gui-assets/FontImage.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vrec::tools {

namespace {

constexpr int kCharacters = 128;
constexpr int kPenColumn = 4;  // text drawing starts its pen 4 pixels left of x

struct Glyph
{
    int advance = 0;  // stored advance: drawing adds one pixel per character
    int left = 0;     // bitmap offset from the pen
    int top = 0;      // bitmap rows above the baseline
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
};

struct Library
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Library()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

bool Printable(int code) { return code >= 32 && code < 127; }

}  // namespace

bool RenderFont(const std::string& facePath, const FontEntry& entry, Picture& out, std::string* why)
{
    Library ft;
    if (FT_Init_FreeType(&ft.library) != 0 || FT_New_Face(ft.library, facePath.c_str(), 0, &ft.face) != 0) {
        *why = "cannot open the font " + facePath;
        return false;
    }
    if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(entry.pixelSize)) != 0) {
        *why = facePath + ": no size " + std::to_string(entry.pixelSize);
        return false;
    }

    std::array<Glyph, kCharacters> glyphs;
    int cellWidth = 0;
    for (int code = 0; code < kCharacters; ++code) {
        Glyph& g = glyphs[code];
        if (!Printable(code))
            continue;
        // Light hinting keeps the face's shapes and snaps only vertically:
        // crisp stems without squeezed letters.
        if (FT_Load_Char(ft.face, static_cast<FT_ULong>(code), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
            *why = facePath + ": cannot render character " + std::to_string(code);
            return false;
        }
        FT_GlyphSlot slot = ft.face->glyph;
        int natural = static_cast<int>(std::lround(slot->advance.x / 64.0));
        g.advance = std::max(0, natural + entry.tracking - 1);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(slot->bitmap.width);
        g.height = static_cast<int>(slot->bitmap.rows);
        g.coverage.resize(static_cast<size_t>(g.width) * g.height);
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
                g.coverage[static_cast<size_t>(y) * g.width + x] = slot->bitmap.buffer[y * slot->bitmap.pitch + x];
        // Room for the edge pixel right of the glyph and for the advance.
        cellWidth = std::max({cellWidth, kPenColumn + std::max(0, g.left) + g.width + 2, kPenColumn + g.advance + 2});
    }
    if (cellWidth > 255) {
        *why = facePath + ": cells wider than 255 pixels";
        return false;
    }
    const int cellHeight = entry.rows + 1;
    out = Picture(cellWidth * kCharacters, cellHeight, Rgb{0, 0, 255});

    for (int code = 0; code < kCharacters; ++code) {
        const Glyph& g = glyphs[code];
        const int cellX = code * cellWidth;
        // The glyph's coverage in cell coordinates (glyph rows from 0).
        std::vector<int> cov(static_cast<size_t>(cellWidth) * entry.rows, 0);
        for (int y = 0; y < g.height; ++y) {
            int row = entry.baseline - g.top + y;
            if (row < 0 || row >= entry.rows)
                continue;
            for (int x = 0; x < g.width; ++x) {
                int col = kPenColumn + g.left + x;
                if (col >= 0 && col < cellWidth)
                    cov[static_cast<size_t>(row) * cellWidth + col] = g.coverage[static_cast<size_t>(y) * g.width + x];
            }
        }
        auto coverageAt = [&](int col, int row) {
            if (col < 0 || col >= cellWidth || row < 0 || row >= entry.rows)
                return 0;
            return cov[static_cast<size_t>(row) * cellWidth + col];
        };
        for (int row = 0; row < entry.rows; ++row) {
            for (int col = 0; col < cellWidth; ++col) {
                int c = coverageAt(col, row);
                // The edged style replaces the glyph and a one-pixel ring around
                // its clearly inked pixels.
                bool edged = c >= 32;
                for (int dy = -1; dy <= 1 && !edged; ++dy)
                    for (int dx = -1; dx <= 1 && !edged; ++dx)
                        edged = coverageAt(col + dx, row + dy) >= 96;
                Rgb& p = out.at(cellX + col, row + 1);
                p.r = c >= 128 ? 255 : 0;
                p.g = static_cast<uint8_t>(c);
                p.b = edged ? 0 : 255;
            }
        }
        Rgb& meta = out.at(cellX, 0);
        meta = Rgb{static_cast<uint8_t>(code == 0 ? cellWidth : g.advance), 0, 0};
    }
    out.at(0, 0).g = static_cast<uint8_t>(cellHeight);
    return true;
}

}  // namespace vrec::tools
