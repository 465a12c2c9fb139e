// Texts found on LCD pictures as the firmware draws them with its fonts.
#include "sim/frontend/LcdText.h"

#include <gtest/gtest.h>

namespace {

using namespace vrec::frontend;
using vrec::board::RgbImage;

// The picture a string makes on a background, by the same masks: ink in
// `ink`, outline in `edge`.
RgbImage Draw(const TextMask& mask, int x, int y, uint32_t background, uint32_t ink, uint32_t edge)
{
    RgbImage picture;
    picture.width = 320;
    picture.height = 240;
    picture.rgb.resize(320 * 240 * 3);
    auto put = [&picture](int px, int py, uint32_t rgb) {
        if (px < 0 || py < 0 || px >= 320 || py >= 240)
            return;
        uint8_t* p = &picture.rgb[(static_cast<size_t>(py) * 320 + px) * 3];
        p[0] = rgb >> 16 & 0xFF;
        p[1] = rgb >> 8 & 0xFF;
        p[2] = rgb & 0xFF;
    };
    for (int py = 0; py < 240; ++py)
        for (int px = 0; px < 320; ++px)
            put(px, py, background);
    for (const auto& [dx, dy] : mask.outline)
        put(x + dx, y + dy, edge);
    for (const auto& [dx, dy] : mask.ink)
        put(x + dx, y + dy, ink);
    return picture;
}

class LcdText : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The tests run in the program's folder, beside its fonts.
        std::string why;
        ASSERT_TRUE(LoadFontImage("font/" + FontFileName("a24"), font_, &why)) << why;
    }
    FontImage font_;
};

TEST_F(LcdText, FindsTheTimeFieldWhereItIsAndNowhereElse)
{
    TextMask five = MaskOf(font_, "05");
    ASSERT_FALSE(five.ink.empty());
    ASSERT_FALSE(five.outline.empty());
    RgbImage lcd = Draw(five, 208, 178, 0x969696, 0xFFFFFF, 0x000000);
    int x = 0, y = 0;
    EXPECT_TRUE(FindText(lcd, five, 0xFFFFFF, 208, 178, &x, &y));
    EXPECT_FALSE(FindText(lcd, five, 0xFFFFFF, 209, 178, &x, &y));
    EXPECT_TRUE(FindText(lcd, five, 0xFFFFFF, -1, -1, &x, &y));
    EXPECT_EQ(x, 208);
    EXPECT_EQ(y, 178);
    // Neighbouring digits are told apart.
    EXPECT_FALSE(FindText(lcd, MaskOf(font_, "06"), 0xFFFFFF, -1, -1, &x, &y));
    EXPECT_FALSE(FindText(lcd, MaskOf(font_, "08"), 0xFFFFFF, -1, -1, &x, &y));
    EXPECT_FALSE(FindText(lcd, MaskOf(font_, "00"), 0xFFFFFF, -1, -1, &x, &y));
}

TEST_F(LcdText, EdgedTextNeedsItsBlackOutlineAndPlainTextItsColour)
{
    TextMask rec = MaskOf(font_, "REC");
    int x = 0, y = 0;
    // A white patch of the picture is not white text.
    RgbImage white = Draw(rec, 40, 40, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
    EXPECT_FALSE(FindText(white, rec, 0xFFFFFF, 40, 40, &x, &y));
    // Black text on a white popup has no edge.
    RgbImage popup = Draw(rec, 40, 40, 0xF2F4F7, 0x000000, 0xF2F4F7);
    EXPECT_TRUE(FindText(popup, rec, 0x000000, 40, 40, &x, &y));
    EXPECT_FALSE(FindText(popup, rec, 0xFFFFFF, -1, -1, &x, &y));
}

}  // namespace
