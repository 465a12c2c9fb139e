// libFuzzer entry: JPEG_DecodeFromFile's checks and the decoder on any bytes.
//   cmake -S . -B build-fuzz -G Ninja -DVREC_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target jpeg_decode_fuzz
//   build-fuzz/tests/video/jpeg_decode_fuzz -max_len=4096 build-fuzz/fuzz/jpeg-corpus tests/video/fuzz/corpus
#include "Lib/Global.h"
#include "Middleware/CODEC/Jpeg.h"
#include "tests/support/FuzzInput.h"
#include "tests/video/fuzz/JpegFuzz.h"

#include <string>

namespace {

std::string g_input;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_input = vrec::test::PrepareFuzzInput(VREC_FUZZ_DIR, ".jpg");
    g_hEngine = Engine_open("encodedecode", nullptr, nullptr);
    return JPEG_Init() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (vrec::test::JpegFuzzOne(data, size, g_input.c_str(), g_input.c_str()) == vrec::test::kJpegViolation)
        __builtin_trap();
    return 0;
}
