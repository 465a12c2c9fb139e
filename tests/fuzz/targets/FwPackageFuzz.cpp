// The firmware update's checks of a candidate: the first 32 bytes as a
// package header, and the input as a folder name. A header names the
// product or is refused; versions stay within 16 bits and their texts fit.
#include "Middleware/GUI/ScreenFwUpdate.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstdio>
#include <cstring>

namespace vrec::fuzz {

namespace {

bool VersionTextFits(int version)
{
    char text[sizeof(screen_fwupdate::m_NewVer)];
    const int length = std::snprintf(text, sizeof(text), "%d.%02d", version / 100, version % 100);
    return length > 0 && length < static_cast<int>(sizeof(text));
}

int FwPackageRound(const uint8_t* data, size_t size)
{
    int result = kRefused;
    if (size >= 32) {
        unsigned char header[32];
        std::memcpy(header, data, sizeof(header));
        const int version = screen_fwupdate::HeaderVersion(header);
        const bool product = std::memcmp(header, "KESTRA7 ", 8) == 0;
        if (product != (version >= 0) || version > 0xFFFF || (product && !VersionTextFits(version)))
            return kViolation;
        if (product)
            result = kAccepted;
    }
    // A folder name: what the card's directory entry can hold.
    char name[256];
    const size_t length = size < sizeof(name) - 1 ? size : sizeof(name) - 1;
    std::memcpy(name, data, length);
    name[length] = 0;
    const int version = screen_fwupdate::FolderVersion(name);
    if (version < 0 || version > 0xFFFF || !VersionTextFits(version))
        return kViolation;
    return result;
}

}  // namespace

VREC_FUZZ_TARGET({"fw_package", "tests/fuzz/corpus/fw_package", 512, 1, nullptr, FwPackageRound});

}  // namespace vrec::fuzz
