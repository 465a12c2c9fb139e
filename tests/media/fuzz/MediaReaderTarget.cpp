// The media reader's fuzz target: MediaReaderFuzzOne on a scratch file named
// as a WAV, a movie or a JPEG file by its first bytes.
// Seeds: tests/media/fuzz/make-media-seeds.py.
#include "tests/fuzz/FuzzTarget.h"
#include "tests/media/fuzz/MediaReaderFuzz.h"
#include "tests/media/fuzz/MovReaderFuzz.h"

namespace vrec::fuzz {

namespace {

int MediaReaderRound(const uint8_t* data, size_t size)
{
    const std::string path = ScratchPath(vrec::test::MediaFuzzExtension(data, size));
    return vrec::test::FuzzTargetResult(vrec::test::MediaReaderFuzzOne(data, size, path.c_str(), path.c_str()));
}

}  // namespace

VREC_FUZZ_TARGET({"media_reader", "tests/media/fuzz/media-corpus", 16384, 16, nullptr, MediaReaderRound});

}  // namespace vrec::fuzz
