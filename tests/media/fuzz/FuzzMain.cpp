// libFuzzer entry of the reader targets: the movie reader (mov_reader_fuzz)
// and the media reader on WAV and JPEG files (media_reader_fuzz, built with
// VREC_FUZZ_MEDIA), each with Open and the lookups on any bytes.
//   cmake -S . -B build-fuzz -G Ninja -DVREC_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target mov_reader_fuzz media_reader_fuzz
//   build-fuzz/tests/media/mov_reader_fuzz -max_len=8192 build-fuzz/fuzz/corpus tests/media/fuzz/corpus
//   build-fuzz/tests/media/media_reader_fuzz -max_len=8192 build-fuzz/fuzz/media tests/media/fuzz/media-corpus
#include "tests/media/fuzz/MediaReaderFuzz.h"
#include "tests/media/fuzz/MovReaderFuzz.h"

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
    g_input = std::string(VREC_FUZZ_DIR) + "/input-" + std::to_string(getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef VREC_FUZZ_MEDIA
    const std::string path = g_input + vrec::test::MediaFuzzExtension(data, size);
    const int result = vrec::test::MediaReaderFuzzOne(data, size, path.c_str(), path.c_str());
#else
    const std::string path = g_input + ".mov";
    const int result = vrec::test::MovReaderFuzzOne(data, size, path.c_str(), path.c_str());
#endif
    if (result == vrec::test::kFuzzViolation)
        __builtin_trap();
    return 0;
}
