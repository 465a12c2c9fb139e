// The popup, date/time and file-name screens and the screens still pending.
#include "DrvLib/Key.h"
#include "DrvLib/Rtc.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenDateTime.h"
#include "Middleware/GUI/ScreenFileName.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/ScreenPopup.h"
#include "sim/board/Board.h"
#include "tests/gui/GuiFixture.h"
#include "tests/support/BoxAnswerer.h"

#include <string>
#include <vector>

using namespace vrec::test;
using vrec::board::Rgb;
using vrec::board::RgbImage;

namespace {

int Press(unsigned long mask)
{
    return g_ScreenManager.OnButtonPress(mask);
}

void Press(unsigned long mask, int times)
{
    for (int i = 0; i < times; ++i)
        Press(mask);
}

// ---- Popup -------------------------------------------------------------------------------

struct Opener
{
    static std::vector<std::pair<int, std::string>> commands;
    static const char* Name() { return "opener"; }
    static int Command(int index, const char* text)
    {
        commands.emplace_back(index, text);
        return 1;
    }
};
std::vector<std::pair<int, std::string>> Opener::commands;

class PopupTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        SCREEN_InitTable(&opener_);
        opener_.GetName = Opener::Name;
        opener_.OnCommand = Opener::Command;
        Opener::commands.clear();
        g_ScreenManager.SetActive(&opener_);
    }
    CScreenBase opener_;
};

TEST_F(PopupTest, EnterHandsTheChosenEntryToTheOpeningScreen)
{
    const char* items[] = {"Play", "Delete", "Divide", "After Rec", nullptr};
    PopupMenu(items);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "popup");
    EXPECT_EQ(screen_popup::m_nItems, 4);
    EXPECT_EQ(screen_popup::m_pLastActive, &opener_);
    Press(KEY_UP);
    EXPECT_EQ(screen_popup::m_nCursor, 0);
    Press(KEY_DOWN, 2);
    Press(KEY_LEFT);  // no other key closes it
    Press(KEY_MENU);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "popup");
    Press(KEY_ENTER);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "opener");
    ASSERT_EQ(Opener::commands.size(), 1u);
    EXPECT_EQ(Opener::commands[0].first, 2);
    EXPECT_EQ(Opener::commands[0].second, "Divide");
}

TEST_F(PopupTest, DownStopsAtTheLastEntryAndOnlySixteenAreKept)
{
    std::vector<std::string> texts;
    std::vector<const char*> items;
    for (int i = 0; i < 17; ++i)
        texts.push_back("Entry " + std::to_string(i));
    for (const std::string& t : texts)
        items.push_back(t.c_str());
    items.push_back(nullptr);
    PopupMenu(items.data());
    EXPECT_EQ(screen_popup::m_nItems, 16);
    Press(KEY_DOWN, 20);
    EXPECT_EQ(screen_popup::m_nCursor, 15);
    Press(KEY_ENTER);
    ASSERT_EQ(Opener::commands.size(), 1u);
    EXPECT_EQ(Opener::commands[0].second, "Entry 15");
}

TEST_F(PopupTest, LongTextsAreCutToTheirSlot)
{
    const char* items[] = {"An entry text of well over thirty-one characters", nullptr};
    PopupMenu(items);
    EXPECT_EQ(std::string(screen_popup::m_aItems[0]).size(), 31u);
}

TEST_F(PopupTest, EmptyPopupHandsNothingOver)
{
    const char* items[] = {nullptr};
    PopupMenu(items);
    EXPECT_EQ(screen_popup::m_nItems, 0);
    Press(KEY_ENTER);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "opener");
    EXPECT_TRUE(Opener::commands.empty());
}

TEST_F(PopupTest, HeldDownRepeatsEvery100msAfterTheDelay)
{
    HoldClock();
    std::vector<std::string> texts;
    std::vector<const char*> items;
    for (int i = 0; i < 16; ++i)
        texts.push_back(std::to_string(i));
    for (const std::string& t : texts)
        items.push_back(t.c_str());
    items.push_back(nullptr);
    PopupMenu(items.data());
    for (int t = 0; t <= 1000; t += 50) {
        g_ScreenManager.UpdateButtonState(KEY_DOWN);
        Advance(50);
    }
    // The press, then repeats at 500, 600, ..., 1000 ms.
    EXPECT_EQ(screen_popup::m_nCursor, 1 + 6);
    g_ScreenManager.UpdateButtonState(0);
    Press(KEY_ENTER);
    // Leaving switched the repeat off again.
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[14], 0u);
}

TEST_F(PopupTest, DrawsOverTheOpenersPicture)
{
    // The opener's last picture: the menu grid.
    g_ScreenManager.SetActive("menu", 1);
    g_ScreenManager.OnDraw500ms(1);
    CScreenBase* menu = g_ScreenManager.GetActiveScreen();
    const char* items[] = {"Play", "Delete", "Protect", nullptr};
    PopupMenu(items);
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("popup");
    int widest = 0;
    for (const char* item : {"Play", "Delete", "Protect"}) {
        int w = 0, h = 0;
        GRA_CalcStringS(&w, &h, item, g_pFont_a20, nullptr);
        widest = std::max(widest, w);
    }
    int width = widest + 32;
    int height = 20 * 3 + 8;
    // Inside the box its light face; outside it the menu picture.
    Rgb face = At(lcd, 200 + width / 2, 40 + 2);
    EXPECT_GT(face.r, 200);
    EXPECT_TRUE(Same(At(lcd, 200 + width + 1, 40 + height / 2),
                     Shown(g_pBmp_menu_bg->aPixels[(40 + height / 2) * 320 + 200 + width + 1])));
    EXPECT_TRUE(Same(At(lcd, 199, 40 + height / 2), Shown(g_pBmp_menu_bg->aPixels[(40 + height / 2) * 320 + 199])));
    // The selection bar on the first entry, not on the second.
    Rgb bar = At(lcd, 200 + 6, 44 + 10);
    EXPECT_GT(bar.b, 150);
    EXPECT_LT(bar.r, 150);
    EXPECT_TRUE(Same(At(lcd, 200 + 6, 64 + 10), face));
    EXPECT_EQ(screen_popup::m_pLastActive, menu);
}

// ---- Date/time -------------------------------------------------------------------------------

class DateTimeTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_ScreenManager.SetActive("menu", 1);
    }
    static void Open() { g_ScreenManager.SetActive("datetime", 1); }
    static std::vector<int> Fields()
    {
        return {screen_datetime::m_nYear, screen_datetime::m_nMonth,  screen_datetime::m_nDay,
                screen_datetime::m_nHour, screen_datetime::m_nMinute, screen_datetime::m_nSecond};
    }
    static std::vector<int> Clock()
    {
        std::vector<int> v(6);
        RTC_Read(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
        return v;
    }
};

TEST_F(DateTimeTest, AnUnsetClockOpensAtTheFactoryDate)
{
    ASSERT_EQ(RTC_IsValid(), 0);  // a fresh board's clock reads 1970
    Open();
    EXPECT_EQ(Fields(), (std::vector<int>{2012, 7, 1, 10, 0, 0}));
    EXPECT_EQ(screen_datetime::m_nCursor, 0);
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[12], 100u);  // LEFT
}

TEST_F(DateTimeTest, FieldsWrapAndTheYearStops)
{
    ASSERT_EQ(RTC_Write(2049, 12, 31, 23, 59, 59), 1);
    Open();
    EXPECT_EQ(Fields(), (std::vector<int>{2049, 12, 31, 23, 59, 59}));
    Press(KEY_UP, 60);
    EXPECT_EQ(screen_datetime::m_nYear, 2099);
    Press(KEY_DOWN, 200);
    EXPECT_EQ(screen_datetime::m_nYear, 2000);
    for (int field = 1; field < 6; ++field) {
        Press(KEY_RIGHT);
        Press(KEY_UP);
    }
    EXPECT_EQ(Fields(), (std::vector<int>{2000, 1, 1, 0, 0, 0}));
    Press(KEY_RIGHT);  // stays on the seconds
    Press(KEY_DOWN);
    EXPECT_EQ(screen_datetime::m_nSecond, 59);
    Press(KEY_LEFT, 3);
    Press(KEY_DOWN);
    EXPECT_EQ(screen_datetime::m_nDay, 31);
    Press(KEY_LEFT, 5);
    EXPECT_EQ(screen_datetime::m_nCursor, 0);
}

TEST_F(DateTimeTest, SetWritesTheClockAndReturnsToTheMenuAsItWas)
{
    MENU_INFO* menu = GetMenuInfo();
    menu->nSelectedGroup = 5;
    Press(KEY_ENTER);
    Press(KEY_DOWN, 5);  // DATE/TIME
    Press(KEY_ENTER);
    ASSERT_STREQ(g_ScreenManager.GetActive(), "datetime");
    Press(KEY_UP, 3);  // 2015
    Press(KEY_RIGHT, 3);
    Press(KEY_UP, 2);  // 12 h
    Press(KEY_F1);
    EXPECT_EQ(Clock(), (std::vector<int>{2015, 7, 1, 12, 0, 0}));
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    EXPECT_EQ(screen_menu::m_nLevel, MENU_LEVEL_ITEMS);
    EXPECT_EQ(menu->aGroup[5].nCursor, 5);
    // The system clock follows the hardware clock (2015-07-01 is past 1435700000 s).
    EXPECT_GE(vrec::board::Board::Get().SystemTimeUs() / 1000000, 1435700000LL);
}

TEST_F(DateTimeTest, ARefusedDateShowsAnErrorAndStays)
{
    Open();
    Press(KEY_RIGHT);
    Press(KEY_DOWN, 5);  // month 2
    Press(KEY_RIGHT);
    Press(KEY_DOWN, 2);  // day 30
    BoxAnswerer boxes;
    Press(KEY_F1);
    EXPECT_TRUE(boxes.Saw("Ignore date."));
    EXPECT_STREQ(g_ScreenManager.GetActive(), "datetime");
    EXPECT_EQ(RTC_IsValid(), 0);
    // Day 31 is allowed to be chosen in any month; the clock decides.
    Press(KEY_UP);
    EXPECT_EQ(screen_datetime::m_nDay, 31);
}

TEST_F(DateTimeTest, CancelLeavesTheClockAndOpenedAtStartGoesToThePlayer)
{
    g_ScreenManager.SetActive(static_cast<CScreenBase*>(nullptr));
    Open();
    Press(KEY_UP);
    Press(KEY_F3);
    EXPECT_EQ(RTC_IsValid(), 0);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "player");
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[12], 0u);
}

TEST_F(DateTimeTest, DrawsTheFieldsWithTheCursorHighlighted)
{
    Open();
    Press(KEY_RIGHT, 4);  // minute
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("datetime");
    EXPECT_TRUE(Same(At(lcd, 60, 12), Shown(GUI_COLOR_HEADER)));
    // The minute's box (147, 128) 44 x 26 holds black text on the highlight.
    Rgb highlight = At(lcd, 148, 129);
    EXPECT_GT(highlight.b, 120);
    EXPECT_GT(CountNear(lcd, 151, 130, 24, 20, Shown(0), 30), 15);
    // The year is white on black.
    EXPECT_GT(CountNear(lcd, 64, 70, 50, 20, Shown(0xFFFF), 30), 30);
    EXPECT_TRUE(Same(At(lcd, 61, 69), Shown(0)));
    // Soft keys SET and CANCEL.
    EXPECT_FALSE(Same(At(lcd, 10, 229), Shown(0)));
    EXPECT_TRUE(Same(At(lcd, 150, 229), Shown(0)));
    EXPECT_FALSE(Same(At(lcd, 300, 229), Shown(0)));
}

// ---- File name ----------------------------------------------------------------------------

class FileNameTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_ScreenManager.SetActive("menu", 1);
    }
    static void Open() { g_ScreenManager.SetActive("filename", 1); }
    static std::string Word()
    {
        char text[NVRAM_TEXT_SIZE];
        GetParameter("/Setup/FILE NAME/WORD", text);
        return text;
    }
    static int Cursor() { return screen_filename::m_nCursor; }
};

TEST_F(FileNameTest, OpensWithTheStoredWordOrTheFactoryWord)
{
    SetParameter("/Setup/FILE NAME/WORD", "");
    Open();
    EXPECT_EQ(Word(), "KS0000");
    EXPECT_EQ(screen_filename::m_bWordSv, 1);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(FileNameTest, CharactersStepThroughTheSetBothWaysRound)
{
    SetParameter("/Setup/FILE NAME/WORD", "}A0000");
    Open();
    Press(KEY_DOWN);   // to the WORD label
    Press(KEY_ENTER);  // to the first character
    EXPECT_EQ(Cursor(), 3);
    Press(KEY_UP);
    EXPECT_EQ(Word(), "0A0000");
    Press(KEY_DOWN);
    EXPECT_EQ(Word(), "}A0000");
    Press(KEY_RIGHT);
    Press(KEY_UP, 26);  // A + 26 = a
    EXPECT_EQ(Word(), "}a0000");
    Press(KEY_RIGHT, 10);
    EXPECT_EQ(Cursor(), 8);
    Press(KEY_ENTER);
    EXPECT_EQ(Cursor(), 2);
    Press(KEY_UP);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(FileNameTest, TypeTogglesAndDateHidesTheWordRow)
{
    Open();
    Press(KEY_ENTER);  // to the type value
    EXPECT_EQ(Cursor(), 1);
    Press(KEY_RIGHT);  // not from the value
    EXPECT_EQ(Cursor(), 1);
    Press(KEY_UP);
    EXPECT_EQ(screen_filename::m_bWordSv, 0);
    EXPECT_EQ(GetParameter("/Setup/FILE NAME", nullptr), 1.0f);
    Press(KEY_ENTER);
    Press(KEY_DOWN);  // the word row cannot be reached
    EXPECT_EQ(Cursor(), 0);
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("filename-date");
    EXPECT_EQ(CountNear(lcd, 60, 88, 200, 24, Shown(0xFFFF), 30), 0);
    Press(KEY_ENTER);
    Press(KEY_DOWN);
    EXPECT_EQ(screen_filename::m_bWordSv, 1);
    EXPECT_EQ(GetParameter("/Setup/FILE NAME", nullptr), 0.0f);
}

TEST_F(FileNameTest, IncClearRestartsNumberingAndTheSampleShowsIt)
{
    SetParameter("/Setup/FILE NAME/CURRENT", 41.0f);
    SetParameter("/Setup/FILE NAME/WORD", "ABC123");
    Open();
    char name[256];
    char dir[512];
    ToRealPath(dir, "/MY_FOLDER");
    ASSERT_EQ(GetNextFileName(name, dir, "mov"), 1);
    EXPECT_STREQ(name, "ABC123_0042.mov");
    Press(KEY_F3);
    EXPECT_EQ(GetParameter("/Setup/FILE NAME/CURRENT", nullptr), 0.0f);
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("filename");
    EXPECT_GT(CountNear(lcd, 85, 178, 150, 20, Shown(0xFFFF), 30), 40);  // ABC123_0001.mov
    EXPECT_GT(CountNear(lcd, 156, 90, 78, 22, Shown(0xFFFF), 30), 30);   // the word's characters
    EXPECT_STREQ(g_ScreenManager.GetActive(), "filename");
}

TEST_F(FileNameTest, LeftOnALabelAndSetReturnToTheMenu)
{
    Open();
    Press(KEY_LEFT);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    Open();
    Press(KEY_DOWN);
    Press(KEY_ENTER);
    Press(KEY_LEFT);  // back from the first character to the label
    EXPECT_EQ(Cursor(), 2);
    Press(KEY_F1);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
}

// ---- Pending screens ----------------------------------------------------------------------

class PendingScreenTest : public GuiTest
{
};

TEST_F(PendingScreenTest, EveryScreenIsRegisteredInOrderUnderItsName)
{
    const char* names[] = {"popup", "browse", "player", "menu", "testmode", "datetime", "filename", "info", "fwupdate"};
    ASSERT_EQ(g_ScreenManager.m_nScreens, 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_STREQ(g_ScreenManager.m_apScreen[i]->GetName(), names[i]);
}

TEST_F(PendingScreenTest, ShowTheirHeaderAndMenuLeadsToTheMenu)
{
    for (const char* name : {"browse"}) {
        g_ScreenManager.SetActive(name, 1);
        g_ScreenManager.OnDraw500ms(1);
        RgbImage lcd = Lcd();
        EXPECT_TRUE(Same(At(lcd, 40, 12), Shown(GUI_COLOR_HEADER))) << name;
        EXPECT_GT(CountNear(lcd, 80, 2, 160, 20, Shown(0xFFFF), 30), 20) << name;
        Press(KEY_UP);
        EXPECT_STREQ(g_ScreenManager.GetActive(), name);
        Press(KEY_MENU);
        EXPECT_STREQ(g_ScreenManager.GetActive(), "menu") << name;
    }
}

}  // namespace
