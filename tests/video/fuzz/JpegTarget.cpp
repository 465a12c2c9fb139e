// The photo reader's fuzz target: JpegFuzzOne on a scratch file, with the
// codec engine open and JPEG set up as at start-up.
#include "Lib/Global.h"
#include "Middleware/CODEC/Jpeg.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/video/fuzz/JpegFuzz.h"

#include <cstdlib>

namespace vrec::fuzz {

namespace {

void SetUp()
{
    if (!g_hEngine)
        g_hEngine = Engine_open("encodedecode", nullptr, nullptr);
    if (!JPEG_Init())
        std::abort();
}

int JpegDecodeRound(const uint8_t* data, size_t size)
{
    static const std::string path = ScratchPath(".jpg");
    switch (vrec::test::JpegFuzzOne(data, size, path.c_str(), path.c_str())) {
    case vrec::test::kJpegDecoded:
        return kAccepted;
    case vrec::test::kJpegViolation:
        return kViolation;
    default:
        return kRefused;
    }
}

}  // namespace

VREC_FUZZ_TARGET({"jpeg_decode", "tests/video/fuzz/corpus", 4096, 16, SetUp, JpegDecodeRound});

}  // namespace vrec::fuzz
