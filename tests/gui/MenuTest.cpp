// The menu screen: navigation on its three levels, the actions of the Setup
// group, every value applied at once, and what it draws.
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"
#include "tests/gui/GuiFixture.h"
#include "tests/support/BoxAnswerer.h"

#include <string>

using namespace vrec::test;
using vrec::board::Rgb;
using vrec::board::RgbImage;

namespace {

enum
{
    INPUT_SETTING = 0,
    REC_OPTION = 1,
    PLAY_OPTION = 2,
    PB_CONTROL = 3,
    REC_QUALITY = 4,
    SETUP = 5,
    PLAY_LIST = 6,
    BROWSE = 7,
};

class MenuTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_bRecorder = 0;
        g_bMenuInputSetting = 0;
        g_bMenuRecSetting = 0;
        SetActionMode(ACTION_MODE_MOVIE);
        g_ScreenManager.SetActive("menu", 1);
    }

    static int Press(unsigned long mask) { return g_ScreenManager.OnButtonPress(mask); }
    static void Press(unsigned long mask, int times)
    {
        for (int i = 0; i < times; ++i)
            Press(mask);
    }
    static MENU_INFO* Menu() { return GetMenuInfo(); }
    static MENU_GROUP& Group(int n) { return Menu()->aGroup[n]; }
    static int Level() { return screen_menu::m_nLevel; }

    // Opens a group's item list from the grid and highlights item n.
    static void OpenItem(int group, int n)
    {
        Menu()->nSelectedGroup = group;
        Press(KEY_ENTER);
        ASSERT_EQ(Level(), MENU_LEVEL_ITEMS);
        Press(KEY_DOWN, n);
    }
    // Opens the editor of item n of a group.
    static void Edit(int group, int n)
    {
        OpenItem(group, n);
        Press(KEY_ENTER);
        ASSERT_EQ(Level(), MENU_LEVEL_EDIT);
    }
    static std::string Stored(const std::string& key)
    {
        char text[NVRAM_TEXT_SIZE];
        NVRAM_Get(key.c_str(), text);
        return text;
    }
    static std::string Shows(const std::string& key)
    {
        char text[128];
        GetParameter(key.c_str(), text);
        return text;
    }
    RgbImage Drawn()
    {
        g_ScreenManager.OnDraw500ms(1);
        return Lcd();
    }
    // Pixels of a colour-keyed bitmap found at (x, y) of the LCD.
    static int Matching(const RgbImage& lcd, const BITMAP* bmp, int x, int y, int* opaque)
    {
        int same = 0;
        *opaque = 0;
        for (int j = 0; j < bmp->nHeight; ++j)
            for (int i = 0; i < bmp->nWidth; ++i) {
                uint16_t p = bmp->aPixels[j * bmp->nWidth + i];
                if (p == 0xF81F)
                    continue;
                ++*opaque;
                if (Same(At(lcd, x + i, y + j), Shown(p)))
                    ++same;
            }
        return same;
    }
    static bool Shows(const RgbImage& lcd, const BITMAP* bmp, int x, int y)
    {
        int opaque = 0;
        return Matching(lcd, bmp, x, y, &opaque) == opaque;
    }
};

// ---- Navigation -------------------------------------------------------------------

TEST_F(MenuTest, GridMovesWithinColumnsAndBetweenThem)
{
    EXPECT_EQ(Level(), MENU_LEVEL_GROUPS);
    EXPECT_EQ(Menu()->nSelectedGroup, 0);
    Press(KEY_UP);
    Press(KEY_LEFT);
    EXPECT_EQ(Menu()->nSelectedGroup, 0);  // top of the left column
    Press(KEY_DOWN, 5);
    EXPECT_EQ(Menu()->nSelectedGroup, 3);  // bottom of the column
    Press(KEY_RIGHT);
    EXPECT_EQ(Menu()->nSelectedGroup, 7);
    Press(KEY_RIGHT);
    Press(KEY_DOWN);
    EXPECT_EQ(Menu()->nSelectedGroup, 7);
    Press(KEY_UP, 4);
    EXPECT_EQ(Menu()->nSelectedGroup, 4);
    Press(KEY_LEFT);
    EXPECT_EQ(Menu()->nSelectedGroup, 0);
}

TEST_F(MenuTest, EnterOpensAGroupAndMenuOrLeftGoesBack)
{
    Menu()->nSelectedGroup = SETUP;
    EXPECT_EQ(Press(KEY_ENTER), 1);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
    Press(KEY_LEFT);
    EXPECT_EQ(Level(), MENU_LEVEL_GROUPS);
    Press(KEY_ENTER);
    Press(KEY_MENU);
    EXPECT_EQ(Level(), MENU_LEVEL_GROUPS);
    Press(KEY_MENU);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "player");
}

TEST_F(MenuTest, F3GoesHomeFromEveryLevel)
{
    for (int level = 0; level < 3; ++level) {
        g_ScreenManager.SetActive("menu", 1);
        if (level >= 1)
            OpenItem(SETUP, 0);
        if (level == 2)
            Press(KEY_ENTER);
        ASSERT_EQ(Level(), level);
        Press(KEY_F3);
        EXPECT_STREQ(g_ScreenManager.GetActive(), "player") << "level " << level;
    }
}

TEST_F(MenuTest, PlayListAndBrowseTilesOpenTheBrowseScreen)
{
    Menu()->nSelectedGroup = PLAY_LIST;
    EXPECT_EQ(Press(KEY_ENTER), 0);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "browse");
    EXPECT_EQ(g_bPlaylist, 1);
    g_ScreenManager.SetActive("menu", 1);
    Menu()->nSelectedGroup = BROWSE;
    Press(KEY_ENTER);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "browse");
    EXPECT_EQ(g_bPlaylist, 0);
}

TEST_F(MenuTest, OpenedFromThePlayerInRecOptionLeftReturnsToThePlayer)
{
    g_bRecorder = 1;
    g_bMenuRecSetting = 1;
    g_ScreenManager.SetActive("menu", 1);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
    EXPECT_EQ(Menu()->nSelectedGroup, REC_OPTION);
    Press(KEY_LEFT);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "player");
    EXPECT_EQ(g_bMenuRecSetting, 0);
    // The player's keys repeat as it expects in the recorder.
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[10], 100u);  // UP
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[9], 100u);   // W
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[8], 100u);   // T
}

TEST_F(MenuTest, OpenedInInputSettingMenuFromTheEditorReturnsToThePlayer)
{
    g_bMenuInputSetting = 1;
    g_ScreenManager.SetActive("menu", 1);
    EXPECT_EQ(Menu()->nSelectedGroup, INPUT_SETTING);
    Press(KEY_ENTER);
    ASSERT_EQ(Level(), MENU_LEVEL_EDIT);
    Press(KEY_MENU);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "player");
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[9], 0u);  // W off in the player
    // A normal opening starts at the grid again.
    g_ScreenManager.SetActive("menu", 1);
    EXPECT_EQ(Level(), MENU_LEVEL_GROUPS);
}

TEST_F(MenuTest, SetupListScrollsByOneBelowTheSeventhRow)
{
    OpenItem(SETUP, 6);
    EXPECT_EQ(Group(SETUP).nCursor, 6);
    EXPECT_EQ(Group(SETUP).nScroll, 0);
    RgbImage lcd = Drawn();
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_down, 181, 205));  // more below
    EXPECT_FALSE(Shows(lcd, g_pBmp_arrow_up, 181, 24));
    Press(KEY_DOWN);
    EXPECT_EQ(Group(SETUP).nScroll, 1);
    Press(KEY_DOWN);
    Press(KEY_DOWN);  // nothing below the ninth item
    EXPECT_EQ(Group(SETUP).nScroll, 2);
    EXPECT_EQ(Group(SETUP).nCursor, 6);
    lcd = Drawn();
    Snap("menu-setup-scrolled");
    EXPECT_FALSE(Shows(lcd, g_pBmp_arrow_down, 181, 205));
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_up, 181, 24));
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_right, 183, 32 + 26 * 6));
    Press(KEY_UP, 7);
    EXPECT_EQ(Group(SETUP).nCursor, 0);
    EXPECT_EQ(Group(SETUP).nScroll, 1);
}

TEST_F(MenuTest, PositionSurvivesLeavingAndComingBack)
{
    OpenItem(SETUP, 3);
    Press(KEY_MENU);
    Press(KEY_MENU);  // to the player
    g_ScreenManager.SetActive("menu", 1);
    EXPECT_EQ(Menu()->nSelectedGroup, SETUP);
    Press(KEY_ENTER);
    EXPECT_EQ(Group(SETUP).nCursor, 3);
}

TEST_F(MenuTest, AutoRecItemsAreClosedInTheRecorderAndRepeatInPhotoMode)
{
    g_bRecorder = 1;
    OpenItem(REC_OPTION, 3);  // AUTO REC LEVEL
    EXPECT_EQ(Press(KEY_ENTER), 0);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
    Press(KEY_UP);  // AUTO REC MODE
    EXPECT_EQ(Press(KEY_RIGHT), 0);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
    g_bRecorder = 0;
    Press(KEY_RIGHT);
    EXPECT_EQ(Level(), MENU_LEVEL_EDIT);

    g_ScreenManager.SetActive("menu", 1);
    SetActionMode(ACTION_MODE_PHOTO);
    OpenItem(PLAY_OPTION, 1);  // REPEAT
    EXPECT_EQ(Press(KEY_ENTER), 0);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
}

// ---- Values ---------------------------------------------------------------------------

TEST_F(MenuTest, SampleRateIsAppliedInTheEditorBeforeEnter)
{
    Edit(REC_QUALITY, 1);
    Press(KEY_DOWN);
    EXPECT_EQ(g_nAudioFreq, 48000);
    EXPECT_EQ(Stored("/REC Quality/SAMPLE RATE"), "48000");
    EXPECT_EQ(Shows("/REC Quality/SAMPLE RATE"), "48kHz");
    Press(KEY_DOWN, 2);
    EXPECT_EQ(g_nAudioFreq, 96000);  // the last choice stays
    Press(KEY_UP);
    Press(KEY_ENTER);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
    EXPECT_EQ(g_nAudioFreq, 48000);
    EXPECT_EQ(Stored("/REC Quality/SAMPLE RATE"), "48000");
}

TEST_F(MenuTest, SoundFormatAndIndexedChoices)
{
    Edit(REC_QUALITY, 0);
    Press(KEY_DOWN);
    EXPECT_EQ(g_nAudioBits, 24);
    Press(KEY_LEFT);
    Press(KEY_MENU);
    Press(KEY_UP);
    Edit(INPUT_SETTING, 0);  // MIC GAIN: choices without values
    Press(KEY_UP);
    EXPECT_EQ(Shows("/Input Setting/MIC GAIN"), "LOW");
    Press(KEY_DOWN);
    EXPECT_EQ(Shows("/Input Setting/MIC GAIN"), "MID");
    EXPECT_EQ(Stored("/Input Setting/MIC GAIN"), "1");
}

TEST_F(MenuTest, AValueWithoutAChoiceStartsAtTheFirstChoice)
{
    Edit(REC_OPTION, 3);  // AUTO REC LEVEL: 0 is none of -48..-6
    EXPECT_EQ(screen_menu::GetChoiceIndex(&Group(REC_OPTION).aItem[3]), -1);
    Press(KEY_UP);
    EXPECT_EQ(GetParameter("/Rec Option/AUTO REC LEVEL", nullptr), 0.0f);
    Press(KEY_DOWN);
    EXPECT_EQ(GetParameter("/Rec Option/AUTO REC LEVEL", nullptr), -48.0f);
}

TEST_F(MenuTest, SpeedRangeStepsAndEndsExactly)
{
    SetParameter("/GLOBAL/ENABLE SPEED", 1.0f);
    Edit(PB_CONTROL, 0);
    Press(KEY_UP, 12);
    EXPECT_EQ(Stored("/PB Control/SPEED"), "1.500000");
    EXPECT_EQ(Shows("/PB Control/SPEED"), "x 1.5");
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), 150);
    Press(KEY_DOWN, 3);
    EXPECT_EQ(Shows("/PB Control/SPEED"), "x 1.2");
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), 120);
    Press(KEY_DOWN, 20);
    EXPECT_EQ(Stored("/PB Control/SPEED"), "0.500000");

    // With the speed control off the filter is left alone.
    SetParameter("/GLOBAL/ENABLE SPEED", 0.0f);
    Press(KEY_UP);
    EXPECT_EQ(Shows("/PB Control/SPEED"), "x 0.6");
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), 50);
}

TEST_F(MenuTest, SlideShowRangeStopsAtItsEnds)
{
    Edit(PLAY_OPTION, 2);
    Press(KEY_DOWN, 5);
    EXPECT_EQ(Shows("/Play Option/SLIDE SHOW"), "1 sec");
    Press(KEY_UP, 15);
    EXPECT_EQ(Shows("/Play Option/SLIDE SHOW"), "10 sec");
    EXPECT_EQ(Stored("/Play Option/SLIDE SHOW"), "10");
}

TEST_F(MenuTest, DimmerBatteryAndWhiteBalanceTakeEffect)
{
    Edit(SETUP, 2);  // DIMMER: HIGH, LOW, ALL OFF
    Press(KEY_DOWN);
    EXPECT_EQ(State().leds.backlight.load(), 2);
    Press(KEY_DOWN);
    EXPECT_EQ(State().leds.backlight.load(), 0);
    Press(KEY_UP, 2);
    EXPECT_EQ(State().leds.backlight.load(), 4);
    Press(KEY_LEFT);
    Press(KEY_DOWN);
    Press(KEY_ENTER);  // BATTERY
    Press(KEY_DOWN);
    EXPECT_EQ(State().power.batteryType.load(), 1);
    EXPECT_EQ(Shows("/Setup/BATTERY"), "NiMH");
    Press(KEY_UP);
    EXPECT_EQ(State().power.batteryType.load(), 0);

    Press(KEY_MENU);
    Edit(REC_OPTION, 4);
    Press(KEY_DOWN, 4);
    EXPECT_EQ(g_nWhiteBalance, 4);
}

TEST_F(MenuTest, LowCutFollowsTheInputSource)
{
    g_bExtAudio = 0;
    Edit(INPUT_SETTING, 2);
    Press(KEY_DOWN, 2);
    EXPECT_EQ(g_InputAudioFilter.GetLcfLevel(), 2);  // 80Hz
    // An external line input gets no low cut.
    g_bExtAudio = 1;
    SetParameter("/Input Setting/INPUT SELECT", "LINE");
    Press(KEY_DOWN);
    EXPECT_EQ(g_InputAudioFilter.GetLcfLevel(), 0);
    SetParameter("/Input Setting/INPUT SELECT", "MIC");
    Press(KEY_UP);
    EXPECT_EQ(g_InputAudioFilter.GetLcfLevel(), 2);
    g_bExtAudio = 0;
}

TEST_F(MenuTest, PlayListAreaWithoutEntriesSaysNoPlaylist)
{
    Edit(PLAY_OPTION, 0);
    BoxAnswerer boxes;
    Press(KEY_DOWN);  // FOLDER
    EXPECT_TRUE(boxes.Texts().empty());
    Press(KEY_DOWN);  // PLAY LIST
    EXPECT_TRUE(boxes.Saw("No PLAYLIST"));
    EXPECT_EQ(Stored("/Play Option/PLAY AREA"), "2");
    EXPECT_EQ(Level(), MENU_LEVEL_EDIT);
}

// ---- Actions -------------------------------------------------------------------------------

TEST_F(MenuTest, FileNameAndDateTimeOpenTheirScreensAndComeBackToTheList)
{
    OpenItem(SETUP, 4);
    EXPECT_EQ(Press(KEY_ENTER), 1);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "filename");
    Press(KEY_F1);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
    EXPECT_EQ(Group(SETUP).nCursor, 4);
    // The menu's arrows repeat again.
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[14], 100u);  // DOWN

    Press(KEY_DOWN);
    Press(KEY_RIGHT);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "datetime");
    Press(KEY_F3);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    EXPECT_EQ(Group(SETUP).nCursor, 5);
}

TEST_F(MenuTest, InformationOpensTheChosenPage)
{
    Edit(SETUP, 8);
    Press(KEY_DOWN);  // CARD
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    Press(KEY_ENTER);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "info");
    EXPECT_EQ(g_nInfoType, 1);
    Press(KEY_MENU);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
}

TEST_F(MenuTest, InitializeAnsweredNoChangesNothing)
{
    SetParameter("/Setup/DIMMER", 2.0f);
    OpenItem(SETUP, 7);
    BoxAnswerer no(0);
    Press(KEY_ENTER);
    EXPECT_TRUE(no.Saw("\nReset all settings. Are You Sure ?\n"));
    EXPECT_EQ(GetParameter("/Setup/DIMMER", nullptr), 2.0f);
    EXPECT_EQ(Level(), MENU_LEVEL_ITEMS);
}

TEST_F(MenuTest, InitializeRestoresTheDefaultsAndAppliesThem)
{
    SetParameter("/Setup/DIMMER", 2.0f);
    SetParameter("/Setup/BATTERY", 1.0f);
    SetParameter("/Rec Option/WHITE BALANCE", 3.0f);
    SetParameter("/GLOBAL/PLAY VOL", 7.0f);
    NVRAM_GlobalSave();
    LED_SetBacklight(2);
    g_nWhiteBalance = 3;
    OpenItem(SETUP, 7);
    BoxAnswerer yes(1);
    Press(KEY_ENTER);
    EXPECT_TRUE(yes.Saw("Reset all settings"));
    EXPECT_EQ(GetParameter("/Setup/DIMMER", nullptr), 4.0f);
    EXPECT_EQ(State().leds.backlight.load(), 4);
    EXPECT_EQ(State().power.batteryType.load(), 0);
    EXPECT_EQ(g_nWhiteBalance, 0);
    EXPECT_EQ(g_nPlaybackVol, 25);
    EXPECT_EQ(g_nZoom, 100);
    EXPECT_NE(ReadFile(HostPath("/mnt/mtd5/NVRAM.txt")).find("/Setup/DIMMER=4\n"), std::string::npos);
}

TEST_F(MenuTest, SdFormatAskedNoKeepsTheCardAndYesFormatsIt)
{
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/MY_FOLDER/KS0000_0001.wav"), "old"));
    OpenItem(SETUP, 6);
    {
        BoxAnswerer no(0);
        Press(KEY_ENTER);
        EXPECT_TRUE(no.Saw("\nFormat Card. Are You Sure ?\n"));
    }
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001.wav")));
    g_bDivideMode = 1;
    {
        BoxAnswerer yes(1);
        Press(KEY_ENTER);
        EXPECT_TRUE(yes.Saw("Format OK."));
    }
    EXPECT_FALSE(FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001.wav")));
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER")));
    EXPECT_EQ(g_bDivideMode, 0);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
}

// ---- Drawing ------------------------------------------------------------------------------

TEST_F(MenuTest, GridFramesTheSelectedTile)
{
    Press(KEY_RIGHT);
    Press(KEY_DOWN);  // SETUP: column 1, row 1
    RgbImage lcd = Drawn();
    Snap("menu-grid");
    Rgb gold = At(lcd, 27 + 141, 47 + 43 + 10);
    EXPECT_TRUE(Same(gold, At(lcd, 26 + 141, 46 + 43 + 10)));   // two pixels wide
    EXPECT_TRUE(Same(gold, At(lcd, 27 + 141 + 60, 47 + 43)));   // the top edge
    EXPECT_TRUE(Same(gold, At(lcd, 27 + 141 + 125, 47 + 43 + 20)));  // the right edge
    EXPECT_GT(gold.r, 200);
    EXPECT_GT(gold.g, 150);
    EXPECT_LT(gold.b, 80);
    // The tile left has no frame any more; the grid shows the menu picture.
    EXPECT_TRUE(Same(At(lcd, 27, 57), Shown(g_pBmp_menu_bg->aPixels[57 * 320 + 27])));
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(GUI_COLOR_HEADER)));  // header band
}

TEST_F(MenuTest, ItemListShowsTheHighlightNamesAndValues)
{
    OpenItem(SETUP, 1);
    RgbImage lcd = Drawn();
    Snap("menu-setup");
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(GUI_COLOR_HEADER)));
    EXPECT_GT(CountNear(lcd, 120, 2, 80, 20, Shown(0xFFFF), 30), 20);  // the group's name in white
    // Row 1 is highlighted over the name column, row 0 is not.
    Rgb highlight = At(lcd, 170, 26 + 26 + 12);
    EXPECT_GT(highlight.b, 120);
    EXPECT_TRUE(Same(At(lcd, 170, 26 + 12), Shown(0)));
    EXPECT_TRUE(Same(At(lcd, 190, 26 + 26 + 12), Shown(0)));  // not beyond the separator
    // Names and values in white in every filled row.
    for (int row = 0; row < 7; ++row) {
        EXPECT_GT(CountNear(lcd, 4, 26 + 26 * row, 170, 24, Shown(0xFFFF), 30), 15) << row;
        if (row < 4) {  // the actions below show no value
            EXPECT_GT(CountNear(lcd, 190, 26 + 26 * row, 129, 24, Shown(0xFFFF), 30), 15) << row;
        }
    }
    EXPECT_EQ(CountNear(lcd, 190, 26 + 26 * 5, 129, 24, Shown(0xFFFF), 30), 0);  // DATE/TIME
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_right, 183, 32 + 26));
}

TEST_F(MenuTest, DropDownOpensAtTheRowAndMovesUpToFit)
{
    Edit(SETUP, 0);  // AUTO OFF: 5 choices, 134 high from row 0
    RgbImage lcd = Drawn();
    Snap("menu-dropdown");
    Rgb frame = At(lcd, 187, 26 + 60);
    EXPECT_GT(frame.r, 150);
    EXPECT_TRUE(Same(At(lcd, 187, 26 + 133), frame));
    EXPECT_FALSE(Same(At(lcd, 187, 26 + 134), frame));
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_left, 183, 26 + 6));

    Press(KEY_LEFT);
    Press(KEY_DOWN, 8);  // INFORMATION in the last row of the scrolled list
    Press(KEY_ENTER);
    ASSERT_EQ(Level(), MENU_LEVEL_EDIT);
    lcd = Drawn();
    // 3 choices, 82 high: from row 6 (182) it moves up once to 156.
    EXPECT_TRUE(Same(At(lcd, 187, 156 + 20), frame));
    EXPECT_TRUE(Same(At(lcd, 187, 156), frame));
    EXPECT_FALSE(Same(At(lcd, 187, 155), frame));
}

TEST_F(MenuTest, WhiteBalanceEditorShowsTheIconOfTheValue)
{
    Edit(REC_OPTION, 4);
    Press(KEY_DOWN, 2);
    RgbImage lcd = Drawn();
    EXPECT_TRUE(Shows(lcd, g_pBmp_wb_icon[2], 264, 2));
}

TEST_F(MenuTest, RangeEditorShowsItsArrowsUntilTheEnds)
{
    Edit(PLAY_OPTION, 2);  // SLIDE SHOW 3 sec
    RgbImage lcd = Drawn();
    Snap("menu-range");
    int rowY = 26 + 26 * 2;
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_up, 300, rowY + 3));
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_down, 300, rowY + 16));
    Press(KEY_DOWN, 2);
    lcd = Drawn();
    EXPECT_TRUE(Shows(lcd, g_pBmp_arrow_up, 300, rowY + 3));
    EXPECT_FALSE(Shows(lcd, g_pBmp_arrow_down, 300, rowY + 16));
}

}  // namespace
