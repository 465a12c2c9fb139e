// The board's stand-ins for the device's hardware utilities, run through
// the firmware's own shell runner as the device runs them.
#include "Lib/Common.h"
#include "Lib/Sys.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "tests/support/BoardTest.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vrec::test;
using vrec::board::Board;

namespace {

class BoardToolTest : public BoardTest
{
protected:
    vrec::board::HardwareState& State() { return Board::Get().state(); }
    std::string Image() { return Board::Get().cards().SlotImage(); }
};

TEST_F(BoardToolTest, UmountAndMountTheCard)
{
    ASSERT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER")));
    EXPECT_EQ(vsystem("umount /dev/mmcblk0p1"), 0);
    EXPECT_EQ(IsMount("/dev/mmcblk0p1"), 0);
    EXPECT_FALSE(FileExists(HostPath("/sdcard/MY_FOLDER")));
    EXPECT_NE(vsystem("umount /dev/mmcblk0p1"), 0);
    EXPECT_EQ(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);
    EXPECT_EQ(IsMount("/dev/mmcblk0p1"), 1);
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER")));
    EXPECT_NE(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);  // already mounted
}

TEST_F(BoardToolTest, MountNeedsAMountPointACardAndAFileSystem)
{
    vsystem("umount /dev/mmcblk0p1");
    EXPECT_EQ(vsystem("rm -rf /media/mmcblk0p1"), 0);
    EXPECT_NE(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);
    SYS_mkdir("/media/mmcblk0p1", 0777);
    Board::Get().cards().Remove(State());
    EXPECT_NE(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);
    std::string why;
    vrec::board::CardOptions blank;
    blank.format = vrec::board::CardFormat::kBlank;
    blank.sizeBytes = 64 << 20;
    ASSERT_TRUE(Board::Get().cards().Create("blank", blank, &why)) << why;
    ASSERT_TRUE(Board::Get().cards().Insert(State(), "blank", &why)) << why;
    EXPECT_NE(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);
    EXPECT_EQ(IsMount("/dev/mmcblk0p1"), 0);
}

TEST_F(BoardToolTest, ContentsOfTheMountPointComeBackAfterUmount)
{
    vsystem("umount /dev/mmcblk0p1");
    WriteFile(HostPath("/media/mmcblk0p1/under.txt"), "hidden");
    EXPECT_EQ(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);
    EXPECT_FALSE(FileExists(HostPath("/sdcard/under.txt")));
    EXPECT_EQ(vsystem("umount /media/mmcblk0p1"), 0);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/under.txt")), "hidden");
}

TEST_F(BoardToolTest, DdOnTheCardWritesInPlace)
{
    struct stat before;
    ASSERT_EQ(stat(Image().c_str(), &before), 0);
    EXPECT_EQ(vsystem("dd if=/dev/zero of=/dev/mmcblk0 bs=512 count=1"), 0);
    struct stat after;
    ASSERT_EQ(stat(Image().c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_FALSE(vrec::board::ReadPartition(Image()).present);
    // The partition's own boot sector is untouched (read in place: the
    // image is a sparse file of the card's whole size).
    char oem[8] = {};
    int fd = open(Image().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(pread(fd, oem, sizeof(oem), 2048 * 512 + 3), 8);
    close(fd);
    EXPECT_EQ(std::string(oem, sizeof(oem)), "KS   FAT");
}

TEST_F(BoardToolTest, DdCopiesOrdinaryFilesWithTheRealTool)
{
    WriteFile(HostPath("/sdcard/in.bin"), std::string(100, 'x') + "tail");
    EXPECT_EQ(vsystem("dd if=/sdcard/in.bin bs=100 skip=1 of=/tmp/out.bin"), 0);
    EXPECT_EQ(ReadFile(HostPath("/tmp/out.bin")), "tail");
}

TEST_F(BoardToolTest, FormattingToolsRefuseAMountedOrMissingCard)
{
    EXPECT_NE(vsystem("mkdosfs /dev/mmcblk0p1 -n 'KESTRA7' -s 64"), 0);  // mounted
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER")));
    vsystem("umount /dev/mmcblk0p1");
    Board::Get().cards().Remove(State());
    EXPECT_NE(vsystem("fdisk -u /dev/mmcblk0 < format_fat32.txt"), 0);
    EXPECT_NE(vsystem("mkdosfs /dev/mmcblk0p1 -n 'KESTRA7' -s 64"), 0);
    EXPECT_NE(vsystem("fdisk -u /dev/sda < format_fat32.txt"), 0);
}

TEST_F(BoardToolTest, MkdosfsEmptiesTheFileTree)
{
    WriteFile(HostPath("/sdcard/MY_FOLDER/KS0000_0001.wav"), "data");
    vsystem("umount /dev/mmcblk0p1");
    std::string files = Board::Get().cards().SlotFiles();
    EXPECT_EQ(vsystem("mkdosfs /dev/mmcblk0p1 -n 'KESTRA7' -s 64"), 0);
    EXPECT_FALSE(FileExists(files + "/MY_FOLDER"));
    vrec::board::FatInfo fat = vrec::board::ReadFat(Image(), vrec::board::ReadPartition(Image()));
    EXPECT_TRUE(fat.valid);
    EXPECT_EQ(fat.oemName, "mkfs.fat");
}

TEST_F(BoardToolTest, DateSetsTheDeviceClockOnly)
{
    time_t hostBefore = time(nullptr);
    EXPECT_EQ(System("date 2012.07.01-10:00:00"), 1);
    time_t device = SYS_time(nullptr);
    struct tm local;
    localtime_r(&device, &local);
    EXPECT_EQ(local.tm_year, 112);
    EXPECT_EQ(local.tm_mon, 6);
    EXPECT_EQ(local.tm_mday, 1);
    EXPECT_EQ(local.tm_hour, 10);
    EXPECT_GE(time(nullptr), hostBefore);  // the host's clock did not move back
    EXPECT_NE(vsystem("date 2012-07-01"), 0);
}

TEST_F(BoardToolTest, UsbGadgetModuleHandsTheUnmountedCardToTheHost)
{
    const char* modprobe = "modprobe g_file_storage file=/dev/mmcblk0 removable=1";
    ASSERT_EQ(IsMount("/dev/mmcblk0p1"), 1);
    EXPECT_NE(vsystem(modprobe), 0) << "not while the device has it mounted";
    EXPECT_EQ(State().usb.gadgetLoaded.load(), 0);
    ASSERT_EQ(vsystem("umount /dev/mmcblk0p1"), 0);
    EXPECT_EQ(vsystem(modprobe), 0);
    EXPECT_EQ(State().usb.gadgetLoaded.load(), 1);
    EXPECT_NE(vsystem(modprobe), 0) << "loaded already";
    EXPECT_NE(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0) << "the host has the card";
    EXPECT_NE(vsystem("mkdosfs -F 32 /dev/mmcblk0p1"), 0);
    EXPECT_EQ(vsystem("rmmod g_file_storage"), 0);
    EXPECT_EQ(State().usb.gadgetLoaded.load(), 0);
    EXPECT_NE(vsystem("rmmod g_file_storage"), 0);
    EXPECT_EQ(vsystem("mount /dev/mmcblk0p1 /media/mmcblk0p1"), 0);
    EXPECT_NE(vsystem("modprobe snd_dummy"), 0);
}

TEST_F(BoardToolTest, FlashErasingTheSettingsPartitionLosesTheSettings)
{
    ASSERT_TRUE(FileExists(HostPath("/mnt/mtd5/NVRAM.txt")));
    EXPECT_EQ(vsystem("flash_eraseall /dev/mtd5"), 0);
    EXPECT_FALSE(FileExists(HostPath("/mnt/mtd5/NVRAM.txt")));
    WriteFile(HostPath("/tmp/uImage"), "kernel image");
    EXPECT_EQ(vsystem("nandwrite -n -p /dev/mtd2 /tmp/uImage"), 0);
    EXPECT_EQ(vsystem("nanddump -n -o -b -f /tmp/dump.img /dev/mtd2"), 0);
    std::string dump = ReadFile(HostPath("/tmp/dump.img"));
    EXPECT_EQ(dump.substr(0, 12), "kernel image");
    EXPECT_EQ(dump.size(), 4u << 20);
    EXPECT_EQ(dump.find_first_not_of('\xff', 2048), std::string::npos);  // erased past the page written
    // Erasing keeps no bytes of erased flash on the board.
    EXPECT_EQ(vsystem("flash_eraseall /dev/mtd2"), 0);
    EXPECT_EQ(ReadFile(Board::Get().paths().FlashDir() + "/mtd2"), "");
    EXPECT_EQ(vsystem("nanddump -n -o -b -f /tmp/dump.img /dev/mtd2"), 0);
    dump = ReadFile(HostPath("/tmp/dump.img"));
    EXPECT_EQ(dump, std::string(4u << 20, '\xff'));
    EXPECT_NE(vsystem("flash_eraseall /dev/mtd9"), 0);
}

TEST_F(BoardToolTest, FlashWritesFollowNandRules)
{
    const std::string flash = Board::Get().paths().FlashDir() + "/mtd4";
    ASSERT_EQ(vsystem("flash_eraseall /dev/mtd4"), 0);
    WriteFile(HostPath("/tmp/low"), std::string(4096, '\x0f'));
    WriteFile(HostPath("/tmp/high"), std::string(4096, '\xf0'));
    ASSERT_EQ(vsystem("dd if=/tmp/low of=/dev/mtd4 bs=2048"), 0);
    EXPECT_EQ(ReadFile(flash), std::string(4096, '\x0f'));
    // Programming clears bits only: without an erase the pages hold both.
    ASSERT_EQ(vsystem("dd if=/tmp/high of=/dev/mtd4 bs=2048"), 0);
    EXPECT_EQ(ReadFile(flash), std::string(4096, '\0'));
    ASSERT_EQ(vsystem("flash_eraseall /dev/mtd4"), 0);
    ASSERT_EQ(vsystem("dd if=/tmp/high of=/dev/mtd4 bs=131072"), 0);
    EXPECT_EQ(ReadFile(flash), std::string(4096, '\xf0'));
    // A write must start on a page.
    EXPECT_NE(vsystem("dd if=/tmp/low of=/dev/mtd4 bs=1000 seek=9"), 0);

    // nandwrite pads the last page with erased bytes only when asked to.
    ASSERT_EQ(vsystem("flash_eraseall /dev/mtd4"), 0);
    WriteFile(HostPath("/tmp/odd"), "odd sized");
    EXPECT_NE(vsystem("nandwrite -n /dev/mtd4 /tmp/odd"), 0);
    EXPECT_EQ(ReadFile(flash), "");
    ASSERT_EQ(vsystem("nandwrite -n -p /dev/mtd4 /tmp/odd"), 0);
    EXPECT_EQ(ReadFile(flash), "odd sized" + std::string(2048 - 9, '\xff'));
    WriteFile(HostPath("/tmp/huge"), std::string(5u << 20, 'k'));
    EXPECT_NE(vsystem("nandwrite -p /dev/mtd2 /tmp/huge"), 0) << "4 MiB partition";
}

TEST_F(BoardToolTest, InjectedFlashFaultsShowInReadsAndWrites)
{
    vrec::board::FlashFault& fault = State().flashFault;
    WriteFile(HostPath("/tmp/kernel"), std::string(6000, 'k'));
    fault.partition = 2;
    fault.offset = 4097;
    fault.kind = vrec::board::kFlashFaultFlippedBit;
    ASSERT_EQ(vsystem("nandwrite -n -p /dev/mtd2 /tmp/kernel"), 0);
    ASSERT_EQ(vsystem("nanddump -n -o -b -f /tmp/dump /dev/mtd2"), 0);
    std::string dump = ReadFile(HostPath("/tmp/dump"));
    ASSERT_EQ(dump.size(), 4u << 20);
    EXPECT_EQ(dump[4096], 'k');
    EXPECT_EQ(dump[4097], 'k' ^ 1);
    EXPECT_NE(vsystem("cmp -n 6000 /tmp/dump /tmp/kernel"), 0);
    // Another partition is not affected.
    ASSERT_EQ(vsystem("nandwrite -n -p /dev/mtd1 /tmp/kernel"), 0);
    ASSERT_EQ(vsystem("nanddump -n -o -b -f /tmp/dump /dev/mtd1"), 0);
    EXPECT_EQ(vsystem("cmp -n 6000 /tmp/dump /tmp/kernel"), 0);

    fault.kind = vrec::board::kFlashFaultWriteError;
    ASSERT_EQ(vsystem("flash_eraseall /dev/mtd2"), 0);
    EXPECT_NE(vsystem("nandwrite -n -p /dev/mtd2 /tmp/kernel"), 0);
    EXPECT_NE(vsystem("dd if=/tmp/kernel of=/dev/mtd2 bs=131072"), 0);
    EXPECT_EQ(ReadFile(Board::Get().paths().FlashDir() + "/mtd2"), "");
    fault.kind = vrec::board::kFlashFaultNone;
    EXPECT_EQ(vsystem("nandwrite -n -p /dev/mtd2 /tmp/kernel"), 0);
}

// Names from the card reach the tools as one quoted word: spaces, quotes,
// globs, substitutions and separators in them run nothing.
TEST_F(BoardToolTest, QuotedCardNamesReachTheToolsAsOneWord)
{
    const std::string folder = "/sdcard/UTILITY/KS x'; touch made; $(touch made2) `touch made3` *";
    ASSERT_EQ(SYS_mkdir("/sdcard/UTILITY", 0777) == 0 || errno == EEXIST, true);
    ASSERT_EQ(SYS_mkdir(folder.c_str(), 0777), 0);
    WriteFile(HostPath(folder + "/mtd4_app.img"), std::string(3000, 'a'));
    char quoted[1024];
    ASSERT_EQ(ShellQuote(quoted, sizeof(quoted), (folder + "/mtd4_app.img").c_str()), 1);
    ASSERT_EQ(vsystem("flash_eraseall /dev/mtd4"), 0);
    EXPECT_EQ(vsystem((std::string("dd if=") + quoted + " of=/dev/mtd4 bs=131072").c_str()), 0);
    EXPECT_EQ(ReadFile(Board::Get().paths().FlashDir() + "/mtd4"), std::string(3000, 'a'));
    EXPECT_EQ(vsystem((std::string("cmp /sdcard/UTILITY/x ") + quoted + " 2>/dev/null").c_str()), 2) << "no such file";
    ASSERT_EQ(ShellQuote(quoted, sizeof(quoted), folder.c_str()), 1);
    EXPECT_EQ(vsystem((std::string("rm -r ") + quoted).c_str()), 0);
    EXPECT_FALSE(FileExists(HostPath(folder)));
    for (const char* made : {"made", "made2", "made3"}) {
        EXPECT_FALSE(FileExists(made)) << made;
        EXPECT_FALSE(FileExists(HostPath(std::string("/sdcard/UTILITY/") + made))) << made;
    }
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER"))) << "the * matched nothing else";
}

TEST_F(BoardToolTest, AmixerNeverReachesTheMachinesSoundCard)
{
    // Without the board's sound configuration the tool refuses to run.
    EXPECT_NE(vsystem("ALSA_CONFIG_PATH= amixer"), 0);
    EXPECT_NE(vsystem("ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf amixer"), 0);
}

TEST_F(BoardToolTest, TimeRunsItsCommand)
{
    EXPECT_EQ(vsystem("time sh -c 'exit 3'"), 3);
}

// "reboot" resets the firmware process that ran it, and nothing else.
TEST_F(BoardToolTest, RebootResetsOnlyTheFirmwareThatRanIt)
{
    std::string tool = std::string(VREC_BOARD_BIN) + "/reboot";
    pid_t bystander = fork();
    if (bystander == 0) {
        pause();
        _exit(0);
    }
    State().firmware.pid = bystander;
    ASSERT_EQ(system(tool.c_str()), 0);
    EXPECT_EQ(State().firmware.rebootRequested.load(), 1);
    int status = 0;
    EXPECT_EQ(waitpid(bystander, &status, WNOHANG), 0);  // still alive
    kill(bystander, SIGTERM);
    waitpid(bystander, &status, 0);

    // A stand-in firmware: a shell whose child runs the tool.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t firmware = fork();
    if (firmware == 0) {
        char go;
        close(ready[1]);
        if (read(ready[0], &go, 1) != 1)
            _exit(2);
        execl("/bin/sh", "sh", "-c", (tool + "; sleep 5; exit 7").c_str(), static_cast<char*>(nullptr));
        _exit(3);
    }
    State().firmware.pid = firmware;
    close(ready[0]);
    ASSERT_EQ(write(ready[1], "g", 1), 1);
    close(ready[1]);
    ASSERT_EQ(waitpid(firmware, &status, 0), firmware);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

}  // namespace
