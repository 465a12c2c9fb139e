// The fuzzers' seed corpora, replayed on every run: "ok-*" seeds open,
// "bad-*" seeds are refused, and none leads outside its file.
#include "tests/media/fuzz/MediaReaderFuzz.h"
#include "tests/media/fuzz/MovReaderFuzz.h"
#include "tests/support/BoardTest.h"

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace vrec::test;

namespace {

using Round = int (*)(const uint8_t*, size_t, const char*, const char*);

class MovFuzzReplayTest : public BoardTest
{
protected:
    // Runs every seed of the corpus through one round, as the file name
    // the round would give it.
    void Replay(const char* corpus, Round round, const char* (*extension)(const uint8_t*, size_t))
    {
        std::vector<std::string> names;
        DIR* dir = opendir(corpus);
        ASSERT_NE(dir, nullptr) << corpus;
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.' && std::string(e->d_name).find(".py") == std::string::npos)
                names.push_back(e->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        ASSERT_GE(names.size(), 4u);

        for (const std::string& name : names) {
            const std::string bytes = ReadFile(std::string(corpus) + "/" + name);
            const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
            EXPECT_LE(bytes.size(), 16384u) << name << ": keep seeds small";
            const std::string device = std::string("/sdcard/seed") + extension(data, bytes.size());
            ::testing::internal::CaptureStdout();
            int result = round(data, bytes.size(), device.c_str(), HostPath(device).c_str());
            ::testing::internal::GetCapturedStdout();
            if (name.rfind("ok-", 0) == 0)
                EXPECT_EQ(result, 0) << name;
            else if (name.rfind("bad-", 0) == 0)
                EXPECT_EQ(result, 2) << name;
            else
                EXPECT_NE(result, kFuzzViolation) << name;
        }
    }
};

const char* MovExtension(const uint8_t*, size_t)
{
    return ".mov";
}

TEST_F(MovFuzzReplayTest, SeedCorpus)
{
    Replay(VREC_MOV_CORPUS, MovReaderFuzzOne, MovExtension);
}

TEST_F(MovFuzzReplayTest, MediaSeedCorpus)
{
    Replay(VREC_MEDIA_CORPUS, MediaReaderFuzzOne, MediaFuzzExtension);
}

}  // namespace
