// Every picture the GUI loads at start exists as a 24-bit BMP the firmware
// can read, with a size that fits where the screens draw it.
#include "tests/resources/BmpFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vrec::test::BmpFile;
using vrec::test::ReadBmp;

constexpr uint16_t kKey = 0xF81F;

BmpFile Load(const std::string& name)
{
    BmpFile bmp = ReadBmp(std::string(VREC_APP_ROOT) + "/img/" + name + ".bmp");
    EXPECT_TRUE(bmp.ok) << name << ": " << bmp.why;
    return bmp;
}

int CountKey(const BmpFile& bmp)
{
    int n = 0;
    for (int y = 0; y < bmp.height; ++y)
        for (int x = 0; x < bmp.width; ++x)
            n += bmp.Rgb565(x, y) == kKey;
    return n;
}

// The image files of the resource table, in loading order.
const std::vector<std::string>& TableFiles()
{
    static const std::vector<std::string> files = {
        "battery_0", "battery_1", "battery_2", "battery_3", "battery_4", "mode_movie", "mode_audio", "mode_photo",
        "popup", "selected", "scrollbar", "button", "dir_0", "dir_1", "type_dir", "type_audio", "type_error",
        "type_error_bg", "levelmeter_0", "levelmeter_1", "stat_play", "stat_pause", "stat_rec", "stat_rec_ready",
        "stat_stop", "stat_ff", "stat_rew", "icon_autorec", "icon_prerec", "icon_lowcut", "zoom", "icon_speed",
        "wavrec_bg_0", "wavrec_bg_1", "range_0", "range_1", "repeat_1", "repeat_2", "repeat_3", "divide", "menu_bg",
        "arrow_up", "arrow_down", "arrow_left", "arrow_right", "dotline_h", "dotline_v", "progress_0", "progress_1",
        "volume_0", "volume_1", "bigarrow_up", "bigarrow_down", "bigarrow_left", "bigarrow_right", "timer_2",
        "timer_10", "msg_0", "shutdown_bg", "usb_bg", "icon_autolevel", "icon_limiter", "WB_auto", "WB_incandescent",
        "WB_fluorescent", "WB_stagelight", "WB_sunlight", "WB_cloudy"};
    return files;
}

TEST(ResourceFiles, EveryTableFileIsAnUncompressed24BitBmpWithPixelsAtOffset54)
{
    for (const std::string& name : TableFiles()) {
        BmpFile bmp = Load(name);
        if (!bmp.ok)
            continue;
        EXPECT_EQ(bmp.bitsPerPixel, 24) << name;
        EXPECT_EQ(bmp.compression, 0u) << name;
        // The firmware reads pixels from byte 54 whatever the header says.
        EXPECT_EQ(bmp.dataOffset, 54u) << name;
        // Only the moving progress fill is wider than the screen.
        EXPECT_LE(bmp.width, name == "progress_1" ? 400 : 320) << name;
        EXPECT_LE(bmp.height, 240) << name;
    }
}

TEST(ResourceFiles, FullScreenPicturesCoverTheScreenAndAreOpaque)
{
    for (const char* name : {"shutdown_bg", "usb_bg", "menu_bg", "wavrec_bg_0", "wavrec_bg_1", "type_error_bg"}) {
        BmpFile bmp = Load(name);
        if (!bmp.ok)
            continue;
        EXPECT_EQ(bmp.width, 320) << name;
        EXPECT_EQ(bmp.height, 240) << name;
        EXPECT_EQ(CountKey(bmp), 0) << name << " would show the video through";
    }
}

TEST(ResourceFiles, HeaderIconsFitTheHeaderBand)
{
    // Mode icons at (1, 1) of the 24-pixel band; the sound label starts at x 27.
    for (const char* name : {"mode_movie", "mode_audio", "mode_photo"}) {
        BmpFile bmp = Load(name);
        EXPECT_LE(1 + bmp.height, 24) << name;
        EXPECT_LE(1 + bmp.width, 27) << name;
        EXPECT_GT(CountKey(bmp), 0) << name << " is drawn colour-keyed";
    }
    // Battery at (295, 5) in the band and in its 23 x 15 slot at (297, 1).
    for (int i = 0; i <= 4; ++i) {
        std::string name = "battery_" + std::to_string(i);
        BmpFile bmp = Load(name);
        EXPECT_LE(5 + bmp.height, 24) << name;
        EXPECT_LE(bmp.width, 23) << name;
        EXPECT_LE(bmp.height, 15) << name;
        EXPECT_GT(CountKey(bmp), 0) << name;
    }
    // The levels differ: each one is its own picture.
    for (int i = 0; i < 4; ++i) {
        BmpFile a = Load("battery_" + std::to_string(i)), b = Load("battery_" + std::to_string(i + 1));
        EXPECT_NE(a.bytes, b.bytes) << "battery_" << i << " and the next level look the same";
    }
}

// Nine-slice frames: the two fixed corner rows must fit the smallest box
// each is drawn into, or the corners overlap.
TEST(ResourceFiles, NineSliceFramesFitTheirSmallestBoxes)
{
    struct Frame { const char* name; int minWidth; int minHeight; };
    const Frame frames[] = {
        {"button", 104, 18},    // soft keys 104 x 18; also text highlights 20 high
        {"selected", 40, 20},   // popup rows 20 high, menu rows 25, date fields 26
        {"popup", 32, 14},      // a one-line timed message box is 14 high
    };
    for (const Frame& f : frames) {
        BmpFile bmp = Load(f.name);
        EXPECT_LE(2 * (bmp.height / 3), f.minHeight) << f.name;
        EXPECT_LE(2 * (bmp.width / 3), f.minWidth) << f.name;
        EXPECT_GE(bmp.width, 3) << f.name;
        EXPECT_GE(bmp.height, 3) << f.name;
        // The centre is filled: frames are drawn over the picture.
        EXPECT_NE(bmp.Rgb565(bmp.width / 2, bmp.height / 2), kKey) << f.name;
    }
    EXPECT_EQ(Load("button").height, 18) << "soft keys are 18 high: the button is drawn unscaled";
}

TEST(ResourceFiles, ScrollBarTrackStartsFourteenBelowTheTopAnd145Long)
{
    BmpFile bmp = Load("scrollbar");
    ASSERT_TRUE(bmp.ok);
    ASSERT_GE(bmp.height, 14 + 145);
    ASSERT_GE(bmp.width, 6);  // the thumb is filled at x + 3, 3 wide
    // The whole track under the thumb's column is drawn (not see-through).
    for (int y = 14; y < 14 + 145; ++y)
        for (int x = 3; x < 6; ++x)
            EXPECT_NE(bmp.Rgb565(x, y), kKey) << "track pixel " << x << "," << y;
    // Something is drawn above and below the track (the arrows).
    int above = 0, below = 0;
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < bmp.width; ++x)
            above += bmp.Rgb565(x, y) != kKey;
    for (int y = 14 + 145 + 1; y < bmp.height; ++y)
        for (int x = 0; x < bmp.width; ++x)
            below += bmp.Rgb565(x, y) != kKey;
    EXPECT_GT(above, 0);
    EXPECT_GT(below, 0);
    // It stays above the button bar when drawn at (303, 34).
    EXPECT_LE(34 + bmp.height, 220);
}

TEST(ResourceFiles, ProgressFillIsAtLeast31PixelsWiderThanTheBar)
{
    BmpFile empty = Load("progress_0"), full = Load("progress_1");
    ASSERT_TRUE(empty.ok && full.ok);
    EXPECT_GE(empty.width, 288);  // the widest bar drawn: 288 x 24
    EXPECT_GE(empty.height, 24);
    EXPECT_GE(full.width, empty.width + 31);
    EXPECT_GE(full.height, empty.height);
    // The fill moves one pixel per call: its pattern must repeat every 32
    // columns, or the animation jumps when the phase wraps.
    for (int y = 2; y < full.height - 2; ++y)
        for (int x = 0; x + 32 < full.width; ++x)
            ASSERT_EQ(full.Rgb565(x, y), full.Rgb565(x + 32, y)) << "column " << x << " row " << y;
    EXPECT_NE(full.Rgb565(0, 12), full.Rgb565(8, 12)) << "a fill without a pattern shows no movement";
}

TEST(ResourceFiles, LevelMeterBarsSpan162Pixels)
{
    BmpFile scale = Load("levelmeter_0"), lit = Load("levelmeter_1");
    ASSERT_TRUE(scale.ok && lit.ok);
    // Bars of 8 at x 10 and 22, the scale drawn at (2, 30), bars down to y 192.
    EXPECT_EQ(lit.height, 162);
    EXPECT_GE(lit.width, 8);
    EXPECT_GE(scale.height, 162);
    EXPECT_GE(2 + scale.width, 22 + 8);
    EXPECT_EQ(CountKey(lit), 0);
    // Loud is not quiet: the top of the lit bar has another colour than its foot.
    EXPECT_NE(lit.Rgb565(3, 0), lit.Rgb565(3, 160));
}

TEST(ResourceFiles, PlayerAndPopupPicturesFitTheirPlaces)
{
    struct Place { const char* name; int maxWidth; int maxHeight; };
    const Place places[] = {
        {"stat_play", 26, 22}, {"stat_pause", 26, 22}, {"stat_rec", 26, 22}, {"stat_rec_ready", 26, 22},
        {"stat_stop", 26, 22}, {"stat_ff", 26, 22}, {"stat_rew", 26, 22},
        {"zoom", 20, 20},                 // 20 x 20 slot at (218, 1)
        {"icon_lowcut", 34, 16},          // 34 x 16 slot at (285, 21)
        {"icon_autolevel", 48, 16}, {"icon_limiter", 48, 16},  // (236, 21), left of the low-cut slot
        {"icon_autorec", 47, 18}, {"icon_prerec", 47, 18},      // (35, 162) and (35, 180)
        {"icon_speed", 48, 20},           // (218, 1), its value at x 266
        {"WB_auto", 26, 22}, {"WB_incandescent", 26, 22}, {"WB_fluorescent", 26, 22},
        {"WB_stagelight", 26, 22}, {"WB_sunlight", 26, 22}, {"WB_cloudy", 26, 22},  // (270, 1), battery at 297
        {"timer_2", 32, 24}, {"timer_10", 32, 24},
        {"repeat_1", 30, 22}, {"repeat_2", 30, 22}, {"repeat_3", 30, 22}, {"divide", 30, 22},  // (36, 178)
        {"range_0", 8, 5}, {"range_1", 8, 5},  // y 183, inside the restored strip to y 187
        {"arrow_left", 8, 14}, {"arrow_right", 8, 14}, {"arrow_up", 12, 8}, {"arrow_down", 12, 8},
        {"bigarrow_up", 13, 18}, {"bigarrow_down", 13, 18}, {"bigarrow_left", 28, 18}, {"bigarrow_right", 20, 18},
        {"msg_0", 40, 32}, {"type_dir", 26, 26}, {"type_audio", 26, 26}, {"type_error", 26, 26},
        {"dir_0", 22, 20}, {"dir_1", 22, 20},
    };
    for (const Place& p : places) {
        BmpFile bmp = Load(p.name);
        EXPECT_LE(bmp.width, p.maxWidth) << p.name;
        EXPECT_LE(bmp.height, p.maxHeight) << p.name;
        int key = CountKey(bmp);
        EXPECT_LT(key, bmp.width * bmp.height) << p.name << " is empty";
    }
    // The volume bar shows (volume + 2) / 3 steps of 7 pixels: 84 at volume 35.
    for (const char* name : {"volume_0", "volume_1"}) {
        BmpFile bmp = Load(name);
        EXPECT_GE(bmp.width, 84) << name;
        EXPECT_GE(bmp.height, 38) << name;
    }
    EXPECT_NE(Load("volume_0").bytes, Load("volume_1").bytes);
    // Dotted separators of the menu and information pages.
    EXPECT_EQ(Load("dotline_h").height, 1);
    EXPECT_GE(Load("dotline_h").width, 186);
    EXPECT_EQ(Load("dotline_v").width, 1);
    EXPECT_GE(Load("dotline_v").height, 7 * 26);
}

}  // namespace
