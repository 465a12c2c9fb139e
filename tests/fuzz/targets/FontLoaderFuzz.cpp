// The font loader on any file, then every text operation with it: strings
// of every character code, UTF-8, key-cap marks and a long line, drawn in
// the three styles at the screen's edges. Nothing is read outside the font
// or drawn outside the screen; widths add up.
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/targets/GraphicsTarget.h"

#include <string>
#include <vector>

namespace vrec::fuzz {

namespace {

std::vector<std::string> Texts()
{
    std::string codes;
    for (int c = 1; c < 128; ++c)
        codes += static_cast<char>(c);
    return {codes, "A\x07" "BC\x07" "D", "\x07\x07\x07", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac", "\xe9" "a\xff",
            std::string(300, 'W'), ""};
}

// A 9 x 9 frame for the key caps that marked strings draw under their text.
BITMAP* ButtonFrame()
{
    static std::vector<unsigned char> file(54 + 9 * 28, 0x80);
    file[18] = 9;
    file[19] = 0;
    file[22] = 9;
    file[23] = 0;
    static BITMAP* frame = GRA_BuildBitmap(file.data());
    return frame;
}

int FontLoaderRound(const uint8_t* data, size_t size)
{
    static const std::string path = ScratchPath(".fnt");
    static const std::vector<std::string> texts = Texts();
    if (!WriteBytes(path, data, size))
        return kViolation;
    unsigned char* font = GRA_LoadFont(path.c_str());
    if (!font)
        return kRefused;
    BITMAP* const previousButton = g_pBmp_button;
    g_pBmp_button = ButtonFrame();
    int result = kAccepted;
    for (const std::string& text : texts) {
        const char* s = text.c_str();
        int width = -1, height = -1, marks[2] = {-1, -1};
        GRA_CalcStringS(&width, &height, s, font, marks);
        if (width < 0 || height < 0 || width > 256 * static_cast<int>(text.size()) || marks[0] > width ||
            marks[1] > width)
            result = kViolation;
        for (int at : {-30, 0, 100, 310}) {
            GRA_DrawString(at, at * 3 / 4, s, 0xFFFF, font);
            GRA_DrawStringS(at, 239 - at / 2, s, 0x001F, font, 0);
            GRA_DrawStringS(at, at / 2, s, 0x07E0, font, 50);
            GRA_DrawStringF(at, 100, s, 0xF800, 0x0000, font, 0);
        }
        GRA_DrawStringSR(320, 5, s, 0xFFFF, font);
        GRA_DrawStringSC(0, 120, 320, s, 0xFFFF, font);
        GRA_DrawStringFR(319, 230, s, 0xFFFF, 0, font);
    }
    g_pBmp_button = previousButton;
    GRA_FreeFont(font);
    return result;
}

}  // namespace

VREC_FUZZ_TARGET({"font_loader", "tests/fuzz/corpus/font_loader", 16384, 16, SetUpDrawingSurface, FontLoaderRound});

}  // namespace vrec::fuzz
