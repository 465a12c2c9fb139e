// The LCD and HDMI pictures the board composes from the OSD frame buffers
// and the video planes.
#include "DrvLib/FrameBuffer.h"
#include "Middleware/GUI/Graphics.h"
#include "sim/board/Board.h"
#include "sim/board/Compositor.h"
#include "sim/board/Pixels.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

namespace {

using vrec::board::RgbImage;

struct Colour
{
    int r, g, b;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& out, const Colour& c)
{
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

Colour PixelOf(const RgbImage& image, int x, int y)
{
    const uint8_t* p = image.rgb.data() + (static_cast<size_t>(y) * image.width + x) * 3;
    return {p[0], p[1], p[2]};
}

const Colour kBlack = {0, 0, 0};
const Colour kWhite = {255, 255, 255};
const Colour kRed = {255, 0, 0};
const Colour kGreen = {0, 255, 0};
const Colour kMagenta = {255, 0, 255};

class Compositor : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        State().leds.backlight = 4;
    }

    static vrec::board::HardwareState& State() { return vrec::board::Board::Get().state(); }
    static std::string Root() { return vrec::test::BoardRoot(); }

    // Writes a bank of a frame buffer's memory and shows it as the device
    // would after an open and a pan.
    static void ShowOsd(int index, int width, int height, int bank,
                        const std::function<uint16_t(int x, int y)>& pixel)
    {
        std::string path = Root() + (index == 0 ? "/fb0.mem" : "/fb2.mem");
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        if (!file.is_open())
            file.open(path, std::ios::out | std::ios::binary);
        std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * width + x] = pixel(x, y);
        file.seekp(static_cast<std::streamoff>(bank) * width * height * 2);
        file.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 2));
        vrec::board::FrameBufferState& fb = State().display.fb[index];
        fb.xres = width;
        fb.yres = height;
        fb.xresVirtual = width;
        fb.yresVirtual = 2 * height;
        fb.lineLength = width * 2;
        fb.yoffset = bank * height;
        fb.windowEnabled = 1;
        fb.blanked = 0;
        fb.colorKey = 0xF81F;
        fb.colorKeyEnabled = 1;
    }

    // A cable, a sink and HDMI video of width x height in one UYVY colour.
    static void ConnectHdmi(int width, int height, uint8_t y)
    {
        State().hdmi.cable = 1;
        State().hdmi.sink = 1;
        State().display.hdmiVideoWidth = width;
        State().display.hdmiVideoHeight = height;
        VideoPlane("video-hdmi.plane", width, height, y, 128, 128);
    }

    // A plane of one UYVY colour.
    static void VideoPlane(const std::string& name, int width, int height, uint8_t y, uint8_t u, uint8_t v)
    {
        std::ofstream out(Root() + "/" + name, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < width * height / 2; ++i) {
            const char pair[4] = {static_cast<char>(u), static_cast<char>(y), static_cast<char>(v), static_cast<char>(y)};
            out.write(pair, 4);
        }
    }
};

TEST(Pixels, Rgb565ExpandsByRepeatingTheTopBits)
{
    auto rgb = [](uint16_t p) {
        vrec::board::Rgb c = vrec::board::Rgb565ToRgb(p);
        return Colour{c.r, c.g, c.b};
    };
    EXPECT_EQ(rgb(0xF800), kRed);
    EXPECT_EQ(rgb(0x07E0), kGreen);
    EXPECT_EQ(rgb(0x001F), (Colour{0, 0, 255}));
    EXPECT_EQ(rgb(0xFFFF), kWhite);
    EXPECT_EQ(rgb(0x8410), (Colour{132, 130, 132}));  // 16 -> 10000100, 32 -> 10000010
}

TEST(Pixels, UyvyUsesVideoRangeBt601)
{
    auto rgb = [](uint8_t y, uint8_t u, uint8_t v) {
        vrec::board::Rgb c = vrec::board::YuvToRgb(y, u, v);
        return Colour{c.r, c.g, c.b};
    };
    EXPECT_EQ(rgb(16, 128, 128), kBlack);
    EXPECT_EQ(rgb(235, 128, 128), kWhite);
    Colour red = rgb(81, 90, 240);
    EXPECT_GE(red.r, 253);
    EXPECT_LE(red.g, 2);
    EXPECT_LE(red.b, 2);
    // Each pixel of a pair has its own luma and shares the chroma.
    const uint8_t pair[4] = {128, 16, 128, 235};
    vrec::board::Rgb left = vrec::board::UyvyPixel(pair, 0);
    vrec::board::Rgb right = vrec::board::UyvyPixel(pair, 1);
    EXPECT_EQ(left.r, 0);
    EXPECT_EQ(right.r, 255);
}

TEST_F(Compositor, TheLcdIsDarkWithoutBacklight)
{
    ShowOsd(1, 240, 320, 1, [](int, int) { return uint16_t{0xFFFF}; });
    State().leds.backlight = 0;
    RgbImage lcd = vrec::board::ComposeLcd(Root(), State());
    ASSERT_EQ(lcd.width, 240);
    ASSERT_EQ(lcd.height, 320);
    EXPECT_EQ(PixelOf(lcd, 120, 160), kBlack);
    State().leds.backlight = 2;
    EXPECT_EQ(PixelOf(vrec::board::ComposeLcd(Root(), State()), 120, 160), kWhite);
}

TEST_F(Compositor, TheLcdShowsTheShownBankOverTheVideo)
{
    ShowOsd(1, 240, 320, 0, [](int, int) { return uint16_t{0x07E0}; });
    ShowOsd(1, 240, 320, 1, [](int x, int y) { return x == 10 && y == 20 ? uint16_t{0xF800} : uint16_t{0xF81F}; });
    VideoPlane("video-lcd.plane", 240, 320, 235, 128, 128);
    State().display.lcdVideoShown = 1;
    RgbImage lcd = vrec::board::ComposeLcd(Root(), State());
    EXPECT_EQ(PixelOf(lcd, 10, 20), kRed);
    EXPECT_EQ(PixelOf(lcd, 11, 20), kWhite);
    EXPECT_EQ(PixelOf(lcd, 239, 319), kWhite);

    State().display.fb[1].yoffset = 0;  // the other bank
    EXPECT_EQ(PixelOf(vrec::board::ComposeLcd(Root(), State()), 11, 20), kGreen);
}

TEST_F(Compositor, KeyWindowAndVideoStates)
{
    ShowOsd(1, 240, 320, 1, [](int x, int) { return x < 100 ? uint16_t{0xF81F} : uint16_t{0xF800}; });
    VideoPlane("video-lcd.plane", 240, 320, 235, 128, 128);
    State().display.lcdVideoShown = 0;
    RgbImage lcd = vrec::board::ComposeLcd(Root(), State());
    EXPECT_EQ(PixelOf(lcd, 50, 50), kBlack);  // no video under the key colour
    EXPECT_EQ(PixelOf(lcd, 150, 50), kRed);

    State().display.lcdVideoShown = 1;
    State().display.fb[1].colorKeyEnabled = 0;
    lcd = vrec::board::ComposeLcd(Root(), State());
    EXPECT_EQ(PixelOf(lcd, 50, 50), kMagenta);  // keying off: the key colour is just a colour

    State().display.fb[1].windowEnabled = 0;
    lcd = vrec::board::ComposeLcd(Root(), State());
    EXPECT_EQ(PixelOf(lcd, 50, 50), kWhite);
    EXPECT_EQ(PixelOf(lcd, 150, 50), kWhite);

    State().display.fb[1].windowEnabled = 1;
    State().display.fb[1].blanked = 4;
    EXPECT_EQ(PixelOf(vrec::board::ComposeLcd(Root(), State()), 150, 50), kWhite);
}

TEST_F(Compositor, HdmiIsEmptyWithoutCableOrSink)
{
    EXPECT_TRUE(vrec::board::ComposeHdmi(Root(), State()).empty());
    State().hdmi.cable = 1;
    EXPECT_TRUE(vrec::board::ComposeHdmi(Root(), State()).empty());
    State().hdmi.sink = 1;
    RgbImage hdmi = vrec::board::ComposeHdmi(Root(), State());
    EXPECT_EQ(hdmi.width, 1280);
    EXPECT_EQ(hdmi.height, 720);
    State().hdmi.cable = 0;
    EXPECT_TRUE(vrec::board::ComposeHdmi(Root(), State()).empty());
}

TEST_F(Compositor, At720pTheZoomedOsdIsScaledToTheHeightAndCentred)
{
    ConnectHdmi(1280, 720, 235);
    ShowOsd(0, 640, 480, 1, [](int x, int y) {
        if (x == 10 && y == 5)
            return uint16_t{0xF800};
        return x < 320 && y < 240 ? uint16_t{0x07E0} : uint16_t{0xF81F};
    });
    State().display.fb[0].zoom = 1;
    State().display.fb[0].zoomVertical = 1;
    RgbImage hdmi = vrec::board::ComposeHdmi(Root(), State());
    ASSERT_EQ(hdmi.width, 1280);
    ASSERT_EQ(hdmi.height, 720);
    // Window pixel = (X - 160) * 2 / 3, Y * 2 / 3; frame-buffer pixel = half
    // of that. fb (10, 5) covers window 20..21 x 10..11: X 190..192, Y 15..17.
    EXPECT_EQ(PixelOf(hdmi, 191, 16), kRed);
    EXPECT_EQ(PixelOf(hdmi, 190, 15), kRed);
    EXPECT_EQ(PixelOf(hdmi, 192, 17), kRed);
    EXPECT_EQ(PixelOf(hdmi, 189, 16), kGreen);
    EXPECT_EQ(PixelOf(hdmi, 193, 16), kGreen);
    EXPECT_EQ(PixelOf(hdmi, 191, 18), kGreen);
    // The GUI's 320 x 240 fills the window, 960 x 720 from X = 160.
    EXPECT_EQ(PixelOf(hdmi, 160, 0), kGreen);
    EXPECT_EQ(PixelOf(hdmi, 1119, 719), kGreen);
    EXPECT_EQ(PixelOf(hdmi, 159, 300), kWhite);
    EXPECT_EQ(PixelOf(hdmi, 1120, 300), kWhite);

    State().hdmi.muted = 1;
    EXPECT_EQ(PixelOf(vrec::board::ComposeHdmi(Root(), State()), 191, 16), kBlack);
}

TEST_F(Compositor, At640x480TheOsdCoversThePicture)
{
    ConnectHdmi(640, 480, 16);
    ShowOsd(0, 640, 480, 0, [](int x, int y) { return x == 10 && y == 5 ? uint16_t{0xF800} : uint16_t{0xF81F}; });
    State().display.fb[0].zoom = 1;
    State().display.fb[0].zoomVertical = 1;
    RgbImage hdmi = vrec::board::ComposeHdmi(Root(), State());
    ASSERT_EQ(hdmi.width, 640);
    ASSERT_EQ(hdmi.height, 480);
    EXPECT_EQ(PixelOf(hdmi, 20, 10), kRed);
    EXPECT_EQ(PixelOf(hdmi, 21, 11), kRed);
    EXPECT_EQ(PixelOf(hdmi, 22, 11), kBlack);
    EXPECT_EQ(PixelOf(hdmi, 19, 10), kBlack);
}

TEST_F(Compositor, WhatTheFirmwareDrawsAppearsRotatedOnThePanel)
{
    ASSERT_EQ(GRA_Init(), 1);
    FB_ChgVram(1, 240, 320, 0);
    FB_SetEnable(1);
    ASSERT_EQ(FB_Init(), 1);
    GRA_Clear();
    GRA_SetPixel(0, 0, 0xF800);      // logical top-left
    GRA_SetPixel(319, 239, 0x07E0);  // logical bottom-right
    ASSERT_EQ(FB_Flip(), 1);
    RgbImage lcd = vrec::board::ComposeLcd(Root(), State());
    EXPECT_EQ(PixelOf(lcd, 239, 0), kRed);
    EXPECT_EQ(PixelOf(lcd, 0, 319), kGreen);
    EXPECT_EQ(PixelOf(lcd, 120, 160), kBlack);  // transparent, no video
    FB_Exit();
}

}  // namespace
