// The firmware's devices and GUI brought up in this process on a fresh
// board, as the application main thread does, with the board's keys, test
// clock and LCD picture at hand.
#pragma once

#include "sim/board/HardwareState.h"
#include "sim/board/Image.h"
#include "sim/board/Pixels.h"
#include "tests/support/BoardTest.h"

#include <functional>
#include <string>
#include <thread>

namespace vrec::test {

// A fresh board with its keys, test clock and panel at hand.
class PanelTest : public BoardTest
{
protected:
    static vrec::board::HardwareState& State();

    // Key lines of the board (F1 through the power controller).
    static void Keys(unsigned long mask, bool on);
    // Presses and releases, holding for holdMs of real time: the loop
    // polls every 50 ms.
    static void Tap(unsigned long mask, int holdMs = 200);

    // The test clock: held at the present time, moved only by Advance.
    static void HoldClock();
    static void Advance(int ms);

    // Waits in real time until done() holds; false on time-out.
    static bool WaitFor(const std::function<bool()>& done, int timeoutMs = 4000);

    // The LCD panel as a person sees it, and one logical GUI pixel of it
    // (x right, y down on the 320 x 240 screen).
    vrec::board::RgbImage Lcd();
    static vrec::board::Rgb At(const vrec::board::RgbImage& lcd, int x, int y);
    // How the panel shows an RGB565 colour of the GUI.
    static vrec::board::Rgb Shown(uint16_t colour);
    static bool Same(vrec::board::Rgb a, vrec::board::Rgb b);
    // Pixels of a logical rectangle that are (near) a colour.
    static int CountNear(const vrec::board::RgbImage& lcd, int x, int y, int w, int h, vrec::board::Rgb colour,
                         int tolerance = 24);
    // True when the LCD shows `text` at (x, y) as the firmware's text
    // routines draw it over `background` (GRA_DrawStringS, or GRA_DrawStringF
    // with an edge colour): every pixel the string inks is there, and no
    // pixel of the text colour follows its end (unless `followed`: other text
    // comes right after it). Call it while no loop draws.
    static bool ShowsText(const vrec::board::RgbImage& lcd, int x, int y, const std::string& text,
                          unsigned char* font, uint16_t colour, int edge = -1, uint16_t background = 0,
                          bool followed = false);
    // Writes the LCD picture under the board root, upright, for a person to look at.
    std::string Snap(const std::string& name);

    // The screen the firmware noted as active.
    static std::string ActiveScreen();
};

// The devices, resources and screens as the application main thread brings
// them up (the screens once per process), and down again; for fixtures
// that need more than GuiTest.
void BringUpGui();
void TakeDownGui();

// The firmware's devices and GUI brought up in this process, as the
// application main thread does.
class GuiTest : public PanelTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The main loop on a thread of its own, until StopLoop.
    void StartLoop();
    void StopLoop();
    // Box state as the GUI thread leaves it.
    static int BoxState();
    // Waits until a box of that kind is open and its loop has run a few
    // passes, so that a key pressed now is a new press for it.
    static bool WaitForBox(int state, int timeoutMs = 4000);

private:
    std::thread loop_;
};

}  // namespace vrec::test
