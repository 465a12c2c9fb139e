// The browse screen driven in this process: files on the board's card, the
// screen opened in a mode, keys pressed, popup entries chosen.
#pragma once

#include "Middleware/GUI/Graphics.h"
#include "tests/gui/GuiFixture.h"

#include <string>
#include <vector>

namespace vrec::test {

class BrowseTest : public GuiTest
{
protected:
    void SetUp() override;
    // The player screen may have opened a file the browse screen handed it.
    void TearDown() override;

public:
    using PanelTest::At;
    using PanelTest::Same;
    using PanelTest::Shown;

    // A file (or, for a path ending in '/', a folder) on the card, with
    // the folders above it.
    static void Put(const std::string& cardPath, const std::string& content = "x");
    static bool OnCard(const std::string& cardPath);
    // Opens the browse screen in the mode, its folder the playing list's.
    static void Open(int mode, const char* folder = "/MY_FOLDER");
    static int Press(unsigned long mask, int times = 1);
    // Every entry of the listing, and the selected one.
    static std::vector<std::string> Listing();
    static std::string Selected();
    // Selects the entry with that path (false when it is not listed).
    static bool SelectPath(const std::string& path);
    // The popup of the selected entry (left open), or chooses an entry of it.
    static std::vector<std::string> Popup();
    static bool Choose(const std::string& item);
    // The mode's playlist file on the card, entry by entry.
    static std::vector<std::string> PlaylistOnCard(int mode = 0);
    // The share of a colour-keyed bitmap's opaque pixels that the LCD shows at (x, y).
    static double IconShown(const vrec::board::RgbImage& lcd, const BITMAP* icon, int x, int y);
};

}  // namespace vrec::test
