// Every fuzz target's seed corpus, replayed on every run on a fresh board:
// "ok-*" seeds are accepted, "bad-*" seeds refused, and no seed breaks a
// promise of the code it feeds.
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/BoardTest.h"

#include <dirent.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace vrec::fuzz {

// Test names and messages show the target by its name.
void PrintTo(const FuzzTarget& target, std::ostream* out)
{
    *out << target.name;
}

namespace {

std::vector<std::string> SeedNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FuzzReplayTest : public vrec::test::BoardTest, public ::testing::WithParamInterface<FuzzTarget>
{
};

TEST_P(FuzzReplayTest, SeedCorpus)
{
    const FuzzTarget& target = GetParam();
    const std::string folder = std::string(VREC_SOURCE_DIR) + "/" + target.corpus;
    const std::vector<std::string> names = SeedNames(folder);
    ASSERT_GE(names.size(), 3u) << folder << ": a target needs seeds";
    if (target.setUp)
        target.setUp();
    SetReplaying(true);

    for (const std::string& name : names) {
        const std::string bytes = ReadBytes(folder + "/" + name);
        EXPECT_LE(bytes.size(), target.maxLength) << name << ": longer than the fuzzer tries";
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int result = target.round(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ::testing::internal::GetCapturedStdout();
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(result, kViolation) << name << "\n" << errors;
        if (name.rfind("ok-", 0) == 0) {
            EXPECT_EQ(result, kAccepted) << name << "\n" << errors;
        } else if (name.rfind("bad-", 0) == 0) {
            EXPECT_EQ(result, kRefused) << name << "\n" << errors;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest, ::testing::ValuesIn(FuzzTargets()),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace vrec::fuzz
