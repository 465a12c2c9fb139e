// libFuzzer entry: JPEG_DecodeFromFile's checks and the decoder on any bytes.
//   cmake -S . -B build-fuzz -G Ninja -DVREC_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target jpeg_decode_fuzz
//   build-fuzz/tests/video/jpeg_decode_fuzz -max_len=4096 build-fuzz/fuzz/jpeg-corpus tests/video/fuzz/corpus
#include "Lib/Global.h"
#include "Middleware/CODEC/Jpeg.h"
#include "tests/video/fuzz/JpegFuzz.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string g_input;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The firmware's files live on a board inside the build tree; the input
    // file lies in the build tree too, where paths are used as they are.
    mkdir(VREC_FUZZ_DIR, 0755);
    setenv("VRECSIM_ROOT", VREC_FUZZ_DIR "/board", 0);
    g_input = std::string(VREC_FUZZ_DIR) + "/input-" + std::to_string(getpid()) + ".jpg";
    g_hEngine = Engine_open("encodedecode", nullptr, nullptr);
    return JPEG_Init() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (vrec::test::JpegFuzzOne(data, size, g_input.c_str(), g_input.c_str()) == vrec::test::kJpegViolation)
        __builtin_trap();
    return 0;
}
