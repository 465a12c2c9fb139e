#include "tests/gui/GuiFixture.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "DrvLib/Rtc.h"
#include "Lib/Global.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/StateControl.h"
#include "sim/board/Board.h"
#include "sim/board/Compositor.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>
#include <unistd.h>

namespace vrec::test {

using vrec::board::Board;
using vrec::board::Rgb;
using vrec::board::RgbImage;

void GuiTest::SetUp()
{
    PanelTest::SetUp();
    BringUpGui();
}

void BringUpGui()
{
    g_bQuit = 0;
    g_bSdCard = 1;
    g_bPowerOffReq = 0;
    g_dwPowerOffTime = 0;
    ASSERT_EQ(LED_Init(), 1);
    ASSERT_EQ(RTC_Init(), 1);
    ASSERT_EQ(MSP430_Init(), 1);
    ASSERT_EQ(KEY_Init(), 1);
    ASSERT_EQ(FB_Init(), 1);
    ASSERT_EQ(GRA_Init(), 1);
    // Resources and screens live for the whole process, as on the device.
    static bool s_loaded = false;
    if (!s_loaded) {
        ASSERT_EQ(GUI_Init(), 1);
        CScreenBase* (*const creators[])(void) = {
            CreateScreen_popup,    CreateScreen_browse,   CreateScreen_player,
            CreateScreen_menu,     CreateScreen_testmode, CreateScreen_datetime,
            CreateScreen_filename, CreateScreen_info,     CreateScreen_fwupdate,
        };
        for (auto create : creators)
            g_ScreenManager.Add(create());
        s_loaded = true;
    }
    LED_SetBacklight(4);
}

void GuiTest::TearDown()
{
    StopLoop();
    TakeDownGui();
    PanelTest::TearDown();
}

void TakeDownGui()
{
    FB_Exit();
    KEY_Exit();
    MSP430_Exit();
    RTC_Exit();
    LED_Exit();
}

vrec::board::HardwareState& PanelTest::State()
{
    return Board::Get().state();
}

void PanelTest::Keys(unsigned long mask, bool on)
{
    if (mask & KEY_F1)
        State().power.f1Pressed = on ? 1 : 0;
    unsigned long lines = mask & ~static_cast<unsigned long>(KEY_F1);
    if (lines)
        vrec::board::SetKeyBits(State(), static_cast<uint32_t>(lines), on);
}

void PanelTest::Tap(unsigned long mask, int holdMs)
{
    Keys(mask, true);
    usleep(holdMs * 1000);
    Keys(mask, false);
    usleep(150 * 1000);
}

void PanelTest::HoldClock()
{
    vrec::board::HoldClock(State());
}

void PanelTest::Advance(int ms)
{
    vrec::board::AdvanceClock(State(), ms);
}

void GuiTest::StartLoop()
{
    g_bQuit = 0;
    loop_ = std::thread([] { AppMainLoop(); });
}

void GuiTest::StopLoop()
{
    if (!loop_.joinable())
        return;
    g_bQuit = 1;
    loop_.join();
    g_bQuit = 0;
}

bool PanelTest::WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        usleep(10 * 1000);
    }
    return true;
}

int GuiTest::BoxState()
{
    return __atomic_load_n(&g_ScreenManager.m_nBoxState, __ATOMIC_ACQUIRE);
}

bool GuiTest::WaitForBox(int state, int timeoutMs)
{
    if (!WaitFor([state] { return BoxState() == state; }, timeoutMs))
        return false;
    usleep(200 * 1000);
    return true;
}

RgbImage PanelTest::Lcd()
{
    return vrec::board::ComposeLcd(BoardRoot(), State());
}

Rgb PanelTest::At(const RgbImage& lcd, int x, int y)
{
    // The panel is portrait: logical x runs down its rows, y right to left.
    int column = lcd.width - 1 - y;
    int row = x;
    const uint8_t* p = &lcd.rgb[(static_cast<size_t>(row) * lcd.width + column) * 3];
    return {p[0], p[1], p[2]};
}

Rgb PanelTest::Shown(uint16_t colour)
{
    return vrec::board::Rgb565ToRgb(colour);
}

bool PanelTest::Same(Rgb a, Rgb b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

int PanelTest::CountNear(const RgbImage& lcd, int x, int y, int w, int h, Rgb colour, int tolerance)
{
    int n = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            Rgb p = At(lcd, i, j);
            if (std::abs(p.r - colour.r) <= tolerance && std::abs(p.g - colour.g) <= tolerance &&
                std::abs(p.b - colour.b) <= tolerance)
                ++n;
        }
    return n;
}

bool PanelTest::ShowsText(const RgbImage& lcd, int x, int y, const std::string& text, unsigned char* font,
                          uint16_t colour, int edge, uint16_t background, bool followed)
{
    // The string drawn alone on a canvas of the LCD's layout (logical (x, y)
    // at 478 + 480 x - 2 y), then compared where it inks.
    if (GRA_GetRotate() != 90)
        return false;
    std::vector<uint16_t> canvas(240 * 320, background);
    unsigned char* saved = g_pDrawTarget;
    g_pDrawTarget = reinterpret_cast<unsigned char*>(canvas.data());
    if (edge < 0)
        GRA_DrawStringS(x, y, text.c_str(), colour, font, 0);
    else
        GRA_DrawStringF(x, y, text.c_str(), colour, static_cast<uint16_t>(edge), font, 0);
    g_pDrawTarget = saved;
    auto drawn = [&canvas](int cx, int cy) { return canvas[static_cast<size_t>(239 + 240 * cx - cy)]; };

    int inked = 0, wrong = 0, lastInk = -1;
    for (int cy = std::max(0, y - 8); cy < std::min(240, y + 32); ++cy)
        for (int cx = std::max(0, x - 8); cx < 320; ++cx) {
            uint16_t pixel = drawn(cx, cy);
            if (pixel == background)
                continue;
            ++inked;
            lastInk = std::max(lastInk, cx);
            if (!Same(At(lcd, cx, cy), Shown(pixel)))
                ++wrong;
        }
    int extra = 0;
    for (int cy = followed ? 240 : std::max(0, y - 4); cy < std::min(240, y + 20); ++cy)
        for (int cx = lastInk + 2; cx < std::min(320, lastInk + 9); ++cx)
            if (Same(At(lcd, cx, cy), Shown(colour)))
                ++extra;
    return inked > 0 && wrong == 0 && extra == 0;
}

std::string PanelTest::Snap(const std::string& name)
{
    // Written the way the GUI is laid out (320 x 240), to be read upright.
    RgbImage lcd = Lcd();
    RgbImage upright;
    upright.width = 320;
    upright.height = 240;
    upright.rgb.resize(320 * 240 * 3);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            Rgb p = At(lcd, x, y);
            uint8_t* q = &upright.rgb[(static_cast<size_t>(y) * 320 + x) * 3];
            q[0] = p.r;
            q[1] = p.g;
            q[2] = p.b;
        }
    std::string path = BoardRoot() + "/" + name + ".png";
    std::string why;
    EXPECT_TRUE(vrec::board::WritePng(upright, path, &why)) << why;
    return path;
}

std::string PanelTest::ActiveScreen()
{
    return State().firmware.activeScreen;
}

}  // namespace vrec::test
