// The fuzzer's seed corpus, replayed on every run: "ok-*" seeds are movies,
// "bad-*" seeds are refused, and none leads outside its file.
#include "tests/media/fuzz/MovReaderFuzz.h"
#include "tests/support/BoardTest.h"

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace vrec::test;

namespace {

class MovFuzzReplayTest : public BoardTest
{
};

TEST_F(MovFuzzReplayTest, SeedCorpus)
{
    std::vector<std::string> names;
    DIR* dir = opendir(VREC_MOV_CORPUS);
    ASSERT_NE(dir, nullptr) << VREC_MOV_CORPUS;
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 4u);

    for (const std::string& name : names) {
        const std::string bytes = ReadFile(std::string(VREC_MOV_CORPUS) + "/" + name);
        EXPECT_LE(bytes.size(), 16384u) << name << ": keep seeds small";
        ::testing::internal::CaptureStdout();
        int result = MovReaderFuzzOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "/sdcard/seed.mov",
                                      HostPath("/sdcard/seed.mov").c_str());
        ::testing::internal::GetCapturedStdout();
        if (name.rfind("ok-", 0) == 0)
            EXPECT_EQ(result, 0) << name;
        else if (name.rfind("bad-", 0) == 0)
            EXPECT_EQ(result, 2) << name;
        else
            EXPECT_NE(result, kFuzzViolation) << name;
    }
}

}  // namespace
