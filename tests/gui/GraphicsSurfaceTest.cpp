// Rotation mappings, fills, lines, clipping, blend tables and enable mode.
#include "tests/gui/GraphicsSupport.h"

#include "Middleware/GUI/Graphics.h"

#include <gtest/gtest.h>

#include <tuple>

using vrec::test::Surface;

namespace {

class GraphicsSurface : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(GRA_Init(), 1);
        GRA_EnableMode(1);
    }
    void TearDown() override { GRA_EnableMode(1); }
};

class GraphicsRotation : public GraphicsSurface, public ::testing::WithParamInterface<int>
{
};

TEST_F(GraphicsSurface, Rotation90PutsTheCornersWhereThePanelHasThem)
{
    Surface surface(90);
    GRA_SetPixel(0, 0, 0x1234);
    GRA_SetPixel(319, 239, 0x4321);
    const auto* bytes = reinterpret_cast<const uint8_t*>(surface.memory().data() + vrec::test::kGuardPixels);
    // (0, 0): the 240th pixel (byte 478) of physical row 0.
    EXPECT_EQ(bytes[478] | (bytes[479] << 8), 0x1234);
    // (319, 239): byte 0 of physical row 319.
    EXPECT_EQ(bytes[319 * 480] | (bytes[319 * 480 + 1] << 8), 0x4321);
    EXPECT_EQ(GRA_GetRotate(), 90);
}

TEST_P(GraphicsRotation, PixelsLandOnThePhysicalLayout)
{
    Surface surface(GetParam());
    const int points[][2] = {{0, 0}, {319, 0}, {0, 239}, {319, 239}, {17, 101}, {200, 3}};
    uint16_t colour = 0x0101;
    for (const auto& p : points)
        GRA_SetPixel(p[0], p[1], colour++);
    colour = 0x0101;
    for (const auto& p : points) {
        int column, row;
        surface.Locate(p[0], p[1], &column, &row);
        EXPECT_EQ(surface.Physical(column, row), colour++) << p[0] << "," << p[1];
    }
    EXPECT_EQ(surface.CountOutside(0, 0, 0, 0, 0), 6);
    EXPECT_EQ(GRA_GetRotate(), GetParam());
}

TEST_P(GraphicsRotation, FillRectCoversExactlyTheClippedRectangle)
{
    const int rects[][4] = {
        {10, 20, 30, 40},     // inside
        {-5, -7, 10, 12},     // over the top-left corner
        {315, 235, 10, 10},   // over the bottom-right corner
        {-10, 100, 400, 3},   // wider than the screen
        {100, -50, 3, 400},   // taller than the screen
        {0, 0, 320, 240},     // the whole screen
    };
    for (const auto& r : rects) {
        Surface surface(GetParam());
        GRA_FillRect(r[0], r[1], r[2], r[3], 0xABCD);
        int x0 = std::max(0, r[0]), y0 = std::max(0, r[1]);
        int x1 = std::min(320, r[0] + r[2]), y1 = std::min(240, r[1] + r[3]);
        EXPECT_EQ(surface.CountOutside(x0, y0, x1, y1, 0), 0) << r[0] << "," << r[1];
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                ASSERT_EQ(surface.At(x, y), 0xABCD) << x << "," << y;
        EXPECT_TRUE(surface.GuardsIntact());
    }
}

TEST_P(GraphicsRotation, FillRectAndFillRectNormalAgree)
{
    const int rects[][4] = {{3, 4, 1, 1}, {3, 4, 2, 3}, {0, 0, 7, 5}, {311, 231, 20, 20}, {-3, 50, 9, 9}, {50, -3, 9, 9}};
    for (const auto& r : rects) {
        Surface fast(GetParam(), 0x1111);
        GRA_FillRect(r[0], r[1], r[2], r[3], 0x7E0);
        std::vector<uint16_t> fastMemory = fast.memory();
        Surface normal(GetParam(), 0x1111);
        GRA_FillRectNormal(r[0], r[1], r[2], r[3], 0x7E0);
        EXPECT_EQ(fastMemory, normal.memory()) << r[0] << "," << r[1] << " " << r[2] << "x" << r[3];
    }
}

INSTANTIATE_TEST_SUITE_P(AllRotations, GraphicsRotation, ::testing::Values(0, 90, 180, 270));

TEST_F(GraphicsSurface, UnknownRotationKeepsTheMapping)
{
    Surface surface(90);
    GRA_SetRotate(45, 1280);
    EXPECT_EQ(GRA_GetRotate(), 90);
    GRA_SetPixel(5, 6, 0x2222);
    EXPECT_EQ(surface.At(5, 6), 0x2222);
}

TEST_F(GraphicsSurface, EmptyAndOffScreenFillsDrawNothing)
{
    Surface surface(90);
    GRA_FillRect(10, 10, 0, 5, 1);
    GRA_FillRect(10, 10, 5, 0, 1);
    GRA_FillRect(10, 10, -5, 5, 1);
    GRA_FillRect(320, 0, 5, 5, 1);
    GRA_FillRect(0, 240, 5, 5, 1);
    GRA_FillRect(-5, 0, 5, 5, 1);
    GRA_FillRect(0, -5, 5, 5, 1);
    GRA_SetPixel(-1, 0, 1);
    GRA_SetPixel(320, 0, 1);
    GRA_SetPixel(0, -1, 1);
    GRA_SetPixel(0, 240, 1);
    EXPECT_TRUE(surface.AllAre(0));
    EXPECT_TRUE(surface.GuardsIntact());
}

TEST_F(GraphicsSurface, ClearMakesTheScreenTransparent)
{
    Surface surface(0, 0x1234);
    GRA_Clear();
    EXPECT_TRUE(surface.AllAre(0xF81F));
    // The HDMI memory beyond the GUI's 320 x 240 stays as it was.
    EXPECT_EQ(surface.Physical(320, 0), 0x1234);
    EXPECT_EQ(surface.Physical(0, 240), 0x1234);
}

TEST_F(GraphicsSurface, FrameRectDrawsTheOutlineOnly)
{
    Surface surface(90);
    GRA_FrameRect(10, 20, 5, 4, 0xFFFF);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            bool inside = x >= 10 && x < 15 && y >= 20 && y < 24;
            bool border = inside && (x == 10 || x == 14 || y == 20 || y == 23);
            ASSERT_EQ(surface.At(x, y), border ? 0xFFFF : 0) << x << "," << y;
        }
    }
}

TEST_F(GraphicsSurface, RectangleFillsInsideTheFrame)
{
    Surface surface(90);
    GRA_Rectangle(0, 0, 4, 3, 0x1, 0x2);
    const uint16_t expected[3][4] = {{1, 1, 1, 1}, {1, 2, 2, 1}, {1, 1, 1, 1}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(surface.At(x, y), expected[y][x]) << x << "," << y;
    EXPECT_EQ(surface.CountOutside(0, 0, 4, 3, 0), 0);
}

TEST_F(GraphicsSurface, LinesIncludeBothEndpoints)
{
    Surface surface(90);
    GRA_Line(5, 7, 2, 7, 0x10);  // horizontal, right to left
    for (int x = 2; x <= 5; ++x)
        EXPECT_EQ(surface.At(x, 7), 0x10);
    GRA_Line(9, 12, 9, 10, 0x20);  // vertical, upwards
    for (int y = 10; y <= 12; ++y)
        EXPECT_EQ(surface.At(9, y), 0x20);
    EXPECT_EQ(surface.CountOutside(0, 0, 0, 0, 0), 4 + 3);

    Surface diagonal(90);
    GRA_Line(100, 100, 110, 104, 0x30);
    int count = 0;
    for (int x = 100; x <= 110; ++x) {
        int inColumn = 0;
        for (int y = 95; y <= 110; ++y)
            inColumn += diagonal.At(x, y) == 0x30;
        EXPECT_EQ(inColumn, 1) << "column " << x;
        count += inColumn;
    }
    EXPECT_EQ(count, 11);
    EXPECT_EQ(diagonal.At(100, 100), 0x30);
    EXPECT_EQ(diagonal.At(110, 104), 0x30);
    EXPECT_EQ(diagonal.CountOutside(100, 100, 111, 105, 0), 0);
}

TEST_F(GraphicsSurface, LinesClipAtTheEdges)
{
    Surface surface(90);
    GRA_Line(-10, 5, 400, 5, 0x40);
    GRA_Line(7, -10, 7, 300, 0x40);
    GRA_Line(-5, -5, 5, 5, 0x40);
    for (int x = 0; x < 320; ++x)
        EXPECT_EQ(surface.At(x, 5), 0x40);
    for (int y = 0; y < 240; ++y)
        EXPECT_EQ(surface.At(7, y), 0x40);
    EXPECT_TRUE(surface.GuardsIntact());
}

TEST_F(GraphicsSurface, BlendTablesHoldTheTruncatedWeightedMean)
{
    for (int a = 0; a < 32; ++a)
        for (int b = 0; b < 32; ++b)
            for (int alpha = 0; alpha < 256; ++alpha)
                ASSERT_EQ(g_AlphaTable5[(a << 13) | (b << 8) | alpha], (a * alpha + b * (255 - alpha)) / 255)
                    << a << " " << b << " " << alpha;
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            for (int alpha = 0; alpha < 256; ++alpha)
                ASSERT_EQ(g_AlphaTable6[(a << 14) | (b << 8) | alpha], (a * alpha + b * (255 - alpha)) / 255)
                    << a << " " << b << " " << alpha;
}

TEST_F(GraphicsSurface, DisabledDrawingTouchesNothing)
{
    Surface surface(90);
    BITMAP* bitmap = vrec::test::MakeTestBitmap(4, 4, [](int, int) { return uint16_t{0x1234}; });
    GRA_EnableMode(0);
    EXPECT_EQ(GRA_GetEnableMode(), 0);
    GRA_SetPixel(1, 1, 1);
    GRA_FillRect(0, 0, 320, 240, 1);
    GRA_FillRectNormal(0, 0, 320, 240, 1);
    GRA_Clear();
    GRA_FrameRect(0, 0, 10, 10, 1);
    GRA_Rectangle(0, 0, 10, 10, 1, 2);
    GRA_Line(0, 0, 10, 3, 1);
    GRA_BitBlt(0, 0, bitmap);
    GRA_BitBltT(0, 0, bitmap);
    GRA_StretchBlt(0, 0, 20, 20, bitmap);
    GRA_StretchBltT(0, 0, 20, 20, bitmap);
    GRA_TileBlt(0, 0, 20, 20, bitmap);
    EXPECT_TRUE(surface.AllAre(0));
    GRA_EnableMode(1);
    GRA_SetPixel(1, 1, 1);
    EXPECT_EQ(surface.At(1, 1), 1);
    free(bitmap);
}

}  // namespace
