// The user journeys of the main screen, each a scenario of sim/scenarios run
// headless on a fresh board; the files they leave on the card are then
// checked with the tools a user would open them with.
#include "tests/frontend/FreshBoard.h"
#include "tests/media/support/MovParse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

using vrec::test::ProbeFields;
using vrec::test::DecodeErrors;
using vrec::test::RunCommand;

class Journey : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = vrec::test::PrepareFreshBoard(std::string("journey-") +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // Runs sim/scenarios/NAME.vsc; true when every step passed.
    bool Run(const std::string& name)
    {
        std::string out = root_ + "/vrecsim.out";
        std::string command = std::string(VRECSIM) + " --headless --quiet --root " + root_ + " --out " + root_ +
                              "/snaps " VREC_SCENARIOS "/" + name + ".vsc > " + out + " 2>&1 < /dev/null";
        int status = std::system(command.c_str());
        output_ = vrec::test::ReadFile(out);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::string Card(const std::string& path) const { return root_ + "/cards/card0/files" + path; }

    // The streams of a movie as ffprobe sees them, by type.
    static ProbeFields Stream(const std::string& path, const std::string& type)
    {
        for (const ProbeFields& stream : vrec::test::ProbeStreams(path))
            if (stream.count("codec_type") && stream.at("codec_type") == type)
                return stream;
        return {};
    }

    static double Duration(const std::string& path)
    {
        ProbeFields format = vrec::test::ProbeFormat(path);
        return format.count("duration") ? std::atof(format.at("duration").c_str()) : -1.0;
    }

    void ExpectMovie(const std::string& path, int width, int height, int rate, double seconds)
    {
        ProbeFields video = Stream(path, "video");
        EXPECT_EQ(video["codec_name"], "mpeg4") << path;
        EXPECT_EQ(video["width"], std::to_string(width)) << path;
        EXPECT_EQ(video["height"], std::to_string(height)) << path;
        EXPECT_EQ(video["r_frame_rate"], "30/1") << path;
        ProbeFields audio = Stream(path, "audio");
        EXPECT_EQ(audio["codec_name"], "pcm_s16le") << path;
        EXPECT_EQ(audio["sample_rate"], std::to_string(rate)) << path;
        EXPECT_EQ(audio["channels"], "2") << path;
        EXPECT_NEAR(Duration(path), seconds, 0.3) << path;
        EXPECT_EQ(DecodeErrors(path), "") << path;
    }

    std::string root_;
    std::string output_;
};

TEST_F(Journey, RecordAnHdMovieAndPlayItBack)
{
    ASSERT_TRUE(Run("movie-hd")) << output_;
    ExpectMovie(Card("/MY_FOLDER/KS0000_0001.mov"), 1280, 720, 44100, 5.3);
}

TEST_F(Journey, RecordSdMoviesStepBetweenThemAndDeleteOne)
{
    ASSERT_TRUE(Run("movie-sd")) << output_;
    ExpectMovie(Card("/MY_FOLDER/KS0000_0001.mov"), 640, 480, 44100, 3.3);
    EXPECT_FALSE(vrec::test::FileExists(Card("/MY_FOLDER/KS0000_0002.mov")));
}

TEST_F(Journey, RecordSoundAt48kHz24BitWithPreRecord)
{
    ASSERT_TRUE(Run("sound-prerec")) << output_;
    const std::string wav = Card("/MY_FOLDER/KS0000_0001.wav");
    std::string rate, bits, seconds;
    ASSERT_EQ(RunCommand("soxi -r '" + wav + "'", &rate), 0);
    ASSERT_EQ(RunCommand("soxi -b '" + wav + "'", &bits), 0);
    ASSERT_EQ(RunCommand("soxi -D '" + wav + "'", &seconds), 0);
    EXPECT_EQ(std::atoi(rate.c_str()), 48000);
    EXPECT_EQ(std::atoi(bits.c_str()), 24);
    // 3 s kept before RECORD, 3 s after it, and the key's 150 ms.
    EXPECT_NEAR(std::atof(seconds.c_str()), 6.15, 0.3);
    // The tone of the microphones is in the file: 1 kHz left, 1.5 kHz right.
    std::string stats;
    ASSERT_EQ(RunCommand("sox '" + wav + "' -n remix 1 stat 2>&1", &stats), 0);
    EXPECT_NE(stats.find("Rough   frequency"), std::string::npos) << stats;
    int hz = std::atoi(stats.substr(stats.find("Rough   frequency:") + 18).c_str());
    EXPECT_NEAR(hz, 1000, 60) << stats;
}

TEST_F(Journey, TakePhotosWithAndWithoutTheSelfTimerAndShowThem)
{
    ASSERT_TRUE(Run("photo")) << output_;
    for (const char* name : {"/MY_FOLDER/KS0000_0001.jpg", "/MY_FOLDER/KS0000_0002.jpg"}) {
        std::string header;
        ASSERT_EQ(RunCommand("djpeg -pnm '" + Card(name) + "' | head -c 16", &header), 0) << name;
        EXPECT_EQ(header.substr(0, 12), "P6\n1280 720\n") << name;
    }
}

TEST_F(Journey, AFullCardEndsTheRecordingWithItsMessage)
{
    ASSERT_TRUE(Run("card-full")) << output_;
    const std::string movie = Card("/MY_FOLDER/KS0000_0001.mov");
    EXPECT_GT(Duration(movie), 3.0);
    EXPECT_EQ(DecodeErrors(movie), "") << movie;
}

}  // namespace
