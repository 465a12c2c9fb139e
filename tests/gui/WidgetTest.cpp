// The shared widgets as they appear on the LCD, and the resource loading.
#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Lib/Common.h"
#include "tests/gui/GuiFixture.h"
#include "tests/support/BoxAnswerer.h"

#include <atomic>
#include <thread>

#include <unistd.h>

using namespace vrec::test;
using vrec::board::Rgb;
using vrec::board::RgbImage;

namespace {

constexpr uint16_t kBackground = 0x0841;  // a dark grey no resource uses

class WidgetTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_Msp430_bAdapterConnect = 0;
        g_Msp430_nBatteryLevel = 6;
        SetActionMode(ACTION_MODE_MOVIE);
        Clear();
    }
    static void Clear() { GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, kBackground); }
    // Shows what was drawn and reads it off the panel.
    RgbImage Show()
    {
        FB_Flip();
        RgbImage lcd = Lcd();
        Clear();
        return lcd;
    }
    static bool IsBackground(const RgbImage& lcd, int x, int y) { return Same(At(lcd, x, y), Shown(kBackground)); }
    // Rows (or columns) of a line that differ from the background.
    static int ChangedInRow(const RgbImage& lcd, int y, int x0, int x1)
    {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            n += !IsBackground(lcd, x, y);
        return n;
    }
    static int ChangedInColumn(const RgbImage& lcd, int x, int y0, int y1)
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            n += !IsBackground(lcd, x, y);
        return n;
    }
    static bool ShowsBitmap(const RgbImage& lcd, const BITMAP* bmp, int x, int y)
    {
        for (int j = 0; j < bmp->nHeight; ++j)
            for (int i = 0; i < bmp->nWidth; ++i) {
                uint16_t p = bmp->aPixels[j * bmp->nWidth + i];
                if (p != 0xF81F && !Same(At(lcd, x + i, y + j), Shown(p)))
                    return false;
            }
        return true;
    }
    static int TextWidth(const char* text, unsigned char* font)
    {
        int w = 0, h = 0;
        GRA_CalcStringS(&w, &h, text, font, nullptr);
        return w;
    }
};

TEST_F(WidgetTest, HeaderBandTitleAndIcons)
{
    DrawHeader("MENU");
    RgbImage lcd = Show();
    EXPECT_EQ(ChangedInColumn(lcd, 60, 0, 24), 24);
    EXPECT_TRUE(Same(At(lcd, 60, 0), Shown(GUI_COLOR_HEADER)));
    EXPECT_TRUE(Same(At(lcd, 319, 23), Shown(GUI_COLOR_HEADER)));
    EXPECT_TRUE(IsBackground(lcd, 60, 24));
    // The title in white with its dark edge, centred.
    int w = TextWidth("MENU", g_pFont_a24);
    int left = (320 - w) / 2;
    EXPECT_GT(CountNear(lcd, left, 2, w, 20, Shown(0xFFFF), 20), 30);
    EXPECT_GT(CountNear(lcd, left - 4, 0, w + 8, 24, Shown(GUI_COLOR_HEADER_EDGE), 20), 10);
    EXPECT_EQ(CountNear(lcd, 30, 2, left - 40, 20, Shown(0xFFFF), 20), 0);
    EXPECT_TRUE(ShowsBitmap(lcd, g_pBmp_mode_movie, 1, 1));
    EXPECT_TRUE(ShowsBitmap(lcd, g_pBmp_battery[6], 295, 5));

    SetActionMode(ACTION_MODE_SOUND);
    DrawHeader("MENU");
    lcd = Show();
    EXPECT_TRUE(ShowsBitmap(lcd, g_pBmp_mode_audio, 1, 1));
    SetActionMode(ACTION_MODE_PHOTO);
    DrawHeader("MENU", 1);  // no icons
    lcd = Show();
    EXPECT_FALSE(ShowsBitmap(lcd, g_pBmp_mode_photo, 1, 1));
    EXPECT_TRUE(Same(At(lcd, 5, 5), Shown(GUI_COLOR_HEADER)));
    EXPECT_TRUE(Same(At(lcd, 305, 12), Shown(GUI_COLOR_HEADER)));
}

TEST_F(WidgetTest, ButtonsSitInTheirThreeSlots)
{
    DrawButton(0, "SET");
    DrawButton(2, "CANCEL");
    EXPECT_EQ(DrawButton(3, "NONE"), 0);
    RgbImage lcd = Show();
    // 2..105 and 214..317, whose outermost columns may be see-through.
    EXPECT_GE(ChangedInRow(lcd, 229, 0, 320), 204);
    EXPECT_LE(ChangedInRow(lcd, 229, 0, 320), 208);
    EXPECT_TRUE(IsBackground(lcd, 1, 229));
    EXPECT_FALSE(IsBackground(lcd, 3, 229));
    EXPECT_FALSE(IsBackground(lcd, 104, 229));
    EXPECT_TRUE(IsBackground(lcd, 106, 229));
    EXPECT_TRUE(IsBackground(lcd, 160, 229));
    EXPECT_FALSE(IsBackground(lcd, 215, 229));
    EXPECT_EQ(ChangedInColumn(lcd, 20, 200, 240), 18);  // 220..237
    // Black labels centred in the slot.
    int w = TextWidth("CANCEL", g_pFont_f16);
    EXPECT_GT(CountNear(lcd, 214 + (104 - w) / 2, 221, w, 16, Shown(0), 40), 20);
    EXPECT_EQ(CountNear(lcd, 218, 221, (104 - w) / 2 - 8, 16, Shown(0), 40), 0);
}

TEST_F(WidgetTest, ScrollBarThumbLengthAndPosition)
{
    auto thumb = [this](int total, int visible, int first, int* top, int* length) {
        DrawScrollBar(300, 30, total, visible, first);
        RgbImage lcd = Show();
        *top = -1;
        *length = 0;
        for (int y = 30; y < 240; ++y)
            if (Same(At(lcd, 304, y), Shown(GUI_COLOR_SCROLL_THUMB))) {
                if (*top < 0)
                    *top = y;
                ++*length;
            }
    };
    int top, length;
    thumb(10, 10, 0, &top, &length);
    EXPECT_EQ(top, 44);
    EXPECT_EQ(length, 145);
    thumb(1000, 5, 0, &top, &length);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(top, 44);
    thumb(1000, 5, 995, &top, &length);
    EXPECT_EQ(top, 44 + 142);
    thumb(20, 7, 13, &top, &length);
    EXPECT_EQ(length, 145 * 7 / 20);
    EXPECT_EQ(top + length, 44 + 145);
    thumb(0, 7, 0, &top, &length);
    EXPECT_EQ(length, 0);  // only the track
}

TEST_F(WidgetTest, PopupIsAsWideAsItsWidestItemPlus32)
{
    const char* a[] = {"Delete", "Divide and keep", "Play"};
    const char* b[] = {"Play", "Delete", "Divide and keep"};
    int width = TextWidth("Divide and keep", g_pFont_a20) + 32;
    for (const char** items : {a, b}) {
        DrawPopupMenu(40, 50, items, 3, 1, nullptr);
        RgbImage lcd = Show();
        // Measured through the middle, away from the rounded corners.
        EXPECT_EQ(ChangedInRow(lcd, 50 + 34, 0, 320), width);
        EXPECT_FALSE(IsBackground(lcd, 40 + width - 1, 84));
        EXPECT_TRUE(IsBackground(lcd, 40 + width, 84));
        EXPECT_EQ(ChangedInColumn(lcd, 40 + width / 2, 0, 240), 20 * 3 + 8);
    }
}

TEST_F(WidgetTest, PopupTitleDoesNotWidenItAndMovesTheItemsDown)
{
    const char* items[] = {"OK", "Cancel", nullptr};
    DrawPopupMenu(100, 50, items, -1, 0, "A title far wider than the items");
    RgbImage lcd = Show();
    int width = TextWidth("Cancel", g_pFont_a20) + 32;
    EXPECT_EQ(ChangedInColumn(lcd, 100 + width / 2, 0, 240), 20 * 2 + 8 + 20);
    // The overhanging title is drawn outside the box.
    EXPECT_GT(CountNear(lcd, 40, 54, 60, 16, Shown(0), 40), 5);
    // Selection bar on the first item, 24 below the top.
    Rgb bar = At(lcd, 106, 50 + 24 + 10);
    EXPECT_GT(bar.b, 150);
    EXPECT_FALSE(Same(At(lcd, 106, 50 + 44 + 10), bar));
    EXPECT_TRUE(IsBackground(lcd, 100 + width, 90));
}

TEST_F(WidgetTest, ConfirmOfThreeLinesIsA74PixelBoxAtTheBottom)
{
    DrawConfirm("one\ntwo\nthree", "YES", "NO");
    RgbImage lcd = Show();
    EXPECT_TRUE(IsBackground(lcd, 160, 165));
    EXPECT_FALSE(IsBackground(lcd, 160, 166));
    EXPECT_GE(ChangedInRow(lcd, 180, 0, 320), 318);
    // Buttons in slots 0 and 2, none in the middle.
    Rgb face = At(lcd, 160, 229);
    EXPECT_FALSE(Same(At(lcd, 7, 229), face));
    EXPECT_TRUE(Same(At(lcd, 7, 229), At(lcd, 219, 229)));
    // Lines 14 apart from 4 below the top, in black.
    for (int line = 0; line < 3; ++line)
        EXPECT_GT(CountNear(lcd, 100, 166 + 4 + 14 * line + 2, 120, 10, Shown(0), 60), 3) << line;
}

TEST_F(WidgetTest, ConfirmWithoutLabelsHasNoButtons)
{
    DrawConfirm("\nFormat OK.\n\n\x07  ENTER  \x07", "", "");
    RgbImage lcd = Show();
    int top = 240 - (14 * 4 + 32);
    EXPECT_TRUE(IsBackground(lcd, 160, top - 1));
    EXPECT_FALSE(IsBackground(lcd, 160, top));
    Rgb face = At(lcd, 10, 229);
    EXPECT_TRUE(Same(At(lcd, 300, 229), face));
    // The key cap of ENTER is the button frame behind the word.
    int w = TextWidth("  ENTER  ", g_pFont_a20);
    Rgb cap = At(lcd, (320 - w) / 2 + 2, top + 4 + 14 * 3 + 10);
    EXPECT_FALSE(Same(cap, face));
}

TEST_F(WidgetTest, MessageIconShowsLeftOfTheTextAndItsCodeIsNotDrawn)
{
    DrawConfirm("\x08" "0Card error", "", "");
    RgbImage withIcon = Show();
    DrawConfirm("Card error", "", "");
    RgbImage plain = Show();
    int m = TextWidth("Card error", g_pFont_a20);
    int top = 240 - (14 + 32);
    int x = 156 - g_pBmp_msg[0]->nWidth - m / 2;
    EXPECT_TRUE(ShowsBitmap(withIcon, g_pBmp_msg[0], x, top + 10));
    EXPECT_FALSE(ShowsBitmap(plain, g_pBmp_msg[0], x, top + 10));
    // The text is the same in both: the two leading bytes drew nothing.
    for (int y = top + 4; y < top + 20; ++y)
        for (int i = x + g_pBmp_msg[0]->nWidth; i < 320; ++i)
            ASSERT_TRUE(Same(At(withIcon, i, y), At(plain, i, y))) << i << "," << y;
}

TEST_F(WidgetTest, TimedMessageIsCentredWithoutButtons)
{
    DrawConfirmTimer("\nHOLD ON!\n\n");
    RgbImage lcd = Show();
    int height = 14 * 4;
    int top = (240 - height) / 2;
    EXPECT_TRUE(IsBackground(lcd, 160, top - 1));
    EXPECT_FALSE(IsBackground(lcd, 160, top));
    EXPECT_FALSE(IsBackground(lcd, 160, top + height - 1));
    EXPECT_TRUE(IsBackground(lcd, 160, top + height));
    EXPECT_TRUE(IsBackground(lcd, 29, 120));
    EXPECT_FALSE(IsBackground(lcd, 30, 120));
    EXPECT_FALSE(IsBackground(lcd, 289, 120));
    EXPECT_TRUE(IsBackground(lcd, 290, 120));
    EXPECT_TRUE(IsBackground(lcd, 10, 229));
}

TEST_F(WidgetTest, ProgressBarFillsByPercentAndMovesItsPattern)
{
    // Columns of the bar that show the filled picture, at one phase.
    auto filledColumns = [this](int percent) {
        DrawProgressBar(16, 120, 288, 24, percent);
        RgbImage lcd = Show();
        int last = -1;
        for (int x = 0; x < 288; ++x)
            if (!Same(At(lcd, 16 + x, 132), Shown(g_pBmp_progress[0]->aPixels[12 * g_pBmp_progress[0]->nWidth + x])))
                last = x;
        return last + 1;
    };
    int half = filledColumns(50);
    EXPECT_LE(half, 144);
    EXPECT_GT(half, 120);
    EXPECT_EQ(filledColumns(0), 0);
    EXPECT_GT(filledColumns(150), 280);  // above 100 is the full bar
    EXPECT_LE(filledColumns(150), 288);

    // Successive calls shift the pattern by one pixel.
    DrawProgressBar(16, 120, 288, 24, 100);
    RgbImage first = Show();
    DrawProgressBar(16, 120, 288, 24, 100);
    RgbImage second = Show();
    int shifted = 0;
    for (int x = 17; x < 300; ++x)
        shifted += Same(At(second, x, 132), At(first, x - 1, 132));
    EXPECT_GT(shifted, 270);
}

TEST_F(WidgetTest, BatteryIconByLevelAdapterAndBlink)
{
    g_Msp430_nBatteryLevel = 0;
    EXPECT_EQ(DrawBatteryIcon(100, 100), 1);
    RgbImage lcd = Show();
    EXPECT_EQ(ChangedInRow(lcd, 107, 90, 140), 0);

    g_Msp430_bAdapterConnect = 1;
    DrawBatteryIcon(100, 100);
    lcd = Show();
    EXPECT_TRUE(ShowsBitmap(lcd, g_pBmp_battery[6], 100, 100));
    g_Msp430_bAdapterConnect = 0;

    for (int level = 2; level <= 7; ++level) {
        g_Msp430_nBatteryLevel = level;
        DrawBatteryIcon(100, 100);
        lcd = Show();
        EXPECT_TRUE(ShowsBitmap(lcd, g_pBmp_battery[level > 6 ? 6 : level], 100, 100)) << level;
    }

    // Level 1 blinks: on and off for at least 500 ms each.
    HoldClock();
    g_Msp430_nBatteryLevel = 1;
    std::vector<int> phases;
    for (int t = 0; t < 2000; t += 100) {
        phases.push_back(DrawBatteryIcon(100, 100));
        Advance(100);
    }
    // The first draw toggles it on, then every 500 ms it toggles again.
    std::vector<int> expected;
    for (int run = 0; run < 4; ++run)
        expected.insert(expected.end(), 5, run % 2 == 0 ? 1 : 0);
    EXPECT_EQ(phases, expected);
    Clear();
    Advance(500);
    int shown = DrawBatteryIcon(100, 100);
    lcd = Show();
    EXPECT_EQ(ShowsBitmap(lcd, g_pBmp_battery[1], 100, 100), shown == 1);
}

// Loading stops the program at the first missing file. (No resources are
// loaded before, so that nothing loaded is lost when the program ends.)
class ResourceLoadTest : public BoardTest
{
};

TEST_F(ResourceLoadTest, AMissingImageEndsTheProgramWithItsName)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // A working directory with the fonts but without the images.
            std::string dir = BoardRoot() + "/noimages";
            std::string command = "mkdir -p " + dir + " && cp -r " VREC_APP_ROOT "/font " + dir;
            if (system(command.c_str()) != 0 || chdir(dir.c_str()) != 0)
                _exit(5);
            dup2(2, 1);  // the message goes to standard output
            GUI_Init();
            _exit(6);
        },
        testing::ExitedWithCode(1), "\\*+ load img/battery_0.bmp failed\\. ");
}

}  // namespace

namespace {

class CardFormatPictureTest : public GuiTest
{
};

TEST_F(CardFormatPictureTest, FormattingShowsItsMessageAndAGrowingBar)
{
    BoxAnswerer boxes;
    std::atomic<bool> done{false};
    std::thread gui([&] {
        FormatSdCard();
        done = true;
    });
    // Bar columns that differ from the empty bar, seen while the format runs.
    int firstFill = -1;
    int lastFill = -1;
    bool sawText = false;
    while (!done) {
        RgbImage lcd = Lcd();
        if (CountNear(lcd, 40, 90, 240, 20, Shown(0xFFFF), 30) > 50 && Same(At(lcd, 8, 130), Shown(0))) {
            sawText = true;
            int fill = 0;
            for (int x = 0; x < 288; ++x)
                if (!Same(At(lcd, 16 + x, 132), Shown(g_pBmp_progress[0]->aPixels[12 * g_pBmp_progress[0]->nWidth + x])))
                    fill = x + 1;
            if (firstFill < 0)
                firstFill = fill;
            lastFill = std::max(lastFill, fill);
        }
        usleep(50 * 1000);
    }
    gui.join();
    EXPECT_TRUE(sawText);
    EXPECT_GT(lastFill, firstFill);
    EXPECT_GT(lastFill, 250);  // the bar runs up to 100 before "Format OK."
    EXPECT_TRUE(boxes.Saw("Format OK."));
}

}  // namespace
