// The movie reader's fuzz target: MovReaderFuzzOne on a scratch file.
// Seeds: tests/media/fuzz/make-seeds.py.
#include "tests/fuzz/FuzzTarget.h"
#include "tests/media/fuzz/MovReaderFuzz.h"

namespace vrec::fuzz {

namespace {

int MovReaderRound(const uint8_t* data, size_t size)
{
    static const std::string path = ScratchPath(".mov");
    return vrec::test::FuzzTargetResult(vrec::test::MovReaderFuzzOne(data, size, path.c_str(), path.c_str()));
}

}  // namespace

VREC_FUZZ_TARGET({"mov_reader", "tests/media/fuzz/corpus", 16384, 1, nullptr, MovReaderRound});

}  // namespace vrec::fuzz
