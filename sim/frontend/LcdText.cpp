#include "sim/frontend/LcdText.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vrec::frontend {

namespace {

constexpr int kTolerance = 48;        // per channel, RGB565 shown as RGB888
constexpr double kOutlineShare = 0.1;  // outline pixels allowed to differ

uint32_t Le32(const std::vector<uint8_t>& d, size_t at)
{
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<uint32_t>(d[at + 3]) << 24;
}

bool Near(const uint8_t* p, uint32_t rgb)
{
    int want[3] = {static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb & 0xFF)};
    for (int i = 0; i < 3; ++i)
        if (std::abs(p[i] - want[i]) > kTolerance)
            return false;
    return true;
}

bool Matches(const board::RgbImage& picture, const TextMask& mask, uint32_t rgb, int x, int y)
{
    for (const auto& [dx, dy] : mask.ink) {
        int px = x + dx, py = y + dy;
        if (px < 0 || py < 0 || px >= picture.width || py >= picture.height)
            return false;
        if (!Near(&picture.rgb[(static_cast<size_t>(py) * picture.width + px) * 3], rgb))
            return false;
    }
    // White text is the OSD's edged text: its outline is black. Text of
    // another colour is plain: its outline shows the background, which is
    // not the text's colour.
    const bool edged = rgb == 0xFFFFFF;
    size_t wrong = 0;
    for (const auto& [dx, dy] : mask.outline) {
        int px = x + dx, py = y + dy;
        if (px < 0 || py < 0 || px >= picture.width || py >= picture.height)
            continue;
        const uint8_t* p = &picture.rgb[(static_cast<size_t>(py) * picture.width + px) * 3];
        if (edged ? !Near(p, 0x000000) : Near(p, rgb))
            ++wrong;
    }
    return wrong <= mask.outline.size() * kOutlineShare;
}

}  // namespace

bool LoadFontImage(const std::string& path, FontImage& out, std::string* why)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') {
        *why = "no font image " + path;
        return false;
    }
    uint32_t offset = Le32(d, 10);
    int width = static_cast<int>(Le32(d, 18));
    int height = static_cast<int>(Le32(d, 22));
    int bits = d[28] | d[29] << 8;
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    if (bits != 24 || width <= 0 || height <= 0 || offset + stride * height > d.size()) {
        *why = path + " is not a 24-bit font image";
        return false;
    }
    out.width = width;
    out.height = height;
    out.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &d[offset + stride * (height - 1 - y)];
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                out.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = row[x * 3 + 2 - c];
    }
    out.cellWidth = out.rgb[0];   // red of the metadata row's first pixel
    out.cellHeight = out.rgb[1];  // its green
    if (out.cellWidth <= 0 || out.cellHeight <= 1 || out.cellHeight > height) {
        *why = path + " has no cell size";
        return false;
    }
    return true;
}

TextMask MaskOf(const FontImage& font, const std::string& text)
{
    // The firmware's rules: the pen starts 4 left of x; glyph row r of a
    // cell lands on y - 5 + r; a pixel is the glyph's where its blue is 0,
    // its green the text's coverage; the advance is the metadata row's red
    // at the cell's first column, plus one.
    TextMask mask;
    int pen = -4;
    for (unsigned char c : text) {
        int code = c < 0x80 ? c : '?';
        int column = code * font.cellWidth;
        if (column >= font.width)
            continue;
        for (int r = 1; r < font.cellHeight; ++r)
            for (int x = 0; x < font.cellWidth && column + x < font.width; ++x) {
                const uint8_t* p = &font.rgb[(static_cast<size_t>(r) * font.width + column + x) * 3];
                if (p[2] != 0)
                    continue;
                if (p[1] == 255)
                    mask.ink.emplace_back(pen + x, r - 5);
                else if (p[1] == 0)
                    mask.outline.emplace_back(pen + x, r - 5);
            }
        pen += font.rgb[static_cast<size_t>(column) * 3] + 1;
    }
    return mask;
}

bool FindText(const board::RgbImage& picture, const TextMask& mask, uint32_t rgb, int x, int y, int* foundX,
              int* foundY)
{
    if (mask.ink.empty() || picture.empty())
        return false;
    if (x >= 0) {
        *foundX = x;
        *foundY = y;
        return Matches(picture, mask, rgb, x, y);
    }
    for (int ty = 0; ty < picture.height; ++ty)
        for (int tx = 0; tx < picture.width; ++tx)
            if (Matches(picture, mask, rgb, tx, ty)) {
                *foundX = tx;
                *foundY = ty;
                return true;
            }
    return false;
}

std::string FontFileName(const std::string& shortName)
{
    if (shortName == "a16")
        return "Androgyne_16.bmp";
    if (shortName == "a20")
        return "Androgyne_20.bmp";
    if (shortName == "a24")
        return "Androgyne_24.bmp";
    if (shortName == "f16")
        return "FreeSans_16.bmp";
    return "";
}

}  // namespace vrec::frontend
