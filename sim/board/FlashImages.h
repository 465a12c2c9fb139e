// What the partitions of the board's NAND flash hold once a firmware update
// has written them, and the update package that carries them:
//
// - mtd4 "mtd4_app.img", the application: a 512-byte header and a gzip tar
//   of the program ("app") and its working directory (img/, font/, default
//   settings), which the board unpacks and starts at power-on;
// - mtd2 "uImage", the kernel: a U-Boot legacy image (64-byte header);
// - mtd1 "mtd1_param.img", the boot parameters: a U-Boot environment;
// - the package: the 32-byte header ("KESTRA7 ", version x 100) and a gzip
//   tar of those images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vrec::board {

uint32_t Crc32(const void* data, size_t size);

constexpr size_t kAppImageHeaderSize = 512;
constexpr char kAppImageMagic[] = "KS7-APP";  // 8 bytes with its NUL

// The application image around a payload (a gzip tar), padded with erased
// bytes to a whole flash page.
std::string MakeAppImage(const std::string& payload, const std::string& version);

struct AppImage
{
    bool valid = false;
    std::string why;       // when not valid
    std::string version;   // the firmware's version text
    uint32_t payloadCrc = 0;
    std::string payload;   // the gzip tar
};

// Reads the image at the start of what a partition holds.
AppImage ReadAppImage(const std::string& partition);

constexpr size_t kUImageHeaderSize = 64;

// A U-Boot legacy image of an ARM Linux kernel, uncompressed.
std::string MakeUImage(const std::string& data, const std::string& name, uint32_t timestamp);
// True for a well-formed image (magic, header and data checksums); the name
// of the kernel or why not.
bool CheckUImage(const std::string& image, std::string* nameOrWhy);

// A U-Boot environment of `size` bytes: CRC32, then "name=value" strings.
std::string MakeUbootEnvironment(const std::string& variables, size_t size);

constexpr size_t kPackageHeaderSize = 32;
constexpr char kPackageProduct[] = "KESTRA7 ";  // 8 bytes without its NUL

std::string MakePackageHeader(int versionTimes100);

}  // namespace vrec::board
