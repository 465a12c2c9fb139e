#include "sim/board/Boot.h"

#include "sim/board/Card.h"
#include "sim/board/FlashImages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::board {

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Erased(const std::string& bytes)
{
    return bytes.find_first_not_of('\xff') == std::string::npos;
}

void RemoveTree(const std::string& path)
{
    RunProgram(FindSystemProgram("rm"), {"-rf", "--one-file-system", path}, "", nullptr);
}

// Unpacks the payload into dir (made anew); false and why on failure.
bool Unpack(const std::string& payload, const std::string& bootDir, const std::string& dir, std::string* why)
{
    if (mkdir(bootDir.c_str(), 0755) != 0 && errno != EEXIST) {
        *why = "cannot make " + bootDir + ": " + std::strerror(errno);
        return false;
    }
    // Earlier applications go: only the installed one is kept.
    if (DIR* d = opendir(bootDir.c_str())) {
        while (struct dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                RemoveTree(bootDir + "/" + e->d_name);
        closedir(d);
    }
    std::string partial = bootDir + "/.unpacking";
    if (mkdir(partial.c_str(), 0755) != 0) {
        *why = "cannot make " + partial + ": " + std::strerror(errno);
        return false;
    }
    std::string output;
    int status = RunProgram(FindSystemProgram("tar"), {"-xzf", "-", "-C", partial}, payload, &output);
    struct stat st;
    if (status != 0 || stat((partial + "/app").c_str(), &st) != 0 || !(st.st_mode & S_IXUSR)) {
        *why = status != 0 ? "tar could not unpack it: " + output : "it holds no program \"app\"";
        RemoveTree(partial);
        return false;
    }
    if (rename(partial.c_str(), dir.c_str()) != 0) {
        *why = "cannot move it to " + dir + ": " + std::strerror(errno);
        RemoveTree(partial);
        return false;
    }
    return true;
}

}  // namespace

BootApplication ChooseBootApplication(const std::string& root, const std::string& buildProgram,
                                      const std::string& buildWorkDir)
{
    BootApplication boot;
    boot.program = buildProgram;
    boot.workDir = buildWorkDir;
    std::string flash = ReadWhole(root + "/flash/mtd4");
    if (Erased(flash))
        return boot;
    AppImage image = ReadAppImage(flash);
    if (!image.valid) {
        boot.note = "mtd4 holds no application the board can start (" + image.why +
                    "); the build's application starts instead";
        return boot;
    }
    char crc[16];
    std::snprintf(crc, sizeof(crc), "%08x", image.payloadCrc);
    std::string bootDir = root + "/boot";
    std::string dir = bootDir + "/app-" + crc;
    struct stat st;
    if (stat((dir + "/app").c_str(), &st) != 0) {
        std::string why;
        if (!Unpack(image.payload, bootDir, dir, &why)) {
            boot.note = "the application in mtd4 cannot be unpacked (" + why + "); the build's application starts instead";
            return boot;
        }
    }
    boot.program = dir + "/app";
    boot.workDir = dir;
    boot.fromFlash = true;
    boot.version = image.version;
    boot.note = "starting the application installed in mtd4 (version " + image.version + ")";
    return boot;
}

}  // namespace vrec::board
