// Fuzz targets: one round of a parser on arbitrary bytes. The same round
// runs under libFuzzer (one program per target, built with -DVREC_FUZZ=ON)
// and in fuzz_replay_tests, which replays every target's seed corpus.
// A target is added with VREC_FUZZ_TARGET in its source and
// vrec_add_fuzz_target in CMake (tests/CMakeLists.txt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vrec::fuzz {

// What a round found. Seeds named "ok-*" must be accepted, "bad-*" refused;
// no seed may lead to a violation (a broken promise of the code under test).
enum FuzzResult
{
    kAccepted = 0,
    kRefused = 1,
    kViolation = 3,
};

struct FuzzTarget
{
    const char* name;
    const char* corpus;      // seed folder, relative to the source tree
    size_t maxLength;        // longest input worth trying
    int mallocLimitMb;       // largest single allocation a round may make
    void (*setUp)();         // once per process, before the first round (may be null)
    int (*round)(const uint8_t* data, size_t size);
};

struct FuzzRegistration
{
    explicit FuzzRegistration(const FuzzTarget& target);
};

const std::vector<FuzzTarget>& FuzzTargets();

// True while fuzz_replay_tests replays seeds. Slow checks (the firmware's
// shell commands wait 100 ms each) then run on every input; while fuzzing
// they run on a sample only (one in 64, SampledForSlowChecks).
bool Replaying();
void SetReplaying(bool replaying);
bool SampledForSlowChecks(const uint8_t* data, size_t size);

// A scratch file of this process for rounds that read files: in the build
// tree, where the board passes paths through unchanged.
std::string ScratchPath(const std::string& suffix);
bool WriteBytes(const std::string& path, const uint8_t* data, size_t size);
std::string ReadBytes(const std::string& path);

}  // namespace vrec::fuzz

#define VREC_FUZZ_JOIN2(a, b) a##b
#define VREC_FUZZ_JOIN(a, b) VREC_FUZZ_JOIN2(a, b)
// VREC_FUZZ_TARGET({"name", "tests/.../corpus", maxLength, mallocLimitMb, setUp, round});
#define VREC_FUZZ_TARGET(...) \
    static const ::vrec::fuzz::FuzzRegistration VREC_FUZZ_JOIN(g_fuzzRegistration, __LINE__)(::vrec::fuzz::FuzzTarget __VA_ARGS__)
