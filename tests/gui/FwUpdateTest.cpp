// The firmware update screen in this process on a fresh board: the list of
// candidates, the checks that refuse a package, the flashing steps with the
// board's flash tools, and a verification that fails.
#include "DrvLib/Key.h"
#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/NVRAM.h"
#include "Lib/Sys.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenFwUpdate.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/StateControl.h"
#include "sim/board/Board.h"
#include "tests/gui/GuiFixture.h"
#include "tests/support/BoxAnswerer.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace vrec::test;
using vrec::board::Board;
using vrec::board::RgbImage;

namespace {

using Images = std::map<std::string, std::string>;

// What the firmware and the commands it runs print, kept in a file of the
// board while it lives.
class StdoutCapture
{
public:
    StdoutCapture() : path_(BoardRoot() + "/stdout.txt")
    {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~StdoutCapture() { Restore(); }
    std::string Text()
    {
        Restore();
        return ReadFile(path_);
    }

private:
    void Restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

class FwUpdateTest : public GuiTest
{
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        g_Msp430_nBatteryLevel = 7;
        SYS_mkdir("/sdcard/UTILITY", 0777);
    }

    static std::string Flash(const std::string& partition)
    {
        return ReadFile(Board::Get().paths().FlashDir() + "/" + partition);
    }
    static bool FlashUntouched()
    {
        for (const char* mtd : {"mtd1", "mtd2", "mtd3", "mtd4"})
            if (!Flash(mtd).empty())
                return false;
        return true;
    }
    // A partition holds exactly the image, erased bytes after it.
    static bool Holds(const std::string& partition, const std::string& image)
    {
        std::string bytes = Flash(partition);
        return bytes.size() >= image.size() && bytes.compare(0, image.size(), image) == 0 &&
               bytes.find_first_not_of('\xff', image.size()) == std::string::npos;
    }

    // A gzip tar of images, made by the system's tar in the board root.
    static std::string Archive(const Images& images)
    {
        std::string dir = BoardRoot() + "/archive";
        std::system(("rm -rf '" + dir + "' && mkdir '" + dir + "'").c_str());
        std::string names;
        for (const auto& image : images) {
            WriteFile(dir + "/" + image.first, image.second);
            names += " '" + image.first + "'";
        }
        std::string tarball = BoardRoot() + "/archive.tar.gz";
        EXPECT_EQ(std::system(("tar czf '" + tarball + "' -C '" + dir + "'" + names).c_str()), 0);
        return ReadFile(tarball);
    }
    static std::string Header(const std::string& product, int version)
    {
        std::string header = product;
        header.resize(32, '\0');
        header[8] = static_cast<char>(version & 0xFF);
        header[9] = static_cast<char>(version >> 8);
        return header;
    }
    static Images GoodImages()
    {
        return {{"uImage", std::string(3000, 'k')},
                {"mtd4_app.img", std::string(300000, 'a')},
                {"mtd1_param.img", std::string(5000, 'p')}};
    }
    static void PutOnCard(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(WriteFile(HostPath("/sdcard/UTILITY/" + name), bytes));
    }
    static void Folder(const std::string& name, const Images& images)
    {
        ASSERT_EQ(SYS_mkdir(("/sdcard/UTILITY/" + name).c_str(), 0777), 0) << name;
        for (const auto& image : images)
            ASSERT_TRUE(WriteFile(HostPath("/sdcard/UTILITY/" + name + "/" + image.first), image.second));
    }

    static void Open() { g_ScreenManager.SetActive("fwupdate", 1); }
    static int Level() { return screen_fwupdate::m_nLevel; }
    static std::string Entry(int i) { return screen_fwupdate::m_aFiles[i].szName; }
    static void Select(const std::string& name)
    {
        screen_fwupdate::m_nScroll = 0;
        screen_fwupdate::m_nCursor = 0;
        for (int i = 0; i < screen_fwupdate::m_nFiles; ++i) {
            if (Entry(i) == name) {
                screen_fwupdate::m_nScroll = i;
                return;
            }
        }
        ADD_FAILURE() << name << " is not listed";
    }
    // Chooses a candidate with F2; the box it raises, if any, is answered.
    static std::string Check(const std::string& name)
    {
        Open();
        Select(name);
        BoxAnswerer boxes;
        g_ScreenManager.OnButtonPress(KEY_F2);
        std::vector<std::string> texts = boxes.Texts();
        return texts.empty() ? "" : texts.back();
    }
    // Runs the flashing steps, one per 500 ms draw, until the update ends.
    static void RunUpdate(BoxAnswerer& boxes)
    {
        g_ScreenManager.OnButtonPress(KEY_ENTER);
        ASSERT_EQ(Level(), FWUPDATE_LEVEL_UPDATING);
        for (int draws = 0; draws < 20 && Level() == FWUPDATE_LEVEL_UPDATING; ++draws)
            g_ScreenManager.OnDraw500ms(1);
    }
    static std::string Boxed(const std::string& text) { return "\x08" "0\n" + text + "\n\n\a  ENTER  \a"; }
};

TEST_F(FwUpdateTest, ListsFoldersAndKsFilesFoldersFirstAndScrolls)
{
    Open();
    EXPECT_EQ(screen_fwupdate::m_nFiles, 0);
    EXPECT_EQ(screen_fwupdate::m_nCursor, -1);
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    int width, height;
    GRA_CalcStringS(&width, &height, "No File", g_pFont_a20, nullptr);
    EXPECT_TRUE(ShowsText(lcd, (320 - width) / 2, 100, "No File", g_pFont_a20, 0xFFFF));

    for (const char* name : {"KS_b.bin", "KS_a.bin", "readme.txt", "update.bin", "xKSy"})
        PutOnCard(name, "x");
    for (const char* name : {"zeta", "Alpha", "KS_1"})
        Folder(name, {});
    Open();
    const std::vector<std::string> listed = {"Alpha", "KS_1", "zeta", "KS_a.bin", "KS_b.bin", "xKSy"};
    ASSERT_EQ(screen_fwupdate::m_nFiles, static_cast<int>(listed.size()));
    for (size_t i = 0; i < listed.size(); ++i)
        EXPECT_EQ(Entry(static_cast<int>(i)), listed[i]);
    EXPECT_EQ(screen_fwupdate::m_nCursor, 0);

    // Six rows: DOWN scrolls from the sixth and stops at the last entry.
    for (int i = 0; i < 8; ++i)
        g_ScreenManager.OnButtonPress(KEY_DOWN);
    EXPECT_EQ(screen_fwupdate::m_nCursor, 5);
    EXPECT_EQ(screen_fwupdate::m_nScroll, 0);
    PutOnCard("KS_c.bin", "x");
    Open();
    for (int i = 0; i < 8; ++i)
        g_ScreenManager.OnButtonPress(KEY_DOWN);
    EXPECT_EQ(screen_fwupdate::m_nCursor, 5);
    EXPECT_EQ(screen_fwupdate::m_nScroll, 1);
    for (int i = 0; i < 5; ++i)
        g_ScreenManager.OnButtonPress(KEY_UP);
    EXPECT_EQ(screen_fwupdate::m_nCursor, 0);
    EXPECT_EQ(screen_fwupdate::m_nScroll, 1);
    g_ScreenManager.OnButtonPress(KEY_UP);
    EXPECT_EQ(screen_fwupdate::m_nScroll, 0);

    g_ScreenManager.OnButtonPress(KEY_DOWN);
    g_ScreenManager.OnDraw500ms(1);
    lcd = Lcd();
    Snap("fwupdate-list");
    EXPECT_TRUE(ShowsText(lcd, 27, 29, "UTILITY", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 54, 54, "Alpha", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 54, 189, "KS_c.bin", g_pFont_a20, 0xFFFF));
    EXPECT_FALSE(ShowsText(lcd, 54, 81, "KS_1", g_pFont_a20, 0xFFFF)) << "the highlighted row is black";
}

TEST_F(FwUpdateTest, RefusalsShowTheirBoxAndWriteNothing)
{
    std::string archive = Archive(GoodImages());
    Images noApplication = GoodImages();
    noApplication.erase("mtd4_app.img");
    Images emptyKernel = GoodImages();
    emptyKernel["uImage"] = "";
    std::string corrupt = archive;
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x55);

    PutOnCard("KS_product.bin", Header("KESTRA8 ", 102) + archive);
    PutOnCard("KS_old.bin", Header("KESTRA7 ", 100) + archive);
    PutOnCard("KS_short.bin", "KESTRA7 \x66");
    PutOnCard("KS_corrupt.bin", Header("KESTRA7 ", 102) + corrupt);
    PutOnCard("KS_noapp.bin", Header("KESTRA7 ", 102) + Archive(noApplication));
    PutOnCard("KS_empty.bin", Header("KESTRA7 ", 102) + Archive(emptyKernel));
    PutOnCard("KS_notgzip.bin", Header("KESTRA7 ", 102) + "plain text, no archive");
    Folder("KS x; touch made", GoodImages());
    // 2^32 + 102: read into an int it would pass for 1.02.
    Folder("KS7_0101.4294967398", GoodImages());

    struct Case { const char* name; const char* box; };
    const Case cases[] = {
        {"KS_product.bin", "Product"},   {"KS_old.bin", "Old Version"},   {"KS_short.bin", "Update Error"},
        {"KS_corrupt.bin", "Checksum"},  {"KS_noapp.bin", "Update File"}, {"KS_empty.bin", "Update File"},
        {"KS_notgzip.bin", "Checksum"},  {"KS x; touch made", "Old Version"},
        {"KS7_0101.4294967398", "Old Version"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Check(c.name), Boxed(c.box)) << c.name;
        EXPECT_EQ(Level(), FWUPDATE_LEVEL_LIST) << c.name;
        EXPECT_TRUE(FlashUntouched()) << c.name;
    }
    EXPECT_STREQ(screen_fwupdate::m_OldVer, "1.01");
    EXPECT_FALSE(FileExists("made"));

    // The same version as the running one is accepted; CANCEL goes back.
    PutOnCard("KS_same.bin", Header("KESTRA7 ", 101) + archive);
    EXPECT_EQ(Check("KS_same.bin"), "");
    EXPECT_EQ(Level(), FWUPDATE_LEVEL_CONFIRM);
    EXPECT_STREQ(screen_fwupdate::m_NewVer, "1.01");
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("fwupdate-confirm");
    EXPECT_TRUE(ShowsText(lcd, 54, 54, "KS_same.bin", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 54, 81, "1.01 --> 1.01", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 54, 108, "Are you sure ?", g_pFont_a20, 0xFFFF));
    EXPECT_TRUE(ShowsText(lcd, 80, 135, ":Update Execute", g_pFont_a20, 0xFFFF));
    g_ScreenManager.OnButtonPress(KEY_F3);
    EXPECT_EQ(Level(), FWUPDATE_LEVEL_LIST);
    EXPECT_TRUE(FlashUntouched());
}

// A candidate folder holds the images as they are. Its name goes into the
// command lines quoted: spaces, quotes, substitutions and ";" run nothing.
TEST_F(FwUpdateTest, AFolderWithShellCharactersUpdatesAndRunsNothingElse)
{
    const std::string name = "KS7_0101.0102 it's; touch made $(touch made2) `touch made3` *";
    Images images = GoodImages();
    Folder(name, images);
    EXPECT_EQ(Check(name), "");
    ASSERT_EQ(Level(), FWUPDATE_LEVEL_CONFIRM);
    EXPECT_STREQ(screen_fwupdate::m_NewVer, "1.02");
    BoxAnswerer boxes;
    StdoutCapture capture;
    RunUpdate(boxes);
    std::string output = capture.Text();
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(Level(), FWUPDATE_LEVEL_DONE);

    // Thirteen commands; the root file system's two steps are skipped.
    size_t commands = 0;
    for (size_t at = output.find("command="); at != std::string::npos; at = output.find("command=", at + 1))
        ++commands;
    EXPECT_EQ(commands, 13u) << output;
    EXPECT_NE(output.find("skip 13 line\nskip 14 line\n"), std::string::npos) << output;
    EXPECT_TRUE(Holds("mtd2", images["uImage"]));
    EXPECT_TRUE(Holds("mtd4", images["mtd4_app.img"]));
    EXPECT_TRUE(Holds("mtd1", images["mtd1_param.img"]));
    EXPECT_EQ(Flash("mtd3"), "");
    for (const char* made : {"made", "made2", "made3"}) {
        EXPECT_FALSE(FileExists(made)) << made;
        EXPECT_FALSE(FileExists(HostPath(std::string("/sdcard/UTILITY/") + made))) << made;
        EXPECT_FALSE(FileExists(HostPath(std::string("/sdcard/UTILITY/") + name + "/" + made))) << made;
    }
    // The read-back copies are gone again.
    EXPECT_FALSE(FileExists(HostPath("/sdcard/UTILITY/uImage_rd.img")));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/UTILITY/mtd4_app_rd.img")));

    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("fwupdate-complete");
    EXPECT_TRUE(ShowsText(lcd, 54, 108, "Update Complete", g_pFont_a20, 0xFFFF));
}

TEST_F(FwUpdateTest, ARootFileSystemImageAddsTheLastTwoSteps)
{
    Images images = GoodImages();
    images["mtd3_fs.img"] = std::string(200000, 'r');
    Folder("KS7_0101.0101", images);
    EXPECT_EQ(Check("KS7_0101.0101"), "");
    BoxAnswerer boxes;
    StdoutCapture capture;
    RunUpdate(boxes);
    std::string output = capture.Text();
    EXPECT_EQ(Level(), FWUPDATE_LEVEL_DONE);
    EXPECT_EQ(output.find("skip"), std::string::npos) << output;
    EXPECT_NE(output.find("command=dd if='/sdcard/UTILITY/KS7_0101.0101/mtd3_fs.img' of=/dev/mtd3 bs=131072"),
              std::string::npos)
        << output;
    EXPECT_TRUE(Holds("mtd3", images["mtd3_fs.img"]));
}

TEST_F(FwUpdateTest, AFailedVerificationEndsInUpdateErrorNotComplete)
{
    Images images = GoodImages();
    Folder("KS7_0101.0102", images);
    vrec::board::FlashFault& fault = State().flashFault;
    fault.partition = 4;
    fault.offset = 12345;
    fault.kind = vrec::board::kFlashFaultFlippedBit;
    EXPECT_EQ(Check("KS7_0101.0102"), "");
    {
        BoxAnswerer boxes;
        StdoutCapture capture;
        RunUpdate(boxes);
        std::string output = capture.Text();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Boxed("Update Error")});
        EXPECT_EQ(Level(), FWUPDATE_LEVEL_LIST);
        EXPECT_EQ(screen_fwupdate::m_UpdateCount, 8) << "stopped at the comparison of the application";
        EXPECT_NE(output.find("command=cmp -n 300000 /sdcard/UTILITY/mtd4_app_rd.img"), std::string::npos) << output;
        EXPECT_EQ(output.find("command=flash_eraseall /dev/mtd5"), std::string::npos) << "nothing after the failure";
        EXPECT_FALSE(FileExists(HostPath("/sdcard/UTILITY/mtd4_app_rd.img")));
    }

    // A write that fails stops at once too.
    fault.partition = 2;
    fault.kind = vrec::board::kFlashFaultWriteError;
    EXPECT_EQ(Check("KS7_0101.0102"), "");
    BoxAnswerer again;
    RunUpdate(again);
    EXPECT_EQ(again.Texts(), std::vector<std::string>{Boxed("Update Error")});
    EXPECT_EQ(screen_fwupdate::m_UpdateCount, 1);
    fault.kind = vrec::board::kFlashFaultNone;
}

TEST_F(FwUpdateTest, APackageOfTheBuildIsExtractedAndInstalled)
{
    std::string package = ReadFile(VREC_PACKAGE_NEWER);
    ASSERT_GT(package.size(), 32u) << VREC_PACKAGE_NEWER;
    PutOnCard("KS7_FW_0102.bin", package);
    // The images, as the system's tools take them out of the package.
    std::string dir = BoardRoot() + "/expected";
    ASSERT_EQ(std::system(("mkdir '" + dir + "' && tail -c +33 '" VREC_PACKAGE_NEWER "' | tar xzf - -C '" + dir + "'")
                              .c_str()),
              0);
    EXPECT_EQ(Check("KS7_FW_0102.bin"), "");
    ASSERT_EQ(Level(), FWUPDATE_LEVEL_CONFIRM);
    EXPECT_STREQ(screen_fwupdate::m_NewVer, "1.02");
    EXPECT_EQ(ReadFile(HostPath("/tmp/mtd4_app.img")), ReadFile(dir + "/mtd4_app.img"));
    EXPECT_NE(ReadFile(BoardRoot() + "/proc/mounts").find("tmpfs /tmp tmpfs rw,size=24M"), std::string::npos);

    BoxAnswerer boxes;
    g_ScreenManager.OnButtonPress(KEY_ENTER);
    for (int step = 0; step < 5; ++step)
        g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("fwupdate-steps");
    EXPECT_TRUE(ShowsText(lcd, 54, 108, "Erasing...", g_pFont_a20, 0xFFFF)) << "the step drawn with the fifth";
    EXPECT_TRUE(ShowsText(lcd, 54, 135, " [04 /14] ", g_pFont_a20, 0xFFFF));
    EXPECT_EQ(CountNear(lcd, 71, 190, 182 * 4 / 15, 4, Shown(GUI_COLOR_HEADER), 0), 182 * 4 / 15 * 4);
    for (int draws = 0; draws < 20 && Level() == FWUPDATE_LEVEL_UPDATING; ++draws)
        g_ScreenManager.OnDraw500ms(1);
    EXPECT_TRUE(boxes.Texts().empty());
    ASSERT_EQ(Level(), FWUPDATE_LEVEL_DONE);
    EXPECT_TRUE(Holds("mtd2", ReadFile(dir + "/uImage")));
    EXPECT_TRUE(Holds("mtd4", ReadFile(dir + "/mtd4_app.img")));
    EXPECT_TRUE(Holds("mtd1", ReadFile(dir + "/mtd1_param.img")));

    // Eleven draws after completion the settings are loaded and the device
    // switches off; the erased settings partition gets them back.
    EXPECT_FALSE(FileExists(HostPath("/mnt/mtd5/NVRAM.txt")));
    EXPECT_EXIT(
        {
            for (int draw = 0; draw < 12; ++draw)
                g_ScreenManager.OnDraw500ms(1);
            _exit(3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(FileExists(HostPath("/mnt/mtd5/NVRAM.txt")));
    EXPECT_EQ(State().power.powerCut.load(), 1);
}

}  // namespace
