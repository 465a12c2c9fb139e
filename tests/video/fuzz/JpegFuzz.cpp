#include "tests/video/fuzz/JpegFuzz.h"

#include "Middleware/CODEC/Jpeg.h"

#include <cstdio>

namespace vrec::test {

JpegFuzzResult JpegFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath)
{
    FILE* f = std::fopen(hostPath, "wb");
    if (!f)
        return kJpegRefused;
    bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written)
        return kJpegRefused;
    _Buffer_Object* picture = JPEG_DecodeFromFile(devicePath);
    if (!picture)
        return kJpegRefused;
    // Only what the header check lets through may be decoded, and only
    // within the picture buffer's limits.
    if (!JPEG_IsAcceptable(data, static_cast<int>(size)))
        return kJpegViolation;
    BufferGfx_Dimensions dim;
    if (BufferGfx_getDimensions(picture, &dim) != Dmai_EOK || dim.width < 1 || dim.width > 1280 || dim.height < 1 ||
        dim.height > 720 || Buffer_getNumBytesUsed(picture) != dim.width * dim.height * 2 ||
        Buffer_getNumBytesUsed(picture) > Buffer_getSize(picture))
        return kJpegViolation;
    return kJpegDecoded;
}

}  // namespace vrec::test
