// Headless runs of the front end: the real firmware booted on a fresh
// board by scenario files, and how failures and crashes are reported.
#include "sim/board/Card.h"
#include "sim/board/HardwareState.h"
#include "sim/board/Image.h"
#include "tests/frontend/FreshBoard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using vrec::test::FileExists;
using vrec::test::ReadFile;
using vrec::test::WriteFile;

struct RunResult
{
    int status = -1;
    std::string output;
};

class FrontendScenario : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = vrec::test::PrepareFreshBoard(std::string("vrecsim-") +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    RunResult RunScenario(const std::string& text, const std::string& extra = "")
    {
        std::string scenario = root_ + "/test.vsc";
        EXPECT_TRUE(WriteFile(scenario, text));
        return RunVrecsim("--headless --quiet --out " + root_ + "/snaps " + extra + " " + scenario);
    }

    RunResult RunVrecsim(const std::string& args, const std::string& wrapper = "")
    {
        RunResult run;
        std::string out = root_ + "/vrecsim.out";
        std::string command = wrapper + " " VRECSIM " --root " + root_ + " " + args + " > " + out + " 2>&1 < /dev/null";
        int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.output = ReadFile(out);
        return run;
    }

    std::string root_;
};

TEST_F(FrontendScenario, BootsTheDeviceSnapsTheLcdAndPowerCycles)
{
    RunResult run = RunScenario(R"(power on
expect power on
expect card mounted within 10s
wait 2s
snap lcd boot.png
set HOLD on
press PLAY
set HOLD off
battery 3
adapter on
volume 40
power off
expect power off
# the settings are saved on the card when the device shuts down
expect file /.NVRAM.txt
expect no file /MY_FOLDER/*.MOV
power on
expect power on
wait 1s
power cut
expect power off
)");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("snapshot: " + root_ + "/snaps/boot.png"), std::string::npos) << run.output;
    std::string why;
    vrec::board::RgbImage lcd = vrec::board::ReadPng(root_ + "/snaps/boot.png", &why);
    EXPECT_EQ(lcd.width, 320) << why;
    EXPECT_EQ(lcd.height, 240) << "the LCD is snapped as the device is held";
    // The summary of the card at the end.
    EXPECT_NE(run.output.find("card card0:"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  /.NVRAM.txt"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("0 failed"), std::string::npos) << run.output;

    // The board remembers what the scenario set.
    vrec::board::HardwareStateFile state(root_);
    ASSERT_TRUE(state.ok());
    EXPECT_EQ(state.state().power.batteryLevel.load(), 3);
    EXPECT_EQ(state.state().power.adapter.load(), 1);
    EXPECT_EQ(state.state().power.inputVolume.load(), 40);
    EXPECT_EQ(state.state().firmware.boots.load(), 2u);
    EXPECT_EQ(state.state().firmware.pid.load(), 0) << "no firmware is left running";
}

TEST_F(FrontendScenario, ACardFormattedElsewhereIsInsertedAndMounted)
{
    RunResult run = RunScenario(R"(power on
card foreign travel 256M
expect card mounted within 10s
power off
)");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("card travel:"), std::string::npos) << run.output;
    vrec::board::CardStore cards(root_);
    EXPECT_EQ(cards.Inserted(), "travel");
    vrec::board::FatInfo fat = vrec::board::ReadFat(cards.ImagePath("travel"), vrec::board::ReadPartition(cards.ImagePath("travel")));
    EXPECT_TRUE(fat.valid);
    EXPECT_NE(fat.oemName, vrec::board::kDeviceOemName);
}

TEST_F(FrontendScenario, MicrophoneSourcesAndAFilledSmallCard)
{
    // A WAV file beside the scenario, found by its relative name.
    std::string clip(44 + 4800 * 4, '\0');
    clip.replace(0, 44, std::string("RIFF\x24\x4b\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xbb\0\0\0\xee\x02\0\x04\0\x10\0"
                                    "data\0\x4b\0\0", 44));
    ASSERT_TRUE(WriteFile(root_ + "/clip.wav", clip));
    RunResult run = RunScenario(R"(sound builtin tone 440 -20 880 -12.5
sound external wav clip.wav -3
card new small 64M
card fill 2M
)");
    ASSERT_EQ(run.status, 0) << run.output;
    vrec::board::HardwareStateFile state(root_);
    ASSERT_TRUE(state.ok());
    const vrec::board::SoundInput& inner = state.state().sound.inner;
    EXPECT_EQ(inner.kind.load(), vrec::board::kSoundTone);
    EXPECT_EQ(inner.toneHz[0].load(), 440);
    EXPECT_EQ(inner.toneHz[1].load(), 880);
    EXPECT_EQ(inner.levelCentiDb[1].load(), -1250);
    const vrec::board::SoundInput& jack = state.state().sound.external;
    EXPECT_EQ(jack.kind.load(), vrec::board::kSoundWavFile);
    EXPECT_EQ(std::string(jack.wavFile), root_ + "/clip.wav");
    EXPECT_EQ(jack.levelCentiDb[0].load(), -300);
    uint64_t free = 0;
    std::string why;
    vrec::board::CardStore cards(root_);
    ASSERT_TRUE(vrec::board::CardFreeBytes(cards, "small", &free, &why)) << why;
    EXPECT_EQ(free, 2u << 20);
    EXPECT_NE(run.output.find(vrec::board::kFillerName), std::string::npos) << run.output;

    // A file that is no WAV file fails the step with the reason.
    run = RunScenario("sound builtin wav test.vsc\n");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("test.vsc:1:"), std::string::npos) << run.output;
    EXPECT_EQ(state.state().sound.inner.kind.load(), vrec::board::kSoundTone);
}

TEST_F(FrontendScenario, FailedChecksAreReportedAndGiveStatusOne)
{
    RunResult run = RunScenario(R"(expect power on
expect file /NOTHERE.MOV
expect pixel lcd 320 0 #000000
snap hdmi tv.png
console free
)");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("test.vsc:1: the device is off"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("test.vsc:2: /NOTHERE.MOV is not on the card"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("test.vsc:3: the picture is only 320 x 240"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("test.vsc:4: no HDMI picture"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("test.vsc:5: the device is off: no console"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("5 failed"), std::string::npos) << run.output;
}

TEST_F(FrontendScenario, ABadScenarioStopsBeforeAnythingRuns)
{
    RunResult run = RunScenario("power on\npress JUMP\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("test.vsc:2: unknown key 'JUMP'"), std::string::npos) << run.output;
    vrec::board::HardwareStateFile state(root_);
    EXPECT_EQ(state.state().firmware.boots.load(), 0u) << "nothing was started";
    RunResult missing = RunVrecsim("--headless " + root_ + "/none.vsc");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("cannot read the scenario"), std::string::npos);
    RunResult option = RunVrecsim("--bogus");
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.output.find("unknown option --bogus"), std::string::npos);
}

TEST_F(FrontendScenario, ACrashShowsTheSignalAndTheLastErrorLines)
{
    std::string fake = root_ + "/crashing-app";
    ASSERT_TRUE(WriteFile(fake, "#!/bin/sh\necho 'starting up' >&2\necho 'fatal: the codec went away' >&2\n"
                                "kill -SEGV $$\n"));
    chmod(fake.c_str(), 0755);
    RunResult run = RunScenario("power on\nexpect power off within 10s\nwait 500ms\n", "--app " + fake);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("the firmware stopped: killed by signal 11"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("fatal: the codec went away"), std::string::npos) << run.output;
}

TEST_F(FrontendScenario, HelpListsOptionsStepsAndChecks)
{
    RunResult run = RunVrecsim("--help");
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"--root", "--scenario", "--headless", "--window", "wait DURATION", "hold KEY",
                             "release", "set SWITCH", "card insert", "card foreign", "hdmi plug", "usb plug",
                             "battery N", "adapter on|off", "volume N", "snap lcd|hdmi", "power on", "expect",
                             "screen NAME", "quit", "HOLD", "CAMERA_SW", "HEADPHONES"})
        EXPECT_NE(run.output.find(word), std::string::npos) << word;
}

TEST_F(FrontendScenario, CameraStepsChooseWhatTheCameraSeesAndTheSyncMarks)
{
    RunResult run = RunScenario("camera bars\ncamera sync on\n");
    ASSERT_EQ(run.status, 0) << run.output;
    {
        vrec::board::HardwareStateFile state(root_);
        EXPECT_EQ(state.state().camera.source.load(), vrec::board::kCameraBars);
        EXPECT_EQ(state.state().camera.syncEverySecond.load(), 1);
    }
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=30 -frames:v 5 " + root_ +
                           "/clip.mp4")
                              .c_str()),
              0);
    run = RunScenario("camera file " + root_ + "/clip.mp4\ncamera sync off\ncamera sync\n");
    ASSERT_EQ(run.status, 0) << run.output;
    {
        vrec::board::HardwareStateFile state(root_);
        EXPECT_EQ(state.state().camera.source.load(), vrec::board::kCameraFile);
        EXPECT_EQ(std::string(state.state().camera.file), root_ + "/clip.mp4");
        EXPECT_EQ(state.state().camera.syncEverySecond.load(), 0);
        EXPECT_GT(state.state().camera.syncMarkNs.load(), 0);
    }
    run = RunScenario("camera file " + root_ + "/missing.mp4\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("no video file"), std::string::npos) << run.output;
}

TEST_F(FrontendScenario, TheShippedDemoRuns)
{
    RunResult run = RunVrecsim(std::string("--headless --quiet --out ") + root_ + "/snaps " VREC_SCENARIOS "/demo.vsc");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(FileExists(root_ + "/snaps/demo-1-boot.png"));
    EXPECT_TRUE(FileExists(root_ + "/snaps/demo-4-after-power-cycle.png"));
}

TEST_F(FrontendScenario, TheWindowOpensUnderAVirtualDisplay)
{
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed";
    std::string shot = root_ + "/window.png";
    RunResult run = RunVrecsim("--window --quiet --screenshot " + shot + " --after 3s",
                         // The X and SDL libraries keep caches until exit: not our leaks.
                         "ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1280x800x24'");
    ASSERT_EQ(run.status, 0) << run.output;
    std::string why;
    vrec::board::RgbImage picture = vrec::board::ReadPng(shot, &why);
    ASSERT_FALSE(picture.empty()) << why;
    EXPECT_EQ(picture.width, 1060);
    EXPECT_EQ(picture.height, 712);
    // The device ran while the window was open and was shut down when it closed.
    vrec::board::HardwareStateFile state(root_);
    EXPECT_EQ(state.state().firmware.boots.load(), 1u);
    EXPECT_EQ(state.state().firmware.pid.load(), 0);
}

}  // namespace

TEST_F(FrontendScenario, DamagedAndIncompleteSettingsHealAtBoot)
{
    // Erased flash where the global store was, and a card whose store lost
    // its folder line: the device starts with the defaults, keeps the damaged
    // file for inspection and saves complete stores.
    const std::string erased(4096, '\xff');
    ASSERT_TRUE(WriteFile(root_ + "/mnt/mtd5/NVRAM.txt", erased));
    ASSERT_TRUE(WriteFile(root_ + "/cards/card0/files/.NVRAM.txt", "/LOCAL/LastFile=/MY_FOLDER/KS0000_0003.MOV\n"));
    RunResult run = RunScenario(R"(power on
expect power on
expect card mounted within 10s
wait 1s
power off
expect power off
)");
    ASSERT_EQ(run.status, 0) << run.output;

    const std::string log = ReadFile(root_ + "/log/firmware.log");
    EXPECT_NE(log.find("NVRAM: /mnt/mtd5/NVRAM.txt is damaged (not text): /mnt/mtd5/NVRAM.txt.damaged"),
              std::string::npos) << log;
    EXPECT_NE(log.find("NVRAM: /sdcard/.NVRAM.txt lacked 1 setting, restored from ./NVRAM_L.txt: /LOCAL/CurrentDir"),
              std::string::npos) << log;
    EXPECT_EQ(ReadFile(root_ + "/mnt/mtd5/NVRAM.txt.damaged"), erased);
    const std::string global = ReadFile(root_ + "/mnt/mtd5/NVRAM.txt");
    EXPECT_EQ(global.find('\xff'), std::string::npos);
    EXPECT_NE(global.find("/Setup/AUTO OFF=30\n"), std::string::npos) << global;
    const std::string local = ReadFile(root_ + "/cards/card0/files/.NVRAM.txt");
    EXPECT_NE(local.find("/LOCAL/CurrentDir=/MY_FOLDER\n"), std::string::npos) << local;
    EXPECT_NE(local.find("/LOCAL/LastFile="), std::string::npos) << local;
}

TEST_F(FrontendScenario, ARecordingCutByAPowerLossIsRecoveredAtCardAcceptanceWithOneBox)
{
    // A 48 kHz 24-bit recording as a power loss leaves it: its sizes never
    // written, half a sample frame at its end.
    std::string wav("RIFF\xff\xff\xff\xffWAVEfmt ", 16);
    const unsigned char fmt[] = {16, 0, 0, 0, 1, 0, 2, 0, 0x80, 0xBB, 0, 0, 0x00, 0x65, 0x04, 0, 6, 0, 24, 0};
    wav.append(reinterpret_cast<const char*>(fmt), sizeof(fmt));
    wav.append("data\xff\xff\xff\xff", 8);
    wav.append(288000 + 3, '\x11');
    const std::string path = root_ + "/cards/card0/files/MY_FOLDER/KS0000_0001.WAV";
    ASSERT_EQ(std::system(("mkdir -p " + root_ + "/cards/card0/files/MY_FOLDER").c_str()), 0);
    ASSERT_TRUE(WriteFile(path, wav));
    RunResult run = RunScenario(R"(power on
expect box Recovered 1 file(s) within 15s
power off
)");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string mended = ReadFile(path);
    ASSERT_EQ(mended.size(), 44u + 288000u);
    EXPECT_EQ(mended.substr(4, 4), std::string("\x24\x65\x04\x00", 4));  // 288036
    EXPECT_EQ(mended.substr(40, 4), std::string("\x00\x65\x04\x00", 4));  // 288000
}

TEST_F(FrontendScenario, ARandomUserBreaksNothing)
{
    RunResult run = RunScenario("monkey 11 20s\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("monkey 11: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("no crash, no hang, every file opens"), std::string::npos) << run.output;
}

TEST_F(FrontendScenario, ARandomUserWhoFindsAFaultPrintsTheSeedAndTheEventsToReplay)
{
    // A movie no tool opens, which no recovery can mend: the check after the
    // run finds it.
    ASSERT_TRUE(WriteFile(root_ + "/junk.mov", std::string(2048, 'j')));
    RunResult run = RunScenario("card put junk.mov /MY_FOLDER/KS0000_0009.MOV\nmonkey 12 3s\n");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("FAILED monkey 12: /MY_FOLDER/KS0000_0009.MOV does not open"), std::string::npos)
        << run.output;
    const size_t replay = run.output.find("replay: the ");
    ASSERT_NE(replay, std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  power on\n", replay), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  power off\n", replay), std::string::npos) << run.output;
}
