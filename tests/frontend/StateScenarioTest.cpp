// The device as a person uses it through the front end, around what changes
// under their hands: cards formatted elsewhere, with small clusters, never
// formatted, write-protected and pulled; the USB cable and the card's files
// changed from the host; the HDMI cable; an empty battery; and "All Del" in
// a folder of files copied from a computer.
#include "sim/board/Card.h"
#include "sim/board/HardwareState.h"
#include "sim/board/Image.h"
#include "sim/frontend/MediaProbe.h"
#include "tests/frontend/FreshBoard.h"
#include "tests/resources/BmpFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using vrec::board::RgbImage;
using vrec::test::FileExists;
using vrec::test::ReadFile;
using vrec::test::WriteFile;

// The opening of every scenario: the device on, the preset date taken, the player.
const char kPowerOn[] = R"(power on
expect screen datetime within 10s
press F1
expect screen player within 3s
expect card mounted within 5s
wait 1500ms
)";

// From the player to the browse screen through the menu, as a list.
const char kOpenBrowse[] = R"(press MENU
expect screen menu within 3s
press RIGHT
press DOWN
press DOWN
press DOWN
press ENTER
expect screen browse within 3s
press F1
wait 700ms
)";

struct SimRun
{
    int status = -1;
    std::string output;
};

class StateScenario : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = vrec::test::PrepareFreshBoard(std::string("state-") +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    SimRun Scenario(const std::string& text)
    {
        std::string file = root_ + "/test.vsc";
        EXPECT_TRUE(WriteFile(file, text));
        SimRun run;
        std::string out = root_ + "/vrecsim.out";
        std::string command = VRECSIM " --root " + root_ + " --headless --quiet --out " + root_ + "/snaps " + file +
                              " > " + out + " 2>&1 < /dev/null";
        int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.output = ReadFile(out);
        return run;
    }

    // A short movie beside the scenario, for the card.
    void MakeMovie(const std::string& name)
    {
        std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=30 -f lavfi -i "
                              "sine=frequency=440:sample_rate=48000 -t 1 -c:v mpeg4 -c:a pcm_s16le -ac 2 '" +
                              root_ + "/" + name + "' < /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    uint32_t BoxesOpened()
    {
        vrec::board::HardwareStateFile state(root_);
        return state.ok() ? state.state().box.opened.load() : 0;
    }

    vrec::board::FatInfo Fat(const std::string& card)
    {
        vrec::board::CardStore cards(root_);
        return vrec::board::ReadFat(cards.ImagePath(card), vrec::board::ReadPartition(cards.ImagePath(card)));
    }

    RgbImage Snapshot(const std::string& name)
    {
        std::string why;
        RgbImage image = vrec::board::ReadPng(root_ + "/snaps/" + name, &why);
        EXPECT_FALSE(image.empty()) << why;
        return image;
    }

    // Pixels of a snapshot's band y0..y1 close to a colour.
    static int Near(const RgbImage& image, int y0, int y1, int r, int g, int b)
    {
        int n = 0;
        for (int y = y0; y < y1 && y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
                n += std::abs(p[0] - r) < 40 && std::abs(p[1] - g) < 40 && std::abs(p[2] - b) < 40;
            }
        return n;
    }

    std::string root_;
};

TEST_F(StateScenario, CardsFromElsewhereAreFormattedOnlyWhenTheUserSaysSo)
{
    SimRun run = Scenario(std::string(kPowerOn) + R"(
# Formatted elsewhere: the question; No brings it back; Yes formats the card.
card foreign elsewhere 256M
expect new box FORMAT ERROR within 5s
wait 500ms
press F3
wait 1s
expect new box FORMAT ERROR within 3s
wait 500ms
press F1
expect new box Format OK. within 15s
wait 500ms
press ENTER
expect file /MY_FOLDER
# A card with 16 KB clusters, though marked by this device.
card new small 256M 16K
expect new box FORMAT ERROR within 5s
wait 500ms
press F1
expect new box Format OK. within 15s
wait 500ms
press ENTER
# A card that never mounts: checked for about 7 s, then the question.
card blank blank 256M
wait 2s
snap lcd checking.png
expect new box FORMAT ERROR within 12s
# Taken out while the question is open: No asks nothing more.
card remove
wait 500ms
press F3
wait 1s
snap lcd nocard.png
# Write-protected: the question, and formatting fails.
set WRITE_PROTECT on
card new locked 256M
expect new box FORMAT ERROR within 5s
wait 500ms
press F1
expect new box Format Error within 15s
wait 500ms
press ENTER
# Unmounted by the failed format: mounted again, and asked again (at the
# latest when the mount wait runs out).
expect new box FORMAT ERROR within 10s
card remove
wait 500ms
press F3
set WRITE_PROTECT off
card insert elsewhere
expect card mounted within 5s
wait 1s
)");
    ASSERT_EQ(run.status, 0) << run.output;
    // Questions: elsewhere twice, small, blank, locked before and after the failed format.
    EXPECT_EQ(BoxesOpened(), 2u + 1 + 1 + 1 + 1 + 2 + 1) << run.output;
    for (const char* card : {"elsewhere", "small"}) {
        vrec::board::FatInfo fat = Fat(card);
        EXPECT_EQ(fat.oemName, vrec::board::kDeviceOemName) << card;
        EXPECT_EQ(fat.clusterBytes, 32768u) << card;
        EXPECT_EQ(fat.volumeLabel, "KESTRA7") << card;
    }
    EXPECT_NE(Fat("locked").oemName, "") << "the protected card is as it was";
    EXPECT_FALSE(Fat("blank").valid) << "No leaves the blank card alone";
    // While the blank card is tried: "SDCARD CHECKING..." in white; no card:
    // "--- NO SDCARD ---" in red.
    EXPECT_GT(Near(Snapshot("checking.png"), 95, 125, 255, 255, 255), 60);
    EXPECT_GT(Near(Snapshot("nocard.png"), 95, 125, 255, 0, 0), 60);
}

TEST_F(StateScenario, UsbStorageHandsTheCardToTheHostAndTheDeviceFindsItsChanges)
{
    MakeMovie("clip.mov");
    SimRun run = Scenario(R"(card put clip.mov /MY_FOLDER/ONCARD.MOV
)" + std::string(kPowerOn) +
                       R"(usb plug
expect usb exported within 6s
expect card unmounted
wait 500ms
snap lcd usb.png
usb put clip.mov "/MY_FOLDER/FROM HOST.MOV"
usb unplug
expect power off within 30s
expect usb unexported
power on
expect screen player within 10s
wait 2s
)" + kOpenBrowse + R"(# Out and in again: the first file, the host's, is selected.
press LEFT
press RIGHT
press ENTER
press DOWN
press DOWN
press ENTER
expect box FROM HOST.MOV within 3s
wait 500ms
press F3
)");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("the card is on USB: the host sees its files in "), std::string::npos) << run.output;
    EXPECT_EQ(BoxesOpened(), 1u) << "the cable pulled switches the device off without a message";
    // The USB picture while exported.
    vrec::test::BmpFile usb = vrec::test::ReadBmp(std::string(VREC_APP_ROOT) + "/img/usb_bg.bmp");
    ASSERT_TRUE(usb.ok) << usb.why;
    RgbImage lcd = Snapshot("usb.png");
    ASSERT_EQ(lcd.width, 320);
    double diff = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = &lcd.rgb[(static_cast<size_t>(y) * 320 + x) * 3];
            diff += std::abs(p[0] - usb.Red(x, y)) + std::abs(p[1] - usb.Green(x, y)) + std::abs(p[2] - usb.Blue(x, y));
        }
    EXPECT_LT(diff / (320 * 240 * 3), 8.0);
}

TEST_F(StateScenario, HdmiTakesThePlayersPictureOnlyWithADisplay)
{
    MakeMovie("clip.mov");
    SimRun run = Scenario(R"(card put clip.mov /MY_FOLDER/CLIP.MOV
)" + std::string(kPowerOn) +
                       R"(hdmi plug nosink
wait 2s
expect console HDMI ON Check Start
expect backlight on
hdmi unplug
hdmi plug
expect backlight off within 6s
expect console HDMI/LCD Change Done!! within 6s
wait 1s
snap hdmi hdmi.png
hdmi unplug
expect backlight on within 6s
expect console HDMI OFF(bHdmi== 0) within 3s
)");
    ASSERT_EQ(run.status, 0) << run.output;
    RgbImage hdmi = Snapshot("hdmi.png");
    EXPECT_EQ(hdmi.width, 640) << "the movie's size";
    EXPECT_EQ(hdmi.height, 480);
}

TEST_F(StateScenario, AllDelLeavesEverythingButTheModesFilesOfTheFolder)
{
    MakeMovie("clip.mov");
    SimRun run = Scenario(std::string(kPowerOn) + R"(card put clip.mov /MY_FOLDER/KEEP.MOV
card put clip.mov "/MY_FOLDER/KST7_0001/my clip.MOV"
card put clip.mov "/MY_FOLDER/KST7_0001/a;b.MOV"
card put clip.mov "/MY_FOLDER/KST7_0001/$(touch x).MOV"
card put clip.mov "/MY_FOLDER/KST7_0001/* .MOV"
card put clip.mov "/MY_FOLDER/KST7_0001/it's.MOV"
card put clip.mov /MY_FOLDER/KST7_0001/keep.WAV
card put clip.mov "/MY_FOLDER/KST7_0001 x/KS.MOV"
)" + kOpenBrowse + R"(# Out to the card's root and back in: the first entry, KST7_0001, is selected.
press LEFT
press RIGHT
press ENTER
press DOWN
press DOWN
press ENTER
expect box All Delete? within 3s
wait 500ms
press F1
expect no file "/MY_FOLDER/KST7_0001/*.MOV" within 10s
wait 2s
)");
    ASSERT_EQ(run.status, 0) << run.output;
    vrec::board::CardStore cards(root_);
    std::string files = cards.FilesDir(cards.Inserted());
    for (const char* gone : {"my clip.MOV", "a;b.MOV", "$(touch x).MOV", "* .MOV", "it's.MOV"})
        EXPECT_FALSE(FileExists(files + "/MY_FOLDER/KST7_0001/" + gone)) << gone;
    for (const char* kept : {"/MY_FOLDER/KEEP.MOV", "/MY_FOLDER/KST7_0001/keep.WAV", "/MY_FOLDER/KST7_0001 x/KS.MOV"})
        EXPECT_TRUE(FileExists(files + kept)) << kept;
    EXPECT_FALSE(FileExists(std::string(VREC_APP_ROOT) + "/x"));
    EXPECT_FALSE(FileExists(files + "/MY_FOLDER/KST7_0001/x"));
    EXPECT_FALSE(FileExists(root_ + "/x"));
}

// The mean level of a file's sound in dBFS, as ffmpeg measures it.
double MeanVolume(const std::string& path)
{
    std::string command = "ffmpeg -v info -nostats -i '" + path + "' -map 0:a -af volumedetect -f null - 2>&1 < /dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return 0;
    std::string text;
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), pipe))
        text += buffer;
    pclose(pipe);
    size_t at = text.find("mean_volume: ");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 13);
}

double Duration(const std::string& path)
{
    double seconds = 0;
    std::string why;
    EXPECT_TRUE(vrec::frontend::MediaDuration(path, &seconds, &why)) << path << ": " << why;
    return seconds;
}

// A movie recorded on the device in silence, then from the browse screen:
// played, dubbed with a tone (a new file; the movie keeps its silence) and
// divided in two that together last as long as the movie.
TEST_F(StateScenario, TheBrowseScreenHandsAMovieToThePlayerToPlayDubAndDivide)
{
    SimRun run = Scenario(R"(sound builtin silence
power on
expect screen datetime within 10s
press F1
expect text a20 No Movie File within 5s
# MENU, REC Quality, IMAGE SIZE: SD.
press MENU
press RIGHT
press ENTER
press DOWN
press DOWN
press ENTER
press DOWN
press ENTER
press MENU
press MENU
expect screen player within 3s
press RECORD
expect text a16 SD-VGA within 5s
wait 1s
press RECORD
expect text a24 at 208 178 06 within 11s
press STOP
expect text a16 1/1 within 8s
wait 1s

# Play.
hold PLAY for 2s
expect screen browse within 3s
# (the grid draws its thumbnails first)
wait 1500ms
press ENTER
expect screen popup within 2s
press DOWN
press ENTER
expect screen player within 3s
expect text a24 at 174 152 02 within 6s

# Divide, 2 s in.
hold PLAY for 2s
expect screen browse within 3s
# (the grid draws its thumbnails first)
wait 1500ms
press ENTER
expect screen popup within 2s
press DOWN
press DOWN
press DOWN
press DOWN
press ENTER
expect screen player within 3s
expect text a24 at 174 152 02 within 6s
press F1
expect new box Divide KS0000_0001.mov within 3s
wait 500ms
press F1
expect file /MY_FOLDER/KS0000_0001_b.mov within 15s
wait 2s

# After Rec: the recorder, RECORD plays the movie and records the tone
# until its end; a new file.
hold PLAY for 2s
expect screen browse within 3s
# (the grid draws its thumbnails first)
wait 1500ms
sound builtin tone 1000 -12
press ENTER
expect screen popup within 2s
press DOWN
press DOWN
press DOWN
press DOWN
press DOWN
press ENTER
expect screen player within 3s
wait 1s
press RECORD
expect file /MY_FOLDER/KS0000_0002.mov within 20s
wait 3s

wait 2s
)");
    ASSERT_EQ(run.status, 0) << run.output;
    vrec::board::CardStore cards(root_);
    std::string folder = cards.FilesDir(cards.Inserted()) + "/MY_FOLDER/";
    double movie = Duration(folder + "KS0000_0001.mov");
    EXPECT_NEAR(movie, 6.3, 0.5);
    EXPECT_NEAR(Duration(folder + "KS0000_0002.mov"), movie, 0.2) << "the dub lasts as long as the movie";
    EXPECT_LT(MeanVolume(folder + "KS0000_0001.mov"), -60.0) << "the movie keeps its silence";
    EXPECT_GT(MeanVolume(folder + "KS0000_0002.mov"), -30.0) << "the dub holds the tone";
    double a = Duration(folder + "KS0000_0001_a.mov");
    double b = Duration(folder + "KS0000_0001_b.mov");
    EXPECT_GE(a, 1.9);
    EXPECT_LE(a, 4.1);
    EXPECT_NEAR(a + b, movie, 0.2) << "the halves make up the movie";
}

// About 30 s: the 15 s notice. Labelled long.
TEST_F(StateScenario, AnEmptyBatterySaysSoOnceAndSwitchesOff)
{
    SimRun run = Scenario(std::string(kPowerOn) + R"(battery 0
expect box Battery Empty within 3s
wait 10s
expect power on
expect power off within 30s
)");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(BoxesOpened(), 1u);
    EXPECT_NE(ReadFile(root_ + "/log/firmware.log").find("PowerOff()!!!"), std::string::npos);
}

}  // namespace
