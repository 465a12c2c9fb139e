#include "tools/gui-assets/Bmp.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace vrec::tools {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

bool WriteBmp24(const Picture& picture, const std::string& path, std::string* why)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
    const uint32_t dataBytes = rowBytes * static_cast<uint32_t>(picture.height);
    std::vector<uint8_t> file;
    file.reserve(54 + dataBytes);
    file.push_back('B');
    file.push_back('M');
    Put32(file, 54 + dataBytes);
    Put32(file, 0);
    Put32(file, 54);  // pixel data right after the two headers
    Put32(file, 40);
    Put32(file, static_cast<uint32_t>(picture.width));
    Put32(file, static_cast<uint32_t>(picture.height));  // positive: bottom-up
    Put16(file, 1);
    Put16(file, 24);
    Put32(file, 0);  // BI_RGB
    Put32(file, dataBytes);
    Put32(file, 2835);  // 72 dpi
    Put32(file, 2835);
    Put32(file, 0);
    Put32(file, 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgb& p = picture.at(x, y);
            file.push_back(p.b);
            file.push_back(p.g);
            file.push_back(p.r);
        }
        for (uint32_t pad = static_cast<uint32_t>(picture.width) * 3; pad < rowBytes; ++pad)
            file.push_back(0);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        if (why)
            *why = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace vrec::tools
