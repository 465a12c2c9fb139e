#include "sim/board/FlashImages.h"

#include "sim/board/Flash.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace vrec::board {

namespace {

void PutLe32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

uint32_t GetLe32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])) << (8 * i);
    return v;
}

void PutBe32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

uint32_t GetBe32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | static_cast<uint8_t>(s[at + i]);
    return v;
}

// Application image header.
constexpr size_t kFormatAt = 8;
constexpr size_t kSizeAt = 12;
constexpr size_t kPayloadCrcAt = 16;
constexpr size_t kHeaderCrcAt = 20;
constexpr size_t kVersionAt = 24;
constexpr size_t kVersionSize = 32;
constexpr uint32_t kAppImageFormat = 1;

uint32_t HeaderCrc(std::string header)
{
    PutLe32(header, kHeaderCrcAt, 0);
    return Crc32(header.data(), kAppImageHeaderSize);
}

// U-Boot legacy image header (big-endian).
constexpr uint32_t kUImageMagic = 0x27051956;
constexpr uint32_t kLoadAddress = 0x80008000;
enum : uint8_t
{
    kOsLinux = 5,
    kArchArm = 2,
    kTypeKernel = 2,
    kCompressionNone = 0,
};

}  // namespace

uint32_t Crc32(const void* data, size_t size)
{
    return static_cast<uint32_t>(crc32(0, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

std::string MakeAppImage(const std::string& payload, const std::string& version)
{
    std::string image(kAppImageHeaderSize, '\0');
    std::memcpy(&image[0], kAppImageMagic, sizeof(kAppImageMagic));
    PutLe32(image, kFormatAt, kAppImageFormat);
    PutLe32(image, kSizeAt, static_cast<uint32_t>(payload.size()));
    PutLe32(image, kPayloadCrcAt, Crc32(payload.data(), payload.size()));
    std::memcpy(&image[kVersionAt], version.data(), std::min(version.size(), kVersionSize - 1));
    PutLe32(image, kHeaderCrcAt, HeaderCrc(image));
    image += payload;
    size_t pages = (image.size() + kFlashPageSize - 1) / kFlashPageSize;
    image.resize(pages * kFlashPageSize, static_cast<char>(0xFF));
    return image;
}

AppImage ReadAppImage(const std::string& partition)
{
    AppImage out;
    if (partition.size() < kAppImageHeaderSize ||
        std::memcmp(partition.data(), kAppImageMagic, sizeof(kAppImageMagic)) != 0) {
        out.why = "no application image header";
        return out;
    }
    std::string header = partition.substr(0, kAppImageHeaderSize);
    if (GetLe32(header, kHeaderCrcAt) != HeaderCrc(header)) {
        out.why = "the image header is damaged";
        return out;
    }
    if (GetLe32(header, kFormatAt) != kAppImageFormat) {
        out.why = "image format " + std::to_string(GetLe32(header, kFormatAt)) + " is not known";
        return out;
    }
    uint32_t size = GetLe32(header, kSizeAt);
    if (size > partition.size() - kAppImageHeaderSize) {
        out.why = "the image is cut short";
        return out;
    }
    out.payload = partition.substr(kAppImageHeaderSize, size);
    out.payloadCrc = GetLe32(header, kPayloadCrcAt);
    if (Crc32(out.payload.data(), out.payload.size()) != out.payloadCrc) {
        out.payload.clear();
        out.why = "the application's bytes are damaged (checksum)";
        return out;
    }
    out.version = std::string(header.c_str() + kVersionAt, strnlen(header.c_str() + kVersionAt, kVersionSize));
    out.valid = true;
    return out;
}

std::string MakeUImage(const std::string& data, const std::string& name, uint32_t timestamp)
{
    std::string header(kUImageHeaderSize, '\0');
    PutBe32(header, 0, kUImageMagic);
    PutBe32(header, 8, timestamp);
    PutBe32(header, 12, static_cast<uint32_t>(data.size()));
    PutBe32(header, 16, kLoadAddress);
    PutBe32(header, 20, kLoadAddress);
    PutBe32(header, 24, Crc32(data.data(), data.size()));
    header[28] = static_cast<char>(kOsLinux);
    header[29] = static_cast<char>(kArchArm);
    header[30] = static_cast<char>(kTypeKernel);
    header[31] = static_cast<char>(kCompressionNone);
    std::memcpy(&header[32], name.data(), std::min<size_t>(name.size(), 31));
    PutBe32(header, 4, Crc32(header.data(), header.size()));
    return header + data;
}

bool CheckUImage(const std::string& image, std::string* nameOrWhy)
{
    auto fail = [nameOrWhy](const char* why) {
        *nameOrWhy = why;
        return false;
    };
    if (image.size() < kUImageHeaderSize || GetBe32(image, 0) != kUImageMagic)
        return fail("no kernel image header");
    std::string header = image.substr(0, kUImageHeaderSize);
    uint32_t headerCrc = GetBe32(header, 4);
    PutBe32(header, 4, 0);
    if (Crc32(header.data(), header.size()) != headerCrc)
        return fail("the kernel image header is damaged");
    uint32_t size = GetBe32(header, 12);
    if (size > image.size() - kUImageHeaderSize ||
        Crc32(image.data() + kUImageHeaderSize, size) != GetBe32(header, 24))
        return fail("the kernel's bytes are damaged (checksum)");
    *nameOrWhy = std::string(header.c_str() + 32, strnlen(header.c_str() + 32, 32));
    return true;
}

std::string MakeUbootEnvironment(const std::string& variables, size_t size)
{
    std::string env(size, '\0');
    std::memcpy(&env[4], variables.data(), std::min(variables.size(), size - 5));
    PutLe32(env, 0, Crc32(env.data() + 4, size - 4));
    return env;
}

std::string MakePackageHeader(int versionTimes100)
{
    std::string header(kPackageHeaderSize, '\0');
    std::memcpy(&header[0], kPackageProduct, 8);
    header[8] = static_cast<char>(versionTimes100 & 0xFF);
    header[9] = static_cast<char>((versionTimes100 >> 8) & 0xFF);
    return header;
}

}  // namespace vrec::board
