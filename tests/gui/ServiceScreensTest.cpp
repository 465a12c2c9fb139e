// The factory test mode and the information screen on the board's LCD.
#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Rtc.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Version.h"
#include "Media/RemainMedia.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenInfo.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/ScreenTestMode.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "tests/gui/GuiFixture.h"
#include "tests/support/BoxAnswerer.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace vrec::test;
using vrec::board::Board;
using vrec::board::RgbImage;

namespace {

std::string Format(const char* format, long long value)
{
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

int Width(const std::string& text, unsigned char* font)
{
    int w, h;
    GRA_CalcStringS(&w, &h, text.c_str(), font, nullptr);
    return w;
}

// ---- Test mode -----------------------------------------------------------------------------

class TestModeTest;

class TestModeTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        s_held = 0;
        g_bTestCameraMode = 0;
        SetActionMode(ACTION_MODE_SOUND);
        g_ScreenManager.SetActive("testmode", 1);
    }
    void TearDown() override
    {
        FB_SetEnable(1);
        GRA_EnableMode(1);
        GuiTest::TearDown();
    }

    // Keys as the main loop feeds them to the button state machine.
    static unsigned long s_held;
    static void Hold(unsigned long mask, bool down)
    {
        s_held = down ? (s_held | mask) : (s_held & ~mask);
        g_ScreenManager.UpdateButtonState(s_held);
    }
    static void Press(unsigned long mask)
    {
        Hold(mask, true);
        Hold(mask, false);
    }
    // The switch lines as the key driver reads them.
    static void Switches(unsigned long on, unsigned long off)
    {
        vrec::board::SetKeyBits(State(), static_cast<uint32_t>(on), true);
        vrec::board::SetKeyBits(State(), static_cast<uint32_t>(off), false);
        unsigned long all = on | off;
        ASSERT_TRUE(WaitFor([on, all] { return (KEY_Get(1, nullptr) & all) == on; }));
    }
    RgbImage Draw()
    {
        g_ScreenManager.OnDraw500ms(1);
        return Lcd();
    }
    static void OpenEntry(int entry)
    {
        Press(KEY_MENU);
        Press(KEY_MENU);
        screen_testmode::m_nCursor = entry;
        Press(KEY_ENTER);
    }
    // A value between the brackets of a check-page row ending at x = 240.
    static bool ShowsRow(const RgbImage& lcd, int y, const std::string& label, const std::string& value)
    {
        std::string row = label + "[                  ]";
        int left = 240 - Width(row, g_pFont_a20);
        int inner = Width(label + "[", g_pFont_a20);
        int space = Width(row, g_pFont_a20) - inner - Width("]", g_pFont_a20);
        return ShowsText(lcd, left, y, row, g_pFont_a20, 0xFFFF) &&
               ShowsText(lcd, left + inner + (space - Width(value, g_pFont_a20)) / 2, y, value, g_pFont_a20, 0xFFFF);
    }
};

unsigned long TestModeTest::s_held = 0;

TEST_F(TestModeTest, StartsOnTheCheckPageInMovieModeWithTheTestCamera)
{
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_CHECK);
    EXPECT_EQ(g_bTestCameraMode, 1);
    EXPECT_EQ(GetActionMode(), ACTION_MODE_MOVIE);
    EXPECT_EQ(screen_testmode::m_nReadSector, -1);
    EXPECT_EQ(TestModeIsCameraMenu(), 0);
}

TEST_F(TestModeTest, CheckPageNamesTheHeldKeyTheBatteryAndTheCard)
{
    g_Msp430_nBatteryVolt = 187;
    Switches(KEY_SD_DETECT, 0);
    Hold(KEY_RECORD, true);
    RgbImage lcd = Draw();
    Snap("testmode-check");
    EXPECT_TRUE(ShowsText(lcd, (320 - Width("TEST MODE", g_pFont_a24)) / 2, 2, "TEST MODE", g_pFont_a24, 0xFFFF,
                          GUI_COLOR_HEADER_EDGE, GUI_COLOR_HEADER));
    EXPECT_TRUE(ShowsRow(lcd, 70, "KEY", "RECORD"));
    EXPECT_TRUE(ShowsRow(lcd, 100, "POWER", "187"));
    EXPECT_TRUE(ShowsRow(lcd, 130, "CARD", "IN"));
    EXPECT_FALSE(ShowsRow(lcd, 130, "CARD", "OUT"));
    Hold(KEY_RECORD, false);
    Board::Get().cards().Remove(State());
    Switches(0, KEY_SD_DETECT);
    lcd = Draw();
    EXPECT_TRUE(ShowsRow(lcd, 130, "CARD", "OUT"));
    EXPECT_FALSE(ShowsRow(lcd, 70, "KEY", "RECORD"));
}

TEST_F(TestModeTest, LedsFollowTheirKeysAndALongPressMakesThemFlash)
{
    HoldClock();
    int drawn = 0;
    Hold(KEY_RECORD | KEY_F2, true);
    screen_testmode::OnDraw50ms(drawn);
    EXPECT_EQ(State().leds.rec.load(), 1);
    EXPECT_EQ(State().leds.camera.load(), 1);
    EXPECT_EQ(State().leds.peak.load(), 0);
    Hold(KEY_RECORD | KEY_F2, false);
    screen_testmode::OnDraw50ms(drawn);
    EXPECT_EQ(State().leds.rec.load(), 0);

    // F3 held 1500 ms: the peak LED flashes, lit for the first half of each 500 ms.
    Hold(KEY_F3, true);
    Advance(1600);
    Hold(KEY_F3, true);
    Hold(KEY_F3, false);
    EXPECT_EQ(screen_testmode::m_bFlashLed_Peak, 1);
    int lit = 0, dark = 0;
    for (int step = 0; step < 20; ++step) {
        Advance(50);
        screen_testmode::OnDraw50ms(drawn);
        bool on = State().leds.peak.load() != 0;
        EXPECT_EQ(on, GetTime() % 500 < 250);
        (on ? lit : dark) += 1;
    }
    EXPECT_EQ(lit, 10);
    EXPECT_EQ(dark, 10);
    Press(KEY_F3);
    EXPECT_EQ(screen_testmode::m_bFlashLed_Peak, 0);
    screen_testmode::OnDraw50ms(drawn);
    EXPECT_EQ(State().leds.peak.load(), 0);
}

TEST_F(TestModeTest, MenuTwiceInARowOpensTheTestMenu)
{
    Press(KEY_MENU);
    Press(KEY_F2);
    Press(KEY_MENU);
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_CHECK) << "MENU F2 MENU";
    Press(KEY_MENU);
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_MENU);

    // Two columns: UP and DOWN move a row, LEFT and RIGHT a column.
    screen_testmode::m_nCursor = 0;
    Press(KEY_UP);
    EXPECT_EQ(screen_testmode::m_nCursor, 0);
    Press(KEY_DOWN);
    Press(KEY_DOWN);
    Press(KEY_DOWN);
    Press(KEY_DOWN);
    EXPECT_EQ(screen_testmode::m_nCursor, 6);
    Press(KEY_RIGHT);
    EXPECT_EQ(screen_testmode::m_nCursor, 7);
    Press(KEY_RIGHT);
    EXPECT_EQ(screen_testmode::m_nCursor, 7);
    Press(KEY_UP);
    Press(KEY_LEFT);
    EXPECT_EQ(screen_testmode::m_nCursor, 4);
    RgbImage lcd = Draw();
    Snap("testmode-menu");
    // RTC is highlighted, VERSION is white on black.
    EXPECT_LT(CountNear(lcd, 22, 128, 110, 20, Shown(0), 0), 600);
    EXPECT_GT(CountNear(lcd, 166, 128, 110, 20, Shown(0), 0), 1500);
    EXPECT_TRUE(ShowsText(lcd, 172, 130, "VERSION", g_pFont_a20, 0xFFFF));
    Press(KEY_MENU);
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_CHECK);
}

TEST_F(TestModeTest, SwitchPageShowsEachSwitch)
{
    OpenEntry(TESTMODE_SW);
    Switches(KEY_HOLD | KEY_CAMERA_SW, KEY_SPEAKER);
    RgbImage lcd = Draw();
    int brackets = Width("[                  ]", g_pFont_a20);
    auto state = [&](int y, const char* text) {
        return ShowsText(lcd, 140 + (brackets - Width(text, g_pFont_a20)) / 2, y, text, g_pFont_a20, 0xFFFF);
    };
    EXPECT_TRUE(ShowsText(lcd, 20, 50, "HOLD", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(state(50, "ON"));
    EXPECT_TRUE(state(80, "OFF"));
    EXPECT_FALSE(state(80, "ON"));
    EXPECT_FALSE(ShowsText(lcd, 20, 50, "HOLE", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(state(170, "ON"));
    Press(KEY_MENU);
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_MENU);
}

TEST_F(TestModeTest, CardPageReadsTheCardImageSectorBySector)
{
    OpenEntry(TESTMODE_CARD);
    std::string image = Board::Get().cards().SlotImage();
    auto sector = [&image](int n) {
        std::string bytes(512, '\0');
        int fd = open(image.c_str(), O_RDONLY);
        EXPECT_EQ(pread(fd, &bytes[0], 512, static_cast<off_t>(n) * 512), 512);
        close(fd);
        return bytes;
    };
    Press(KEY_PLAY);
    EXPECT_EQ(screen_testmode::m_nReadSector, 0);
    EXPECT_EQ(screen_testmode::m_bReadSectorOK, 1);
    std::string first(reinterpret_cast<const char*>(screen_testmode::m_abSector), 512);
    EXPECT_EQ(first, sector(0));
    EXPECT_EQ(first.substr(510), "\x55\xaa") << "the partition table the format wrote";
    EXPECT_EQ(static_cast<uint8_t>(first[446 + 4]), 0x0c) << "one FAT32 partition";
    Press(KEY_PLAY);
    EXPECT_EQ(screen_testmode::m_nReadSector, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(screen_testmode::m_abSector), 512), sector(1));

    // Without a card the read fails and the next one tries the same sector.
    Board::Get().cards().Remove(State());
    Press(KEY_PLAY);
    EXPECT_EQ(screen_testmode::m_nReadSector, 2);
    EXPECT_EQ(screen_testmode::m_bReadSectorOK, 0);
    RgbImage lcd = Draw();
    EXPECT_TRUE(ShowsText(lcd, 20, 150, "Read [ 2 ] Sector", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 20, 180, "Read Failed!", g_pFont_a20, 0xFFFF));
    std::string why;
    ASSERT_TRUE(Board::Get().cards().Insert(State(), "card0", &why)) << why;
    Press(KEY_PLAY);
    EXPECT_EQ(screen_testmode::m_nReadSector, 2);
    EXPECT_EQ(screen_testmode::m_bReadSectorOK, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(screen_testmode::m_abSector), 512), sector(2));
    lcd = Draw();
    Snap("testmode-card");
    EXPECT_TRUE(ShowsText(lcd, 20, 180, "Read Ok", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 20, 80, "\a  PLAY  \a", g_pFont_a20, 0, -1, 0, true));
    EXPECT_TRUE(ShowsText(lcd, 20 + Width("\a  PLAY  \a", g_pFont_a20), 80, " Read One", g_pFont_a20, 0xFFFF));
}

TEST_F(TestModeTest, IdentifyShowsTheCardsCidAndSize)
{
    OpenEntry(TESTMODE_CARD);
    Press(KEY_MODE);
    EXPECT_STREQ(screen_testmode::m_pTmpScreenName, "CARD/Identify");
    RgbImage lcd = Draw();
    Snap("testmode-identify");

    // The fields of the board's card, read from its CID as SD cards lay it out.
    std::string hex = ReadFile(Board::Get().cards().CardDir("card0") + "/cid");
    ASSERT_GE(hex.size(), 32u);
    auto byte = [&hex](int i) { return static_cast<int>(std::stoul(hex.substr(2 * i, 2), nullptr, 16)); };
    std::string oem = {static_cast<char>(byte(1)), static_cast<char>(byte(2))};
    std::string name;
    for (int i = 3; i < 8; ++i)
        name += static_cast<char>(byte(i));
    EXPECT_EQ(oem, "KS");
    EXPECT_EQ(name, "SD04G");
    struct stat st;
    ASSERT_EQ(stat(Board::Get().cards().SlotImage().c_str(), &st), 0);
    const std::string values[6] = {
        Format(":%02X", byte(0)),
        Format(":%04X", byte(1) << 8 | byte(2)) + " \"" + oem + "\"",
        ":\"" + name + "\"",
        Format(":%08X", static_cast<long long>(byte(9)) << 24 | byte(10) << 16 | byte(11) << 8 | byte(12)),
        Format(":%03X", (byte(13) & 0x0F) << 8 | byte(14)),
        Format(":%lld", static_cast<long long>(st.st_size)),
    };
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(ShowsText(lcd, 90, 40 + 28 * i, values[i], g_pFont_a20, 0xFFFF)) << values[i];
    // The date field is this month.
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    EXPECT_EQ((byte(13) & 0x0F) << 8 | byte(14), (local.tm_year - 100) << 4 | (local.tm_mon + 1));

    Press(KEY_LEFT);  // any key closes it
    EXPECT_EQ(screen_testmode::m_pTmpScreenName, nullptr);
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_PAGE);

    Board::Get().cards().Remove(State());
    Press(KEY_MODE);
    lcd = Draw();
    EXPECT_TRUE(ShowsText(lcd, (320 - Width("SD-CARD ACCESS ERROR", g_pFont_a20)) / 2, 100, "SD-CARD ACCESS ERROR",
                          g_pFont_a20, 0xF800));
}

TEST_F(TestModeTest, LcdPageFillsTheTestColoursAndStopsTheValuesAtTheirEnds)
{
    OpenEntry(TESTMODE_LCD);
    const uint16_t colours[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000};
    for (uint16_t colour : colours) {
        Press(KEY_DISPLAY);
        RgbImage lcd = Draw();
        EXPECT_EQ(CountNear(lcd, 200, 40, 100, 180, Shown(colour), 0), 100 * 180) << std::hex << colour;
    }
    Press(KEY_DISPLAY);
    for (int i = 0; i < 120; ++i)
        Press(KEY_LEFT);
    Press(KEY_UP);
    RgbImage lcd = Draw();
    Snap("testmode-lcd");
    EXPECT_TRUE(ShowsText(lcd, 20, 50, "VOL   : 0", g_pFont_a20, 0xFFFF, 0, 0xF800));
    EXPECT_TRUE(ShowsText(lcd, 20, 80, "Ratio : 100", g_pFont_a20, 0xFFFF, 0, 0xF800));
    EXPECT_TRUE(ShowsText(lcd, 20, 120, "ABCDEFG1234567", g_pFont_a20, 0xFFFF, 0, 0xF800));
    for (int level : {1, 2, 3, 4, 1}) {
        Press(KEY_STOP);
        EXPECT_EQ(State().leds.backlight.load(), level);
    }
    Press(KEY_MENU);
    EXPECT_EQ(screen_testmode::m_nLcdTestDraw, 0);
    EXPECT_EQ(State().leds.backlight.load(), static_cast<int>(GetParameter("/Setup/DIMMER", nullptr)));
}

TEST_F(TestModeTest, ClockAndVersionPages)
{
    HoldClock();
    OpenEntry(TESTMODE_RTC);
    int y, mo, d, h, mi, s;
    ASSERT_EQ(RTC_Read(&y, &mo, &d, &h, &mi, &s), 1);
    char line[64];
    RgbImage lcd = Draw();
    std::snprintf(line, sizeof(line), "TIME : %02d %02d %02d", h, mi, s);
    EXPECT_TRUE(ShowsText(lcd, 20, 80, line, g_pFont_a20, 0xFFFF));
    std::snprintf(line, sizeof(line), "DATE : %02d %02d %02d", y % 100, mo, d);
    EXPECT_TRUE(ShowsText(lcd, 20, 120, line, g_pFont_a20, 0xFFFF));
    Press(KEY_MENU);

    screen_testmode::m_nCursor = TESTMODE_VERSION;
    Press(KEY_ENTER);
    lcd = Draw();
    Snap("testmode-version");
    EXPECT_TRUE(ShowsText(lcd, 20, 50, "Model : KESTRA7", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 20, 80, "ver     : 1.01 0137", g_pFont_a20, 0xFFFF));
    struct stat st;
    ASSERT_EQ(stat("/proc/self/exe", &st), 0);
    struct tm when;
    localtime_r(&st.st_mtime, &when);
    std::strftime(line, sizeof(line), "Date   : %b %d %Y", &when);
    EXPECT_TRUE(ShowsText(lcd, 20, 110, line, g_pFont_a20, 0xFFFF));
    std::strftime(line, sizeof(line), "Time   : %H:%M:%S", &when);
    EXPECT_TRUE(ShowsText(lcd, 20, 140, line, g_pFont_a20, 0xFFFF));
}

TEST_F(TestModeTest, CameraPageShowsThePictureWithoutTheGraphicsLayer)
{
    OpenEntry(TESTMODE_CAMERA);
    EXPECT_EQ(TestModeIsCameraMenu(), 1);
    EXPECT_EQ(FB_GetEnable(), 0);
    EXPECT_EQ(GRA_GetEnableMode(), 0);
    EXPECT_EQ(screen_testmode::m_nFirstCameraDraw, 2);
    g_ScreenManager.OnDraw500ms(1);
    g_ScreenManager.OnDraw500ms(1);
    EXPECT_EQ(screen_testmode::m_nFirstCameraDraw, 0);
    Press(KEY_MENU);
    EXPECT_EQ(TestModeIsCameraMenu(), 0);
    EXPECT_EQ(FB_GetEnable(), 1);
    EXPECT_EQ(GRA_GetEnableMode(), 1);
    EXPECT_EQ(screen_testmode::m_nLevel, TESTMODE_LEVEL_MENU);
}

// ---- Information ---------------------------------------------------------------------------

class InfoTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_bRecorder = 0;
        g_ScreenManager.SetActive("menu", 1);
    }
    void Open(int page)
    {
        g_nInfoType = page;
        g_ScreenManager.SetActive("info", 1);
    }
    RgbImage Draw()
    {
        g_ScreenManager.OnDraw500ms(1);
        return Lcd();
    }
    static bool Row(const RgbImage& lcd, int y, const std::string& label, const std::string& value)
    {
        return (label.empty() || ShowsText(lcd, 4, y, label, g_pFont_a24, 0xFFFF, 0)) &&
               (value.empty() || ShowsText(lcd, 90, y, value, g_pFont_a24, 0xFFFF, 0));
    }
    static void Make(const std::string& path, const std::string& contents = "x")
    {
        std::string host = HostPath("/sdcard/MY_FOLDER" + path);
        if (path.back() == '/')
            ASSERT_EQ(SYS_mkdir(("/sdcard/MY_FOLDER" + path).c_str(), 0777), 0) << path;
        else
            ASSERT_TRUE(WriteFile(host, contents)) << path;
    }
};

TEST_F(InfoTest, SystemPageShowsTheSettingsAndTheVersion)
{
    SetParameter("/Setup/AUTO OFF", 5.0f);
    SetParameter("/Setup/BATTERY", 1.0f);
    Open(2);
    RgbImage lcd = Draw();
    Snap("info-system");
    EXPECT_TRUE(ShowsText(lcd, (320 - Width("INFORMATION (SYSTEM)", g_pFont_a24)) / 2, 2, "INFORMATION (SYSTEM)",
                          g_pFont_a24, 0xFFFF, GUI_COLOR_HEADER_EDGE, GUI_COLOR_HEADER));
    EXPECT_TRUE(Row(lcd, 54, "BATTERY", "NiMH"));
    // Labels too wide for the column are drawn smaller, on two lines if need be.
    EXPECT_TRUE(ShowsText(lcd, 4, 31, "AUTO OFF", g_pFont_a20, 0xFFFF, 0));
    EXPECT_TRUE(Row(lcd, 28, "", "5min"));
    EXPECT_TRUE(ShowsText(lcd, 4, 78, "System", g_pFont_a16, 0xFFFF, 0));
    EXPECT_TRUE(ShowsText(lcd, 4, 90, "Version", g_pFont_a16, 0xFFFF, 0));
    EXPECT_TRUE(Row(lcd, 80, "", "1.01 0137"));
    EXPECT_EQ(CountNear(lcd, 82, 26, 4, 100, Shown(0xFFFF), 60), 0) << "no label runs into the values";
    EXPECT_STREQ(g_szVersionSystem, "0101.0137");
}

TEST_F(InfoTest, CardPageCountsRecordingsAndFoldersFourLevelsDown)
{
    for (const char* path : {"/A.MOV", "/b.wav", "/c.jpg", "/d.JPEG", "/notes.txt", "/.hidden.MOV", "/L1/",
                             "/L1/e.MOV", "/L1/L2/", "/L1/L2/f.MOV", "/L1/L2/L3/", "/L1/L2/L3/g.MOV",
                             "/L1/L2/L3/L4/", "/L1/L2/L3/L4/h.MOV", "/L1/L2/L3/L4/L5/", "/L1/L2/L3/L4/L5/deep.MOV",
                             "/L1/side/"})
        Make(path);
    Open(1);
    EXPECT_EQ(screen_info::m_nTotalFiles, 8) << "a file five levels down is not counted";
    EXPECT_EQ(screen_info::m_nTotalFolders, 6);
    RgbImage lcd = Draw();
    Snap("info-card");
    EXPECT_TRUE(Row(lcd, 28, "", "8"));
    EXPECT_TRUE(Row(lcd, 54, "", "6"));

    // The sizes of the card: its FAT geometry and the clusters its files take.
    std::string image = Board::Get().cards().SlotImage();
    vrec::board::FatInfo fat = vrec::board::ReadFat(image, vrec::board::ReadPartition(image));
    ASSERT_TRUE(fat.valid);
    long long total = static_cast<long long>(fat.dataClusters) * fat.clusterBytes;
    long long used = static_cast<long long>(vrec::board::UsedClusters(Board::Get().cards().SlotFiles(),
                                                                      fat.clusterBytes, fat.fatBits == 32)) *
                     fat.clusterBytes;
    char text[32];
    Int64ToString(total, text);
    EXPECT_TRUE(Row(lcd, 80, "", text)) << text;
    Int64ToString(total - used, text);
    EXPECT_TRUE(Row(lcd, 106, "", text)) << text;
    EXPECT_EQ(g_RemainMedia.GetTotalSize(), total);
}

TEST_F(InfoTest, FilePageWithoutAnOpenFileShowsTheTypeAndNoSize)
{
    g_bRecorder = 1;
    SetActionMode(ACTION_MODE_SOUND);
    Open(0);
    RgbImage lcd = Draw();
    Snap("info-file");
    EXPECT_TRUE(Row(lcd, 28, "WAV", ""));
    EXPECT_TRUE(Row(lcd, 54, "TITLE", ""));
    EXPECT_TRUE(Row(lcd, 80, "DATE", ""));
    EXPECT_TRUE(Row(lcd, 106, "SIZE", "0 byte"));
    SetActionMode(ACTION_MODE_MOVIE);
    g_bRecorder = 0;
}

TEST_F(InfoTest, MenuGoesBackAsTheMenuWasAndHomeGoesToThePlayer)
{
    screen_menu::m_nLevel = MENU_LEVEL_ITEMS;
    Open(2);
    EXPECT_EQ(screen_info::m_pLastActive, g_ScreenManager.FindScreen("menu"));
    g_ScreenManager.OnButtonPress(KEY_MENU);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "menu");
    EXPECT_EQ(screen_menu::m_nLevel, MENU_LEVEL_ITEMS) << "not activated anew";
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[12], 100u) << "LEFT repeats for the menu";

    Open(2);
    g_bMenuInputSetting = 1;
    g_bRecorder = 1;
    g_ScreenManager.OnButtonPress(KEY_F3);
    EXPECT_STREQ(g_ScreenManager.GetActive(), "player");
    EXPECT_EQ(g_bMenuInputSetting, 0);
    EXPECT_EQ(g_ScreenManager.m_adwAutoRepeat[9], 100u) << "W repeats in the recorder";
    g_bRecorder = 0;
}

}  // namespace
