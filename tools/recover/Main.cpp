// vrec-recover: mends a recording of the recorder that a power loss or a
// pulled card cut short, after it was copied off the card: a movie gets its
// index back from the journal the recorder kept beside it, a WAV file its
// sizes. The file is mended in place, as the recorder does at card
// acceptance.
#include "Media/Recovery.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: vrec-recover FILE [JOURNAL]\n"
                 "  FILE     a movie (.MOV) or sound recording (.WAV) of the recorder\n"
                 "  JOURNAL  the movie's journal (default: \".FILE.jnl\" beside it, as on the card)\n"
                 "exit status: 0 recovered or already whole, 1 not recoverable, 2 usage\n");
    return 2;
}

bool EndsWith(const std::string& text, const char* suffix)
{
    size_t n = std::strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))
        return Usage();
    const std::string path = argv[1];
    int result;
    if (EndsWith(path, ".mov"))
        result = RCV_RecoverMovie(path.c_str(), argc == 3 ? argv[2] : nullptr);
    else if (EndsWith(path, ".wav") && argc == 2)
        result = RCV_RecoverWav(path.c_str());
    else
        return Usage();
    std::fflush(stdout);
    switch (result) {
    case RCV_RECOVERED:
        std::printf("%s: recovered\n", path.c_str());
        return 0;
    case RCV_COMPLETE:
        std::printf("%s: whole, nothing to do\n", path.c_str());
        return 0;
    case RCV_REMOVED:
        std::printf("%s: held nothing playable and was removed\n", path.c_str());
        return 0;
    default:
        std::fprintf(stderr, "%s: not recoverable\n", path.c_str());
        return 1;
    }
}
