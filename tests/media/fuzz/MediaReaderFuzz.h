// One round of the media reader on arbitrary bytes read as a WAV, a movie
// or a JPEG file: shared by the libFuzzer target and the test that replays
// its seeds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrec::test {

// The file name extension a round gives the bytes: ".wav" for bytes that
// begin like a RIFF file, ".mov" for a QuickTime file, ".jpg" for all others.
const char* MediaFuzzExtension(const uint8_t* data, size_t size);

// Writes the bytes to hostPath, opens devicePath (the same file as the
// firmware names it) with the media reader and reads every run of sound it
// hands out. Returns Open's result (0, 1, 2) or kFuzzViolation.
int MediaReaderFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath);

}  // namespace vrec::test
