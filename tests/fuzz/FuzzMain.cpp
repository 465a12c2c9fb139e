// libFuzzer entry of a fuzz program: the one target linked into it, on a
// board of its own in the build tree, with its length and allocation limits
// unless the command line names others. UB halts (the build traps on it).
//   cmake -S . -B build-fuzz -G Ninja -DVREC_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target settings_store_fuzz
//   build-fuzz/tests/fuzz/settings_store_fuzz -close_fd_mask=1 -max_total_time=600 CORPUS_DIR SEED_DIR
#include "tests/fuzz/FuzzTarget.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const vrec::fuzz::FuzzTarget* g_target = nullptr;

bool HasFlag(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    const auto& targets = vrec::fuzz::FuzzTargets();
    if (targets.size() != 1) {
        std::fprintf(stderr, "a fuzz program links exactly one target, this one has %zu\n", targets.size());
        std::exit(2);
    }
    g_target = &targets[0];
    mkdir(VREC_FUZZ_DIR, 0755);
    setenv("VRECSIM_ROOT", (std::string(VREC_FUZZ_DIR) + "/board-" + g_target->name).c_str(), 0);

    // The target's own limits, placed before the caller's flags (libFuzzer
    // reads the arguments after this call).
    static std::vector<std::string> added;
    if (!HasFlag(*argc, *argv, "-max_len="))
        added.push_back("-max_len=" + std::to_string(g_target->maxLength));
    if (!HasFlag(*argc, *argv, "-malloc_limit_mb="))
        added.push_back("-malloc_limit_mb=" + std::to_string(g_target->mallocLimitMb));
    // A target may change the working directory (the settings' default
    // files are relative): corpus folders and findings stay where named.
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd)))
        std::exit(2);
    if (!HasFlag(*argc, *argv, "-artifact_prefix="))
        added.push_back(std::string("-artifact_prefix=") + cwd + "/");
    for (int i = 1; i < *argc; ++i) {
        const char* arg = (*argv)[i];
        added.push_back(arg[0] == '-' || arg[0] == '/' ? std::string(arg) : std::string(cwd) + "/" + arg);
    }
    static std::vector<char*> args;
    args.push_back((*argv)[0]);
    for (std::string& flag : added)
        args.push_back(flag.data());
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();

    if (g_target->setUp)
        g_target->setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_target->round(data, size) == vrec::fuzz::kViolation)
        __builtin_trap();
    return 0;
}
