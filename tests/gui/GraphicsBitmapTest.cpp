// BMP conversion and loading, blits with clipping and colour key, scaling
// and nine-slice frames.
#include "tests/gui/GraphicsSupport.h"

#include "Middleware/GUI/Graphics.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using vrec::test::MakeBmp;
using vrec::test::MakeTestBitmap;
using vrec::test::Rgb24;
using vrec::test::Surface;

namespace {

struct FreeBitmap
{
    void operator()(BITMAP* bitmap) const { GRA_FreeBitmap(bitmap); }
};
using BitmapPtr = std::unique_ptr<BITMAP, FreeBitmap>;

// A bitmap whose every pixel tells its coordinates.
BitmapPtr Numbered(int width, int height)
{
    return BitmapPtr(MakeTestBitmap(width, height, [](int x, int y) { return static_cast<uint16_t>(0x100 * y + x + 1); }));
}

uint16_t NumberOf(int x, int y)
{
    return static_cast<uint16_t>(0x100 * y + x + 1);
}

class GraphicsBitmap : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(GRA_Init(), 1);
        GRA_EnableMode(1);
    }
};

TEST_F(GraphicsBitmap, BmpColoursConvertByTruncation)
{
    const Rgb24 colours[] = {{255, 255, 255}, {128, 128, 128}, {0, 0, 0}, {255, 0, 0}, {8, 4, 9}};
    std::vector<uint8_t> file = MakeBmp(5, 1, [&](int x, int) { return colours[x]; });
    BitmapPtr bitmap(GRA_BuildBitmap(file.data()));
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->nWidth, 5);
    ASSERT_EQ(bitmap->nHeight, 1);
    const uint16_t* pixels = bitmap->aPixels;
    EXPECT_EQ(pixels[0], 0xFFFF);
    EXPECT_EQ(pixels[1], (15 << 11) | (31 << 5) | 15);
    EXPECT_EQ(pixels[2], 0);
    EXPECT_EQ(pixels[3], 0xF800);
    EXPECT_EQ(pixels[4], (0 << 11) | (0 << 5) | 1);  // 8*31/255 = 0, 4*63/255 = 0, 9*31/255 = 1
}

TEST_F(GraphicsBitmap, BmpRowsArePaddedAndStoredBottomUp)
{
    // Width 3: 9 bytes of pixels padded to 12 a row.
    auto colour = [](int x, int y) { return Rgb24{static_cast<uint8_t>(40 * x + 10), static_cast<uint8_t>(50 * y), 200}; };
    std::vector<uint8_t> file = MakeBmp(3, 4, colour);
    ASSERT_EQ(file.size(), 54u + 12 * 4);
    BitmapPtr bitmap(GRA_BuildBitmap(file.data()));
    ASSERT_TRUE(bitmap);
    const uint16_t* pixels = bitmap->aPixels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x) {
            Rgb24 c = colour(x, y);
            EXPECT_EQ(pixels[y * 3 + x], vrec::test::Rgb565(c.r, c.g, c.b)) << x << "," << y;
        }
}

TEST_F(GraphicsBitmap, BmpPixelsAreReadFromOffset54WhateverTheHeaderSays)
{
    std::vector<uint8_t> file = MakeBmp(2, 2, [](int x, int y) { return Rgb24{255, 0, static_cast<uint8_t>(x * 255)}; }, 138);
    BitmapPtr bitmap(GRA_BuildBitmap(file.data()));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->aPixels[0], 0xF800);
    EXPECT_EQ(bitmap->aPixels[1], 0xF81F);
}

TEST_F(GraphicsBitmap, BmpOfHeightZeroHasNoPixels)
{
    std::vector<uint8_t> file = MakeBmp(7, 0, [](int, int) { return Rgb24{1, 2, 3}; });
    BitmapPtr bitmap(GRA_BuildBitmap(file.data()));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->nWidth, 7);
    EXPECT_EQ(bitmap->nHeight, 0);
    GRA_FreeBitmap(nullptr);
}

class GraphicsBitmapFiles : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        GRA_Init();
    }
    // A file on the board's /tmp, by its device path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes, size_t keep)
    {
        std::string devicePath = "/tmp/" + name;
        EXPECT_TRUE(vrec::test::WriteFile(vrec::test::HostPath(devicePath),
                                          std::string(bytes.begin(), bytes.begin() + static_cast<long>(keep))));
        return devicePath;
    }
};

TEST_F(GraphicsBitmapFiles, LoadReadsTheWholeFile)
{
    std::vector<uint8_t> file = MakeBmp(6, 5, [](int x, int y) { return Rgb24{static_cast<uint8_t>(x * 40), 0, static_cast<uint8_t>(y * 50)}; });
    BitmapPtr bitmap(GRA_LoadBitmap(Write("a.bmp", file, file.size()).c_str()));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->nWidth, 6);
    EXPECT_EQ(bitmap->nHeight, 5);
    EXPECT_EQ(bitmap->aPixels[4 * 6 + 5], vrec::test::Rgb565(200, 0, 200));

    unsigned char* font = GRA_LoadFont(Write("f.bmp", file, file.size()).c_str());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(font, font + file.size()), file);  // kept unchanged
    GRA_FreeFont(font);
    GRA_FreeFont(nullptr);
}

TEST_F(GraphicsBitmapFiles, MissingOrTruncatedFilesGiveNull)
{
    std::vector<uint8_t> file = MakeBmp(6, 5, [](int, int) { return Rgb24{1, 1, 1}; });
    EXPECT_EQ(GRA_LoadBitmap("/tmp/none.bmp"), nullptr);
    EXPECT_EQ(GRA_LoadFont("/tmp/none.bmp"), nullptr);
    EXPECT_EQ(GRA_LoadBitmap(Write("short.bmp", file, file.size() - 1).c_str()), nullptr);
    EXPECT_EQ(GRA_LoadFont(Write("short.bmp", file, file.size() - 1).c_str()), nullptr);
    EXPECT_EQ(GRA_LoadBitmap(Write("header.bmp", file, 20).c_str()), nullptr);
    EXPECT_EQ(GRA_LoadBitmap(Write("empty.bmp", file, 0).c_str()), nullptr);
}

TEST_F(GraphicsBitmap, BitBltCopiesThePartAsked)
{
    Surface surface(90);
    BitmapPtr bitmap = Numbered(10, 8);
    GRA_BitBlt(50, 60, bitmap.get(), 2, 3, 4, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(surface.At(50 + x, 60 + y), NumberOf(2 + x, 3 + y));
    EXPECT_EQ(surface.CountOutside(50, 60, 54, 65, 0), 0);

    Surface whole(0);
    GRA_BitBlt(1, 2, bitmap.get());
    EXPECT_EQ(whole.At(1, 2), NumberOf(0, 0));
    EXPECT_EQ(whole.At(10, 9), NumberOf(9, 7));
    EXPECT_EQ(whole.CountOutside(1, 2, 11, 10, 0), 0);
}

TEST_F(GraphicsBitmap, BitBltClipsAtEveryEdge)
{
    BitmapPtr bitmap = Numbered(10, 8);
    struct Case
    {
        int x, y;
    };
    for (Case c : {Case{-3, 0}, Case{0, -2}, Case{315, 0}, Case{0, 236}, Case{-4, -5}, Case{313, 235}}) {
        Surface surface(90);
        GRA_BitBlt(c.x, c.y, bitmap.get());
        int x0 = std::max(0, c.x), y0 = std::max(0, c.y);
        int x1 = std::min(320, c.x + 10), y1 = std::min(240, c.y + 8);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                ASSERT_EQ(surface.At(x, y), NumberOf(x - c.x, y - c.y)) << c.x << "," << c.y << " at " << x << "," << y;
        EXPECT_EQ(surface.CountOutside(x0, y0, x1, y1, 0), 0);
        EXPECT_TRUE(surface.GuardsIntact());
    }
}

TEST_F(GraphicsBitmap, BitBltOfAPartBeyondTheBitmapDrawsNothing)
{
    Surface surface(90);
    BitmapPtr bitmap = Numbered(10, 8);
    GRA_BitBlt(20, 20, bitmap.get(), 5, 0, 6, 8);   // one column too many
    GRA_BitBlt(20, 20, bitmap.get(), 0, 4, 10, 5);  // one row too many
    GRA_BitBlt(20, 20, bitmap.get(), -1, 0, 3, 3);
    GRA_BitBlt(20, 20, bitmap.get(), 0, 0, 0, 3);
    GRA_BitBlt(320, 20, bitmap.get());
    GRA_BitBlt(20, 240, bitmap.get());
    GRA_BitBlt(-10, 20, bitmap.get());
    GRA_BitBlt(20, 20, nullptr);
    EXPECT_TRUE(surface.AllAre(0));
}

TEST_F(GraphicsBitmap, BitBltTSkipsExactlyTheKeyColour)
{
    Surface surface(90, 0x0123);
    BitmapPtr bitmap(MakeTestBitmap(3, 1, [](int x, int) {
        const uint16_t pixels[] = {0xF81F, 0xF81E, 0x0000};
        return pixels[x];
    }));
    GRA_BitBltT(5, 5, bitmap.get());
    EXPECT_EQ(surface.At(5, 5), 0x0123);
    EXPECT_EQ(surface.At(6, 5), 0xF81E);
    EXPECT_EQ(surface.At(7, 5), 0x0000);
    GRA_BitBlt(5, 6, bitmap.get());
    EXPECT_EQ(surface.At(5, 6), 0xF81F);
}

// The source column of destination column i for an 8.8 step, computed here.
int Sampled(int i, int sourceLength, int destLength)
{
    int step = sourceLength * 256 / destLength;
    return (i * step) >> 8;
}

TEST_F(GraphicsBitmap, StretchSamplesNearestNeighbours)
{
    BitmapPtr bitmap = Numbered(10, 8);
    const int sizes[][2] = {{20, 16}, {5, 4}, {7, 13}, {10, 8}};
    for (const auto& size : sizes) {
        Surface surface(90);
        GRA_StretchBlt(30, 40, size[0], size[1], bitmap.get(), 1, 2, 6, 5);
        for (int y = 0; y < size[1]; ++y)
            for (int x = 0; x < size[0]; ++x)
                ASSERT_EQ(surface.At(30 + x, 40 + y), NumberOf(1 + Sampled(x, 6, size[0]), 2 + Sampled(y, 5, size[1])))
                    << size[0] << "x" << size[1] << " at " << x << "," << y;
        EXPECT_EQ(surface.CountOutside(30, 40, 30 + size[0], 40 + size[1], 0), 0);
    }
}

TEST_F(GraphicsBitmap, ClippedStretchSamplesAsIfUnclipped)
{
    BitmapPtr bitmap = Numbered(10, 8);
    Surface surface(90);
    GRA_StretchBlt(-7, -5, 23, 19, bitmap.get());
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(surface.At(x, y), NumberOf(Sampled(x + 7, 10, 23), Sampled(y + 5, 8, 19))) << x << "," << y;
    EXPECT_EQ(surface.CountOutside(0, 0, 16, 14, 0), 0);

    Surface right(90);
    GRA_StretchBlt(310, 230, 20, 16, bitmap.get());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(right.At(310 + x, 230 + y), NumberOf(Sampled(x, 10, 20), Sampled(y, 8, 16)));
    EXPECT_TRUE(right.GuardsIntact());
}

TEST_F(GraphicsBitmap, StretchRefusesBadRequests)
{
    BitmapPtr bitmap = Numbered(10, 8);
    Surface surface(90);
    GRA_StretchBlt(0, 0, 0, 5, bitmap.get(), 0, 0, 5, 5);
    GRA_StretchBlt(0, 0, 5, -1, bitmap.get(), 0, 0, 5, 5);
    GRA_StretchBlt(0, 0, 5, 5, bitmap.get(), 0, 0, 0, 5);
    GRA_StretchBlt(0, 0, 5, 5, bitmap.get(), -1, 0, 5, 5);
    GRA_StretchBlt(0, 0, 5, 5, bitmap.get(), 0, -1, 5, 5);
    GRA_StretchBlt(0, 0, 5, 5, bitmap.get(), 6, 0, 5, 5);
    GRA_StretchBlt(0, 0, 5, 5, bitmap.get(), 0, 4, 5, 5);
    GRA_StretchBlt(0, 0, 5, 5, nullptr, 0, 0, 5, 5);
    EXPECT_TRUE(surface.AllAre(0));
}

TEST_F(GraphicsBitmap, StretchTAndRawVariants)
{
    BitmapPtr keyed(MakeTestBitmap(2, 1, [](int x, int) { return x ? uint16_t{0x0F0F} : uint16_t{0xF81F}; }));
    Surface surface(0, 0x0001);
    GRA_StretchBltT(0, 0, 4, 2, keyed.get());
    EXPECT_EQ(surface.At(0, 0), 0x0001);
    EXPECT_EQ(surface.At(1, 1), 0x0001);
    EXPECT_EQ(surface.At(2, 0), 0x0F0F);
    EXPECT_EQ(surface.At(3, 1), 0x0F0F);

    std::vector<uint16_t> raw(6 * 4);
    for (int i = 0; i < 24; ++i)
        raw[i] = static_cast<uint16_t>(i == 0 ? 0xF81F : 0x1000 + i);  // the first pixel is the key
    Surface plain(90);
    GRA_StretchBltRaw(10, 10, 8, 6, reinterpret_cast<unsigned char*>(raw.data()), 6, 4, 2, 1, 4, 3);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(plain.At(10 + x, 10 + y), raw[(1 + Sampled(y, 3, 6)) * 6 + 2 + Sampled(x, 4, 8)]);
    Surface keyNotSkipped(90);
    GRA_StretchBltRaw(0, 0, 1, 1, reinterpret_cast<unsigned char*>(raw.data()), 6, 4, 0, 0, 1, 1);
    EXPECT_EQ(keyNotSkipped.At(0, 0), 0xF81F);
    GRA_StretchBltRaw(0, 1, 1, 1, reinterpret_cast<unsigned char*>(raw.data()), 6, 4, 5, 3, 2, 1);  // beyond
    EXPECT_EQ(keyNotSkipped.At(0, 1), 0);
}

// A 9 x 9 frame image: piece (column, row) of the 3 x 3 grid has colour
// 1 + column + 3 * row; the centre is transparent.
BitmapPtr NineSlice()
{
    return BitmapPtr(MakeTestBitmap(9, 9, [](int x, int y) {
        int piece = x / 3 + 3 * (y / 3);
        return piece == 4 ? uint16_t{0xF81F} : static_cast<uint16_t>(1 + piece);
    }));
}

TEST_F(GraphicsBitmap, TileBltPlacesTheNinePieces)
{
    BitmapPtr frame = NineSlice();
    Surface surface(90, 0x7777);
    GRA_TileBlt(10, 20, 20, 15, frame.get());
    for (int y = 20; y < 35; ++y) {
        for (int x = 10; x < 30; ++x) {
            int column = x < 13 ? 0 : x < 27 ? 1 : 2;
            int row = y < 23 ? 0 : y < 32 ? 1 : 2;
            int piece = column + 3 * row;
            uint16_t expected = piece == 4 ? uint16_t{0x7777} : static_cast<uint16_t>(1 + piece);
            ASSERT_EQ(surface.At(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(surface.CountOutside(10, 20, 30, 35, 0x7777), 0);
}

TEST_F(GraphicsBitmap, NarrowTileBltOverlapsTheCorners)
{
    BitmapPtr frame = NineSlice();
    Surface surface(90, 0x7777);
    GRA_TileBlt(10, 20, 4, 9, frame.get());  // narrower than two corners
    // Left corners at 10..12, right corners drawn after them at 11..13.
    EXPECT_EQ(surface.At(10, 20), 1);
    EXPECT_EQ(surface.At(11, 20), 3);
    EXPECT_EQ(surface.At(13, 20), 3);
    EXPECT_EQ(surface.At(10, 26), 7);
    EXPECT_EQ(surface.At(13, 28), 9);
    // Middle rows only hold the stretched left and right edges.
    EXPECT_EQ(surface.At(10, 24), 4);
    EXPECT_EQ(surface.At(13, 24), 6);
    EXPECT_EQ(surface.CountOutside(10, 20, 14, 29, 0x7777), 0);
}

}  // namespace
