// One round of the movie reader on arbitrary bytes: shared by the libFuzzer
// target and by the test that replays the seed corpus.
#pragma once

#include "tests/fuzz/FuzzTarget.h"

#include <cstddef>
#include <cstdint>

namespace vrec::test {

// Result of a round that found the reader handing out a place outside the
// file or a place it could not read.
constexpr int kFuzzViolation = 3;

// Writes a round's input file; false when it cannot be written.
bool WriteFuzzInput(const char* path, const uint8_t* data, size_t size);

// Writes the bytes to hostPath, opens devicePath (the same file as the
// firmware names it) and looks samples up all over both tracks. Returns
// Open's result (0, 1, 2) or kFuzzViolation.
int MovReaderFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath);

// A reader round's result as the fuzz targets report it.
inline int FuzzTargetResult(int readerResult)
{
    if (readerResult == 0)
        return vrec::fuzz::kAccepted;
    return readerResult == kFuzzViolation ? vrec::fuzz::kViolation : vrec::fuzz::kRefused;
}

}  // namespace vrec::test
