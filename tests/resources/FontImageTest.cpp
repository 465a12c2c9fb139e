// The four font images follow the layout the text drawing reads: one strip
// of 128 equal cells under a metadata row, anti-aliased glyphs with an edge
// mask, and metrics that fit the places where the screens write.
#include "tests/resources/BmpFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using vrec::test::BmpFile;
using vrec::test::ReadBmp;

// A font image parsed from its file, independently of the tool that made it.
struct Font
{
    BmpFile bmp;
    int cellWidth = 0;
    int cellHeight = 0;

    explicit Font(const std::string& name) : bmp(ReadBmp(std::string(VREC_APP_ROOT) + "/font/" + name))
    {
        if (bmp.ok) {
            cellWidth = bmp.Red(0, 0);
            cellHeight = bmp.Green(0, 0);
        }
    }
    int Advance(int code) const { return bmp.Red(code * cellWidth, 0); }
    // Measured width of a string: advance + 1 per character.
    int Width(const std::string& s) const
    {
        int w = 0;
        for (unsigned char c : s)
            w += Advance(c < 0x80 ? c : '?') + 1;
        return w;
    }
    // Glyph pixel (column in the cell, glyph row 1..cellHeight-1).
    int Coverage(int code, int col, int row) const { return bmp.Green(code * cellWidth + col, row); }
    // Screen rows of a character's ink when the text is drawn at y.
    void InkRows(int code, int y, int& top, int& bottom) const
    {
        top = 10000;
        bottom = -10000;
        for (int row = 1; row < cellHeight; ++row)
            for (int col = 0; col < cellWidth; ++col)
                if (Coverage(code, col, row) >= 64) {
                    int screen = y - 4 + (row - 1);
                    top = std::min(top, screen);
                    bottom = std::max(bottom, screen);
                }
    }
};

class FontImage : public ::testing::TestWithParam<const char*>
{
};

TEST_P(FontImage, IsOneStripOf128CellsUnderAMetadataRow)
{
    Font font(GetParam());
    ASSERT_TRUE(font.bmp.ok) << font.bmp.why;
    EXPECT_EQ(font.bmp.bitsPerPixel, 24);
    EXPECT_EQ(font.bmp.compression, 0u);
    EXPECT_EQ(font.bmp.dataOffset, 54u);
    ASSERT_GT(font.cellWidth, 4);
    EXPECT_EQ(font.bmp.width, 128 * font.cellWidth);
    EXPECT_EQ(font.bmp.height, font.cellHeight);
    EXPECT_EQ(font.Advance(0), font.cellWidth) << "the first pixel holds the cell width";
    for (int c = 32; c < 127; ++c) {
        EXPECT_GT(font.Advance(c), 0) << "character " << c;
        EXPECT_LT(font.Advance(c), font.cellWidth) << "character " << c;
    }
    // Digits share one advance, so that counters and clocks do not jump.
    for (char c = '1'; c <= '9'; ++c)
        EXPECT_EQ(font.Advance(c), font.Advance('0')) << c;
}

TEST_P(FontImage, GlyphsAreAntiAliasedWithSolidInkAndAnEdgeMask)
{
    Font font(GetParam());
    ASSERT_TRUE(font.bmp.ok);
    int partial = 0, ring = 0;
    for (int c : {'A', 'g', 'W', '?', '8', 'e'}) {
        int ink = 0;
        for (int row = 1; row < font.cellHeight; ++row)
            for (int col = 0; col < font.cellWidth; ++col) {
                int x = c * font.cellWidth + col;
                int red = font.bmp.Red(x, row), green = font.bmp.Green(x, row), blue = font.bmp.Blue(x, row);
                ink += red != 0;
                partial += green > 0 && green < 255;
                // Solid ink only where the glyph covers the pixel well.
                if (red != 0) {
                    EXPECT_GE(green, 96) << char(c) << " at " << col << "," << row;
                }
                // The edged style replaces every clearly inked pixel.
                if (green >= 128) {
                    EXPECT_EQ(blue, 0) << char(c) << " at " << col << "," << row;
                }
                ring += blue == 0 && green == 0;
            }
        EXPECT_GT(ink, 10) << char(c) << " has no ink";
    }
    EXPECT_GT(partial, 20) << "no anti-aliasing";
    EXPECT_GT(ring, 20) << "no edge around the glyphs";
    // The space and the control characters draw nothing.
    for (int c : {int(' '), 7, 0}) {
        for (int row = 1; row < font.cellHeight; ++row)
            for (int col = 0; col < font.cellWidth; ++col) {
                ASSERT_EQ(font.Coverage(c, col, row), 0) << "character " << c;
                ASSERT_NE(font.bmp.Blue(c * font.cellWidth + col, row), 0) << "character " << c;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFonts, FontImage,
                         ::testing::Values("Androgyne_24.bmp", "Androgyne_20.bmp", "Androgyne_16.bmp",
                                           "FreeSans_16.bmp"));

// Where the screens write, the texts must fit.
TEST(FontMetrics, TitlesFitTheHeaderBandAndListColumns)
{
    Font a24("Androgyne_24.bmp");
    ASSERT_TRUE(a24.bmp.ok);
    int top, bottom;
    // Header titles at y 2 inside the 24-pixel band, descenders included.
    for (int c : {'H', 'g', 'y', 'M'}) {
        a24.InkRows(c, 2, top, bottom);
        EXPECT_GE(top, 0) << char(c);
        EXPECT_LE(bottom, 23) << char(c);
    }
    // Menu item names at x 4 left of the separator at 186.
    EXPECT_LE(4 + a24.Width("AUTO REC LEVEL"), 186);
    EXPECT_LE(4 + a24.Width("CUE/REV SPEED"), 186);
    // The longest centred message of the firmware update.
    EXPECT_LE(a24.Width("The compressed file is extracting."), 320);
    // The time readout: two digits between x + 25 and the "M" at x + 53.
    EXPECT_LE(25 + a24.Width("00"), 53);
}

TEST(FontMetrics, PopupRowsAndMessageLinesDoNotCollide)
{
    Font a20("Androgyne_20.bmp");
    ASSERT_TRUE(a20.bmp.ok);
    int top, bottom, capTop, capBottom;
    // Popup rows are 20 high and drawn at their top.
    a20.InkRows('g', 0, top, bottom);
    a20.InkRows('H', 0, capTop, capBottom);
    EXPECT_GE(capTop, 0);
    EXPECT_LE(bottom, 19);
    // Message lines are 14 apart: a descender must not reach the next line's capitals.
    EXPECT_LT(bottom, 14 + capTop);
    EXPECT_LE(a20.Width("Format this card. Are You Sure ?"), 320);
}

TEST(FontMetrics, SmallReadoutsAndButtonLabelsFitTheirSlots)
{
    Font a16("Androgyne_16.bmp"), f16("FreeSans_16.bmp");
    ASSERT_TRUE(a16.bmp.ok && f16.bmp.ok);
    int top, bottom;
    // Readouts restore slots 16 high (14 for the dB value at y 205).
    for (int c : {'H', 'g', '0'}) {
        a16.InkRows(c, 205, top, bottom);
        EXPECT_GE(top, 205) << char(c);
        EXPECT_LE(bottom, 205 + 13) << char(c);
    }
    EXPECT_LE(a16.Width("PCM 24Bit 44.1k"), 120);
    EXPECT_LE(a16.Width("HD-720p"), 62);
    // Button labels at y 221 on the 18-pixel keys from y 220.
    for (int c : {'H', 'g', 'O'}) {
        f16.InkRows(c, 221, top, bottom);
        EXPECT_GE(top, 220) << char(c);
        EXPECT_LE(bottom, 237) << char(c);
    }
    for (const char* label : {"INPUT SETTING", "REC SETTING", "SPEED OFF", "SELF TIMER", "F/W UPDATE", "INC CLEAR"})
        EXPECT_LE(f16.Width(label), 104 - 4) << label;
}

}  // namespace
