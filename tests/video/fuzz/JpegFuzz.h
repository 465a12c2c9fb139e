// One round of the photo reader on arbitrary bytes: shared by the libFuzzer
// target and by the test that replays the seed corpus.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrec::test {

enum JpegFuzzResult
{
    kJpegDecoded = 0,
    kJpegRefused = 1,
    kJpegViolation = 3,  // a picture outside the limits, or checks that disagree
};

// Writes the bytes to hostPath and opens devicePath (the same file as the
// firmware names it) with JPEG_DecodeFromFile.
JpegFuzzResult JpegFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath);

}  // namespace vrec::test
