// Font image layout, character stepping, measuring, glyph placement, the
// three text styles, highlight marks and width limits.
#include "tests/gui/GraphicsSupport.h"

#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"

#include <gtest/gtest.h>

#include <cstdlib>

using vrec::test::BlendExpected;
using vrec::test::MakeFont;
using vrec::test::Rgb24;
using vrec::test::Surface;

namespace {

constexpr int kCellWidth = 12;
constexpr int kCellHeight = 10;  // 9 glyph rows

// Advance widths: 'A' 5, 'B' 6, 'C' 7, 'D' 4, '?' 8, 'W' 9, others 3.
int Advance(int code)
{
    switch (code) {
    case 'A':
        return 5;
    case 'B':
        return 6;
    case 'C':
        return 7;
    case 'D':
        return 4;
    case '?':
        return 8;
    case 'W':
        return 9;
    default:
        return 3;
    }
}

// Every glyph has one marker pixel at column 1, row 1 whose channels name
// the character: red = code (solid ink), green = coverage, blue = 0 (part
// of the edged glyph). Column 0, row 1 is edge without coverage; column 2,
// row 2 has coverage but lies outside the edged glyph (blue 1). 'A' also
// has a full-coverage pixel at the cell's last column and row.
Rgb24 Glyph(int code, int column, int row)
{
    if (column == 0 && row == 1)
        return {0, 0, 0};
    if (column == 1 && row == 1)
        return {static_cast<uint8_t>(code), static_cast<uint8_t>(100 + code), 0};
    if (column == 2 && row == 2)
        return {0, 200, 1};
    if (code == 'A' && column == kCellWidth - 1 && row == kCellHeight - 1)
        return {1, 255, 0};
    return {0, 0, 1};
}

class GraphicsText : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(GRA_Init(), 1);
        GRA_EnableMode(1);
        font_ = MakeFont(kCellWidth, kCellHeight, Advance, Glyph);
    }
    void TearDown() override { GRA_EnableMode(1); }

    unsigned char* font() { return font_.data(); }

    int Width(const char* text, int* marks = nullptr)
    {
        int width = -1, height = -1;
        GRA_CalcStringS(&width, &height, text, font(), marks);
        EXPECT_EQ(height, kCellHeight - 1);
        return width;
    }

    // Screen position of glyph column c, row r of a character whose pen is px.
    static int GlyphX(int px, int c) { return px + c; }
    static int GlyphY(int y, int r) { return y - 5 + r; }

    std::vector<uint8_t> font_;
};

TEST_F(GraphicsText, MeasuringAddsAdvancePlusOne)
{
    EXPECT_EQ(Width(""), 0);
    EXPECT_EQ(Width("A"), 6);
    EXPECT_EQ(Width("ABC"), 6 + 7 + 8);
    EXPECT_EQ(Width("xy"), 8);
}

TEST_F(GraphicsText, BytesFromHex80AreQuestionMarks)
{
    EXPECT_EQ(Width("\xE3\x81\x82"), 9);              // one three-byte character
    EXPECT_EQ(Width("\xE9" "A"), 9 + 6);              // a lone byte, then a letter
    EXPECT_EQ(Width("\xC3\xA9" "A"), 9 + 9 + 6);      // two high bytes are two characters
    EXPECT_EQ(Width("\xE3\x81\x82\xE3\x81\x82"), 18);
}

TEST_F(GraphicsText, BelMarksRecordTheWidthSoFar)
{
    int marks[2] = {-1, -1};
    EXPECT_EQ(Width("A\aBC\aD", marks), 6 + 7 + 8 + 5);
    EXPECT_EQ(marks[0], 6);
    EXPECT_EQ(marks[1], 6 + 7 + 8);
    int more[3] = {-1, -1, -7};
    Width("\aA\aB\aC", more);
    EXPECT_EQ(more[0], 0);
    EXPECT_EQ(more[1], 6);
    EXPECT_EQ(more[2], -7);  // at most two marks are stored
}

TEST_F(GraphicsText, MeasuringWorksWhileDrawingIsDisabled)
{
    GRA_EnableMode(0);
    EXPECT_EQ(Width("ABC"), 21);
}

TEST_F(GraphicsText, SolidGlyphsArePlacedFromPenXMinus4)
{
    Surface surface(90);
    GRA_DrawString(50, 60, "AB", 0xFFFF, font());
    // 'A' at pen 46: marker (1, 1) and corner (11, 9); 'B' at pen 46 + 6.
    EXPECT_EQ(surface.At(GlyphX(46, 1), GlyphY(60, 1)), 0xFFFF);
    EXPECT_EQ(surface.At(GlyphX(46, 11), GlyphY(60, 9)), 0xFFFF);
    EXPECT_EQ(surface.At(GlyphX(52, 1), GlyphY(60, 1)), 0xFFFF);
    int lit = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            lit += surface.At(x, y) != 0;
    EXPECT_EQ(lit, 3);
}

TEST_F(GraphicsText, QuestionMarkStandsForHighBytes)
{
    Surface surface(90);
    GRA_DrawString(20, 20, "\xE9" "A", 0x1111, font());
    // '?' then 'A' at pen 16 + 9; a '?' marker has red 63.
    EXPECT_EQ(surface.At(GlyphX(16, 1), GlyphY(20, 1)), 0x1111);
    EXPECT_EQ(surface.At(GlyphX(25, 11), GlyphY(20, 9)), 0x1111);
}

TEST_F(GraphicsText, BlendedTextMixesWithTheScreen)
{
    const uint16_t background = 0x4A69;
    Surface surface(90, background);
    const uint16_t colour = 0xF5A0;
    GRA_DrawStringS(100, 100, "A", colour, font(), 0);
    EXPECT_EQ(surface.At(GlyphX(96, 1), GlyphY(100, 1)), BlendExpected(colour, background, 100 + 'A'));
    EXPECT_EQ(surface.At(GlyphX(96, 2), GlyphY(100, 2)), BlendExpected(colour, background, 200));
    EXPECT_EQ(surface.At(GlyphX(96, 11), GlyphY(100, 9)), colour);  // full coverage
    EXPECT_EQ(surface.At(GlyphX(96, 3), GlyphY(100, 3)), background);  // no coverage
    EXPECT_EQ(surface.CountOutside(96, 96, 96 + kCellWidth, 105, background), 0);
}

TEST_F(GraphicsText, EdgedTextIgnoresTheScreen)
{
    for (uint16_t background : {uint16_t{0x0000}, uint16_t{0xFFFF}}) {
        Surface surface(90, background);
        GRA_DrawStringF(100, 100, "A", 0xFFE0, 0x001F, font(), 0);
        EXPECT_EQ(surface.At(GlyphX(96, 1), GlyphY(100, 1)), BlendExpected(0xFFE0, 0x001F, 100 + 'A'));
        EXPECT_EQ(surface.At(GlyphX(96, 11), GlyphY(100, 9)), 0xFFE0);
        EXPECT_EQ(surface.At(GlyphX(96, 0), GlyphY(100, 1)), BlendExpected(0xFFE0, 0x001F, 0));  // blue 0, coverage 0
        // Blue set: left as it was.
        EXPECT_EQ(surface.At(GlyphX(96, 2), GlyphY(100, 2)), background);
        EXPECT_EQ(surface.At(GlyphX(96, 5), GlyphY(100, 5)), background);
    }
}

TEST_F(GraphicsText, BlendedTextSkipsBelAndHighlightsBetweenMarks)
{
    // A button frame with distinct corners so its position can be seen.
    BITMAP* button = vrec::test::MakeTestBitmap(9, 9, [](int x, int y) {
        return static_cast<uint16_t>(0x0800 + x / 3 + 3 * (y / 3));
    });
    BITMAP* saved = g_pBmp_button;
    g_pBmp_button = button;
    Surface surface(90, 0);
    GRA_DrawStringS(40, 100, "A\aBC\aD", 0xFFFF, font(), 0);
    // The frame spans the measured width of B and C from x + width("A").
    const int left = 40 + 6, width = 7 + 8;
    EXPECT_EQ(surface.At(left, 100), 0x0800);                 // top-left corner
    EXPECT_EQ(surface.At(left + width - 1, 100), 0x0802);     // top-right corner
    EXPECT_EQ(surface.At(left, 100 + 19), 0x0806);            // bottom-left corner, height 20
    EXPECT_EQ(surface.At(left + width / 2, 110), 0x0804);     // centre
    EXPECT_EQ(surface.At(left - 1, 110), 0);
    EXPECT_EQ(surface.At(left + width, 110), 0);
    EXPECT_EQ(surface.At(left, 100 + 20), 0);
    // BEL takes no room: B at pen 36 + 6, D at pen 36 + 6 + 7 + 8.
    // B's corner pixel has no coverage: the frame's centre shows through.
    EXPECT_EQ(surface.At(GlyphX(42, 11), GlyphY(100, 9)), 0x0804);
    EXPECT_EQ(surface.At(GlyphX(36, 11), GlyphY(100, 9)), 0xFFFF);
    EXPECT_NE(surface.At(GlyphX(57, 1), GlyphY(100, 1)), 0);
    g_pBmp_button = saved;
    free(button);
}

TEST_F(GraphicsText, OneMarkHighlightsNothing)
{
    BITMAP* button = vrec::test::MakeTestBitmap(9, 9, [](int, int) { return uint16_t{0x0800}; });
    BITMAP* saved = g_pBmp_button;
    g_pBmp_button = button;
    Surface surface(90, 0);
    GRA_DrawStringS(40, 100, "AB\aC", 0xFFFF, font(), 0);
    EXPECT_EQ(surface.At(40 + 6 + 7, 100), 0);
    g_pBmp_button = saved;
    free(button);
}

TEST_F(GraphicsText, WidthLimitStopsBeforeTheFirstCharacterThatPassesIt)
{
    // "WWWWWWW": advance 9, pens at 96, 106, ...; limit 96 + 50 = 146: the
    // character at pen 136 ends at 145 and is drawn, the one at 146 is not.
    for (int style = 0; style < 2; ++style) {
        Surface surface(90, 0);
        if (style == 0)
            GRA_DrawStringS(100, 100, "WWWWWWW", 0xFFFF, font(), 50);
        else
            GRA_DrawStringF(100, 100, "WWWWWWW", 0xFFFF, 0x0000, font(), 50);
        for (int i = 0; i < 7; ++i) {
            bool drawn = surface.At(GlyphX(96 + 10 * i, 1), GlyphY(100, 1)) != 0;
            EXPECT_EQ(drawn, i < 5) << "style " << style << " character " << i;
        }
    }
    // The solid style has no limit; without a limit the screen edge is.
    Surface solid(90, 0);
    GRA_DrawString(100, 100, "WWWWWWW", 0xFFFF, font());
    EXPECT_NE(solid.At(GlyphX(156, 1), GlyphY(100, 1)), 0);
    Surface edge(90, 0);
    GRA_DrawStringS(270, 100, "WWWWWWW", 0xFFFF, font(), 0);
    // Pens 266, 276, ..., 306: 306 + 9 <= 320 is drawn, 316 + 9 is not.
    EXPECT_NE(edge.At(GlyphX(306, 1), GlyphY(100, 1)), 0);
    EXPECT_EQ(edge.At(GlyphX(316, 1), GlyphY(100, 1)), 0);
}

TEST_F(GraphicsText, GlyphsClipPixelByPixel)
{
    Surface surface(90, 0);
    GRA_DrawString(3, 4, "A", 0xFFFF, font());      // pen -1: column 1 at x 0, row 1 at y 0
    EXPECT_EQ(surface.At(0, 0), 0xFFFF);
    GRA_DrawString(312, 235, "A", 0xFFFF, font());  // corner pixel at (319, 239)
    EXPECT_EQ(surface.At(319, 239), 0xFFFF);
    GRA_DrawString(313, 237, "A", 0xFFFF, font());  // corner pixel off screen
    GRA_DrawString(-20, -20, "AAAA", 0xFFFF, font());
    GRA_DrawStringS(318, 239, "ABC", 0xFFFF, font(), 0);
    GRA_DrawStringF(-3, 238, "ABC", 0xFFFF, 0, font(), 0);
    EXPECT_TRUE(surface.GuardsIntact());
}

TEST_F(GraphicsText, AlignedVariants)
{
    Surface right(90, 0);
    GRA_DrawStringSR(200, 100, "AB", 0xFFFF, font());  // width 13: drawn at x 187
    EXPECT_EQ(right.At(GlyphX(183, 11), GlyphY(100, 9)), 0xFFFF);
    Surface centred(90, 0);
    GRA_DrawStringSC(0, 100, 320, "AB", 0xFFFF, font());  // (320 - 13) / 2 = 153
    EXPECT_EQ(centred.At(GlyphX(149, 11), GlyphY(100, 9)), 0xFFFF);
    Surface narrow(90, 0);
    GRA_DrawStringSC(100, 100, 4, "AB", 0xFFFF, font());  // (4 - 13) / 2 = -4, truncated
    EXPECT_EQ(narrow.At(GlyphX(92, 11), GlyphY(100, 9)), 0xFFFF);
    Surface edged(90, 0);
    GRA_DrawStringFR(200, 100, "AB", 0xFFFF, 0x0000, font());
    EXPECT_EQ(edged.At(GlyphX(183, 11), GlyphY(100, 9)), 0xFFFF);
}

TEST_F(GraphicsText, NothingIsDrawnWhileDisabled)
{
    Surface surface(90, 0);
    GRA_EnableMode(0);
    GRA_DrawString(50, 50, "ABC", 0xFFFF, font());
    GRA_DrawStringS(50, 50, "ABC", 0xFFFF, font(), 0);
    GRA_DrawStringF(50, 50, "ABC", 0xFFFF, 0x1234, font(), 0);
    GRA_DrawStringSR(100, 50, "ABC", 0xFFFF, font());
    GRA_DrawStringSC(0, 50, 320, "ABC", 0xFFFF, font());
    GRA_DrawStringFR(100, 50, "ABC", 0xFFFF, 0x1234, font());
    EXPECT_TRUE(surface.AllAre(0));
}

}  // namespace
