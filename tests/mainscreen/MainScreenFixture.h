// The main screen in this process: the GUI and its main loop on a thread of
// its own (GuiTest), with the device's picture, sound, writer and play
// threads, on a fresh board. Keys are pressed on the board's key lines; the
// LCD is checked against the resource images and the screen's coordinates.
#pragma once

#include "Middleware/GUI/Graphics.h"
#include "tests/gui/GuiFixture.h"
#include "tests/video/support/VideoPipeline.h"

#include <memory>
#include <string>

namespace vrec::test {

class MainScreenTest : public GuiTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the main screen as the player (action mode given) and runs the loop.
    void Open(int actionMode = 0);

    // A movie of `seconds` at 30 frames/s made on the card without the camera
    // (MPEG-4 frames from libavcodec, 48 kHz 16-bit sound of a 1 kHz tone at
    // -6 dBFS); its device path.
    std::string PutMovie(const std::string& name, double seconds, int width = 640);

    // Taps a key and gives the loop time to act on it.
    static void Key(unsigned long mask, int settleMs = 400);
    // Waits until the recording's position (g_nRecPos) has reached ms.
    // (Generous: a loaded machine under the sanitizers encodes HD slowly.)
    static bool WaitForRecording(int ms, int timeoutMs = 30000);

    // The LCD shows the resource image at (x, y): every pixel but the
    // image's colour key is the image's.
    bool ShowsBitmap(const vrec::board::RgbImage& lcd, int x, int y, BITMAP* bitmap);
    // The OSD's edged white text (GRA_DrawStringF, white on black).
    static bool ShowsOsdText(const vrec::board::RgbImage& lcd, int x, int y, const std::string& text,
                             unsigned char* font, bool followed = false);
    // The same, right-aligned at xRight.
    static bool ShowsOsdTextRight(const vrec::board::RgbImage& lcd, int xRight, int y, const std::string& text,
                                  unsigned char* font);

    std::unique_ptr<VideoPipeline> pipeline_;
};

}  // namespace vrec::test
