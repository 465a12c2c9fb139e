#include "tests/fuzz/FuzzTarget.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::fuzz {

namespace {

std::vector<FuzzTarget>& Registry()
{
    static std::vector<FuzzTarget> targets;
    return targets;
}

}  // namespace

FuzzRegistration::FuzzRegistration(const FuzzTarget& target)
{
    Registry().push_back(target);
}

const std::vector<FuzzTarget>& FuzzTargets()
{
    return Registry();
}

namespace {

bool g_replaying = false;

}  // namespace

bool Replaying()
{
    return g_replaying;
}

void SetReplaying(bool replaying)
{
    g_replaying = replaying;
}

bool SampledForSlowChecks(const uint8_t* data, size_t size)
{
    if (g_replaying)
        return true;
    // One input in 64, chosen by its bytes so that a finding replays.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash % 64 == 0;
}

std::string ScratchPath(const std::string& suffix)
{
    mkdir(VREC_FUZZ_DIR, 0755);
    return std::string(VREC_FUZZ_DIR) + "/scratch-" + std::to_string(getpid()) + suffix;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

}  // namespace vrec::fuzz
