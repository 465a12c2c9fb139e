// vrec-package: writes a firmware update package from a build.
//
//   vrec-package --version 0101.0137 --app build/app --approot build/approot
//                --out build/package/KS7_FW_0101.0137.bin
//                [--strip strip] [--rootfs mtd3_fs.img]
//
// The package is what the device's update screen installs from the card's
// "/UTILITY" folder: the 32-byte header ("KESTRA7 ", version x 100) and a
// gzip tar of the partition images "uImage", "mtd4_app.img",
// "mtd1_param.img" and, when --rootfs names one, "mtd3_fs.img".
#include "sim/board/Card.h"
#include "sim/board/Flash.h"
#include "sim/board/FlashImages.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace vrec::board;

namespace {

struct Options
{
    std::string version;
    std::string app;
    std::string approot;
    std::string out;
    std::string strip;
    std::string rootfs;
};

constexpr size_t kEnvironmentSize = 0x20000;  // one erase block

[[noreturn]] void Die(const std::string& why)
{
    std::fprintf(stderr, "vrec-package: %s\n", why.c_str());
    std::exit(1);
}

bool ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (arg == "--version")
            o.version = value;
        else if (arg == "--app")
            o.app = value;
        else if (arg == "--approot")
            o.approot = value;
        else if (arg == "--out")
            o.out = value;
        else if (arg == "--strip")
            o.strip = value;
        else if (arg == "--rootfs")
            o.rootfs = value;
        else
            return false;
    }
    return !o.version.empty() && !o.app.empty() && !o.approot.empty() && !o.out.empty();
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Die("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteWhole(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        Die("cannot write " + path);
}

void Run(const std::string& tool, const std::vector<std::string>& args)
{
    std::string program = tool.find('/') == std::string::npos ? FindSystemProgram(tool) : tool;
    if (program.empty())
        Die("the program " + tool + " is not installed");
    std::string output;
    if (RunProgram(program, args, "", &output) != 0)
        Die(tool + " failed: " + output);
}

// "0101.0137" -> 101: the first field is the version x 100.
int VersionTimes100(const std::string& version)
{
    size_t end = version.find_first_of("_.");
    std::string first = version.substr(0, end);
    if (first.empty() || first.find_first_not_of("0123456789") != std::string::npos || end == std::string::npos)
        Die("the version must look like 0101.0137, not '" + version + "'");
    int value = std::atoi(first.c_str());
    if (value > 0xFFFF)
        Die("the version " + version + " does not fit the package header");
    return value;
}

void CheckFits(const std::string& image, const char* name, const char* partition)
{
    if (image.size() > FlashPartitionSize(partition))
        Die(std::string(name) + " takes " + std::to_string(image.size()) + " bytes; " + partition + " holds " +
            std::to_string(FlashPartitionSize(partition)));
}

// The gzip tar of the program and its working directory.
std::string ApplicationPayload(const Options& o, const std::string& work)
{
    std::string dir = work + "/app";
    if (mkdir(dir.c_str(), 0755) != 0)
        Die("cannot make " + dir + ": " + std::strerror(errno));
    Run("cp", {"-a", o.approot + "/.", dir});
    std::string program = dir + "/app";
    // The device gets the program without its debugging sections.
    if (o.strip.empty() || RunProgram(o.strip, {"-p", "--strip-debug", "-o", program, o.app}, "", nullptr) != 0)
        Run("cp", {"-p", o.app, program});
    std::string payload = work + "/app.tar.gz";
    Run("tar", {"--sort=name", "--owner=0", "--group=0", "--numeric-owner", "-czf", payload, "-C", dir, "."});
    return ReadWhole(payload);
}

std::string KernelImage(const Options& o)
{
    // The simulated board has no kernel to load: the image names the board's
    // kernel build, and the board checks its header and checksums like a
    // boot loader does.
    std::string text = "Linux kernel of the KESTRA7 simulated board, firmware " + o.version + "\n";
    return MakeUImage(text, "KESTRA7 board " + o.version, static_cast<uint32_t>(std::time(nullptr)));
}

std::string ParameterImage(const Options& o)
{
    const std::vector<std::string> variables = {
        "bootcmd=nboot 0x80700000 0 0x0",
        "bootargs=console=ttyS0,115200n8 root=/dev/mtdblock3 rootfstype=jffs2 mem=116M",
        "firmware=" + o.version,
    };
    std::string text;
    for (const std::string& v : variables)
        text += v + '\0';
    return MakeUbootEnvironment(text, kEnvironmentSize);
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: vrec-package --version TEXT --app PROGRAM --approot DIR --out FILE [--strip STRIP] "
                     "[--rootfs IMAGE]\n");
        return 2;
    }
    int version = VersionTimes100(o.version);
    std::string work = o.out + ".work";
    Run("rm", {"-rf", work});
    if (mkdir(work.c_str(), 0755) != 0)
        Die("cannot make " + work + ": " + std::strerror(errno));

    std::string images = work + "/images";
    if (mkdir(images.c_str(), 0755) != 0)
        Die("cannot make " + images + ": " + std::strerror(errno));
    std::string app = MakeAppImage(ApplicationPayload(o, work), o.version);
    std::string kernel = KernelImage(o);
    std::string parameters = ParameterImage(o);
    CheckFits(app, "mtd4_app.img", "mtd4");
    CheckFits(kernel, "uImage", "mtd2");
    CheckFits(parameters, "mtd1_param.img", "mtd1");
    WriteWhole(images + "/mtd4_app.img", app);
    WriteWhole(images + "/uImage", kernel);
    WriteWhole(images + "/mtd1_param.img", parameters);
    std::vector<std::string> names = {"uImage", "mtd4_app.img", "mtd1_param.img"};
    if (!o.rootfs.empty()) {
        std::string rootfs = ReadWhole(o.rootfs);
        CheckFits(rootfs, "mtd3_fs.img", "mtd3");
        WriteWhole(images + "/mtd3_fs.img", rootfs);
        names.push_back("mtd3_fs.img");
    }

    std::string archive = work + "/images.tar.gz";
    std::vector<std::string> tar = {"--owner=0", "--group=0", "--numeric-owner", "-czf", archive, "-C", images};
    tar.insert(tar.end(), names.begin(), names.end());
    Run("tar", tar);
    WriteWhole(o.out, MakePackageHeader(version) + ReadWhole(archive));
    Run("rm", {"-rf", work});
    std::printf("%s: version %s, application %zu bytes, kernel %zu bytes, parameters %zu bytes%s\n", o.out.c_str(),
                o.version.c_str(), app.size(), kernel.size(), parameters.size(),
                o.rootfs.empty() ? "" : ", root file system");
    return 0;
}
