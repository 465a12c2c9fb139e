#include "tools/gui-assets/Description.h"

#include <fstream>
#include <sstream>

namespace vrec::tools {

namespace {

bool ParseColour(const std::string& text, unsigned& out)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str() + 1, &end, 16);
    if (*end != 0)
        return false;
    out = static_cast<unsigned>(value);
    return true;
}

// "key" (clear areas keyed, edges over a dark matte), "key/#RRGGBB" or "#RRGGBB".
bool ParseBackground(const std::string& text, ImageEntry& entry)
{
    if (text == "key") {
        entry.keyed = true;
        entry.matte = 0x202020;
        return true;
    }
    if (text.rfind("key/", 0) == 0) {
        entry.keyed = true;
        return ParseColour(text.substr(4), entry.matte);
    }
    entry.keyed = false;
    return ParseColour(text, entry.matte);
}

}  // namespace

bool ReadDescription(const std::string& path, Description& out, std::string* why)
{
    std::ifstream in(path);
    if (!in) {
        *why = "cannot open " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;  // blank line or comment
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind))
            continue;
        bool ok = false;
        if (kind == "image") {
            ImageEntry entry;
            std::string background;
            ok = static_cast<bool>(words >> entry.output >> entry.source >> entry.width >> entry.height >> background) &&
                 entry.width > 0 && entry.height > 0 && ParseBackground(background, entry);
            if (ok)
                out.images.push_back(entry);
        } else if (kind == "font") {
            FontEntry entry;
            ok = static_cast<bool>(words >> entry.output >> entry.face >> entry.pixelSize >> entry.baseline >>
                                   entry.rows >> entry.tracking) &&
                 entry.pixelSize > 0 && entry.rows > 0 && entry.rows < 255 && entry.baseline < entry.rows;
            if (ok)
                out.fonts.push_back(entry);
        }
        std::string extra;
        if (!ok || (words >> extra)) {
            *why = path + ":" + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
    }
    return true;
}

}  // namespace vrec::tools
