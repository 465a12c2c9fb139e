// The firmware update as a person does it, through the front end: a package
// the project built with a newer version on the card, RECORD + PLAY + F3 at
// power-on, the update to "Update Complete" and the switch-off; then the
// device starts what was installed, and its test mode and information
// screen show the new version.
#include "sim/board/Image.h"
#include "tests/frontend/FreshBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

using vrec::board::RgbImage;
using vrec::test::FileExists;
using vrec::test::ReadFile;
using vrec::test::WriteFile;

// The package on the card, and the update screen opened at power-on.
#define PACKAGE_ON_CARD "card put " VREC_PACKAGE_NEWER " /UTILITY/KS7_FW_NEWER.bin\n"
#define OPEN_UPDATE "hold RECORD PLAY F3\npower on\nexpect screen fwupdate within 10s\nrelease all\nwait 1s\n"

struct SimRun
{
    int status = -1;
    std::string output;
};

class UpdateScenario : public ::testing::Test
{
protected:
    std::string Board(const std::string& name)
    {
        return vrec::test::PrepareFreshBoard(std::string("update-") +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                                             name);
    }

    static SimRun Vrecsim(const std::string& root, const std::string& scenario, const std::string& extra = "")
    {
        std::string file = root + "/test.vsc";
        EXPECT_TRUE(WriteFile(file, scenario));
        SimRun run;
        std::string out = root + "/vrecsim.out";
        std::string command = VRECSIM " --root " + root + " --headless --quiet --out " + root + "/snaps " + extra +
                              " " + file + " > " + out + " 2>&1 < /dev/null";
        int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.output = ReadFile(out);
        return run;
    }

    // Test mode's VERSION page, then (the clock is set by now) the system
    // information page reached through the menu.
    static std::string ShowVersions(const std::string& prefix)
    {
        return "hold STOP DISPLAY\npower on\nexpect screen testmode within 10s\nrelease all\nwait 500ms\n"
               "press MENU\npress MENU\npress DOWN\npress DOWN\npress RIGHT\npress ENTER\nwait 1200ms\n"
               "snap lcd " + prefix + "-version.png\n"
               "power off\npower on\nexpect screen player within 10s\nwait 500ms\n"
               "press MENU\nexpect screen menu within 3s\npress RIGHT\npress DOWN\npress ENTER\n"
               "press DOWN\npress DOWN\npress DOWN\npress DOWN\npress DOWN\npress DOWN\npress DOWN\npress DOWN\n"
               "press ENTER\npress DOWN\npress DOWN\npress ENTER\nexpect screen info within 3s\nwait 1200ms\n"
               "snap lcd " + prefix + "-system.png\npower off\n";
    }

    // Rows y0..y1 of two LCD snapshots hold the same pixels.
    static bool SameRows(const std::string& a, const std::string& b, int y0, int y1)
    {
        std::string why;
        RgbImage first = vrec::board::ReadPng(a, &why);
        RgbImage second = vrec::board::ReadPng(b, &why);
        if (first.empty() || second.empty() || first.width != second.width)
            return false;
        size_t row = static_cast<size_t>(first.width) * 3;
        for (int y = y0; y <= y1; ++y)
            if (!std::equal(first.rgb.begin() + y * row, first.rgb.begin() + (y + 1) * row, second.rgb.begin() + y * row))
                return false;
        return true;
    }

    // A flash partition holds exactly the image, erased (0xFF) past it.
    static void ExpectHolds(const std::string& root, const std::string& partition, const std::string& image)
    {
        std::string flash = root + "/flash/" + partition;
        std::string bytes = ReadFile(image);
        ASSERT_FALSE(bytes.empty()) << image;
        std::string cmp = "cmp -n " + std::to_string(bytes.size()) + " " + flash + " " + image;
        EXPECT_EQ(std::system(cmp.c_str()), 0) << cmp;
        EXPECT_EQ(ReadFile(flash).find_first_not_of('\xff', bytes.size()), std::string::npos) << partition;
    }
};

TEST_F(UpdateScenario, ANewerPackageIsInstalledAndStartedAtTheNextPowerOn)
{
    // What the new version shows, from its program started directly.
    std::string reference = Board("reference");
    SimRun shown = Vrecsim(reference, ShowVersions("reference"), "--app " VREC_APP_NEWER);
    ASSERT_EQ(shown.status, 0) << shown.output;

    std::string root = Board("device");
    SimRun run = Vrecsim(root, PACKAGE_ON_CARD OPEN_UPDATE "snap lcd list.png\npress F2\n"
                            "expect console NewVer=1.02 within 20s\nwait 1s\nsnap lcd confirm.png\npress ENTER\n"
                            "expect console command=dd if='/tmp/mtd4_app.img' of=/dev/mtd4 within 20s\n"
                            "snap lcd updating.png\n"
                            "expect power off within 60s\n" +
                                ShowVersions("installed") +
                                // The running firmware says its version when it checks a package.
                                OPEN_UPDATE "press F2\nexpect console g_szVersionSystem=0102.0137 within 20s\n"
                                "expect console Old=1.02\npress F3\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("starting the application installed in mtd4 (version 0102.0137)"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("the device is off"), std::string::npos) << "it switched itself off";

    // The partitions hold the package's images.
    std::string images = root + "/images";
    ASSERT_EQ(std::system(("mkdir '" + images + "' && tail -c +33 " VREC_PACKAGE_NEWER " | tar xzf - -C '" +
                           images + "'")
                              .c_str()),
              0);
    ExpectHolds(root, "mtd2", images + "/uImage");
    ExpectHolds(root, "mtd4", images + "/mtd4_app.img");
    ExpectHolds(root, "mtd1", images + "/mtd1_param.img");
    EXPECT_EQ(ReadFile(root + "/flash/mtd3"), "") << "the package has no root file system";
    EXPECT_FALSE(FileExists(root + "/cards/card0/files/UTILITY/mtd4_app_rd.img"));

    // The pages show the new version, as the new program does.
    EXPECT_TRUE(SameRows(reference + "/snaps/reference-version.png", root + "/snaps/installed-version.png", 24, 150));
    EXPECT_TRUE(SameRows(reference + "/snaps/reference-system.png", root + "/snaps/installed-system.png", 76, 102));
}

TEST_F(UpdateScenario, AFlashThatReadsBackWrongEndsInUpdateError)
{
    std::string root = Board("device");
    SimRun run = Vrecsim(root, PACKAGE_ON_CARD "flash fault mtd4 flip 70000\n" OPEN_UPDATE
                               "press F2\nexpect console NewVer=1.02 within 20s\nwait 1s\npress ENTER\n"
                            "expect box Update Error within 40s\nexpect power on\nwait 6s\nexpect power on\n"
                            "snap lcd error.png\npress ENTER\nflash fault off\n");
    ASSERT_EQ(run.status, 0) << run.output;
    std::string log = ReadFile(root + "/log/firmware.log");
    EXPECT_NE(log.find("command=cmp -n"), std::string::npos) << log;
    EXPECT_EQ(log.find("command=flash_eraseall /dev/mtd5"), std::string::npos) << "nothing after the failed check";
    EXPECT_EQ(log.find("PowerOff()"), log.rfind("PowerOff()")) << "only the end of the scenario switched it off";
}

TEST_F(UpdateScenario, ALowBatteryRestartsTheDeviceWithoutFlashing)
{
    std::string root = Board("device");
    SimRun run = Vrecsim(root, PACKAGE_ON_CARD "battery 3\n" OPEN_UPDATE
                               "wait 500ms\nsnap lcd low.png\npress F2\npress ENTER\nwait 6s\n"
                            "expect power on within 10s\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("the device rebooted"), std::string::npos) << run.output;
    for (const char* mtd : {"mtd1", "mtd2", "mtd3", "mtd4"})
        EXPECT_EQ(ReadFile(root + "/flash/" + mtd), "") << mtd;
    // "Low Battery !!" in white across the middle of a black screen.
    std::string why;
    RgbImage low = vrec::board::ReadPng(root + "/snaps/low.png", &why);
    ASSERT_FALSE(low.empty()) << why;
    auto white = [&low](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint8_t* p = &low.rgb[(static_cast<size_t>(y) * low.width + x) * 3];
                n += p[0] > 200 && p[1] > 200 && p[2] > 200;
            }
        return n;
    };
    EXPECT_GT(white(80, 96, 240, 122), 150);
    EXPECT_EQ(white(0, 130, 320, 240), 0) << "no list, no soft key";
}

}  // namespace
