// vrec-gui-assets: makes the GUI's pictures and font images from the
// drawings and the description kept in the repository.
//
//   vrec-gui-assets DESCRIPTION DRAWINGS-DIR FONTS-DIR OUTPUT-DIR
#include "tools/gui-assets/Bmp.h"
#include "tools/gui-assets/Description.h"
#include "tools/gui-assets/FontImage.h"
#include "tools/gui-assets/SvgImage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

bool MakeParentDirs(const std::string& file)
{
    for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
        std::string dir = file.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "vrec-gui-assets: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace vrec::tools;
    if (argc != 5) {
        std::fprintf(stderr, "usage: vrec-gui-assets DESCRIPTION DRAWINGS-DIR FONTS-DIR OUTPUT-DIR\n");
        return 2;
    }
    const std::string drawings = argv[2], fonts = argv[3], output = argv[4];
    Description description;
    std::string why;
    if (!ReadDescription(argv[1], description, &why))
        return Fail(why);

    for (const ImageEntry& entry : description.images) {
        Picture picture;
        std::string path = output + "/" + entry.output;
        if (!RenderSvg(drawings + "/" + entry.source, entry, picture, &why))
            return Fail(why);
        if (!MakeParentDirs(path) || !WriteBmp24(picture, path, &why))
            return Fail(why.empty() ? "cannot create the folder of " + path : why);
    }
    for (const FontEntry& entry : description.fonts) {
        Picture picture;
        std::string path = output + "/" + entry.output;
        if (!RenderFont(fonts + "/" + entry.face, entry, picture, &why))
            return Fail(why);
        if (!MakeParentDirs(path) || !WriteBmp24(picture, path, &why))
            return Fail(why.empty() ? "cannot create the folder of " + path : why);
    }
    return 0;
}
