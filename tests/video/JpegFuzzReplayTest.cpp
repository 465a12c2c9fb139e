// The JPEG fuzzer's seed corpus, replayed on every run: "ok-*" seeds are
// photos that open, "bad-*" seeds are refused, and none breaks a limit.
#include "Middleware/CODEC/Jpeg.h"
#include "tests/support/BoardTest.h"
#include "tests/video/fuzz/JpegFuzz.h"
#include "tests/video/support/VideoSupport.h"

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace vrec::test;

namespace {

class JpegFuzzReplayTest : public BoardTest
{
};

TEST_F(JpegFuzzReplayTest, SeedCorpus)
{
    OpenEngine();
    ASSERT_TRUE(JPEG_Init());
    std::vector<std::string> names;
    DIR* dir = opendir(VREC_JPEG_CORPUS);
    ASSERT_NE(dir, nullptr) << VREC_JPEG_CORPUS;
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 6u);

    for (const std::string& name : names) {
        const std::string bytes = ReadFile(std::string(VREC_JPEG_CORPUS) + "/" + name);
        EXPECT_LE(bytes.size(), 4096u) << name << ": keep seeds small";
        JpegFuzzResult result = JpegFuzzOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                            "/sdcard/seed.jpg", HostPath("/sdcard/seed.jpg").c_str());
        if (name.rfind("ok-", 0) == 0)
            EXPECT_EQ(result, kJpegDecoded) << name;
        else if (name.rfind("bad-", 0) == 0)
            EXPECT_EQ(result, kJpegRefused) << name;
        else
            EXPECT_NE(result, kJpegViolation) << name;
    }
    JPEG_Exit();
}

}  // namespace
