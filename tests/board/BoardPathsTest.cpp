// Mapping the device's paths and shell command lines into a board root.
#include "sim/board/BoardPaths.h"

#include <gtest/gtest.h>

using vrec::board::BoardPaths;

namespace {

const char kRoot[] = "/b/root";
const char kTools[] = "/t/bin";

BoardPaths Paths()
{
    return BoardPaths(kRoot, {"/build/tree"});
}

TEST(BoardPaths, DevicePathsLiveInTheRoot)
{
    BoardPaths p = Paths();
    EXPECT_EQ(p.Map("/sdcard/MY_FOLDER/a.mov"), "/b/root/sdcard/MY_FOLDER/a.mov");
    EXPECT_EQ(p.Map("/mnt/mtd5/NVRAM.txt"), "/b/root/mnt/mtd5/NVRAM.txt");
    EXPECT_EQ(p.Map("/tmp/.NVRAM.txt"), "/b/root/tmp/.NVRAM.txt");
    EXPECT_EQ(p.Map("/proc/mounts"), "/b/root/proc/mounts");
    EXPECT_EQ(p.Map("/dev/mmcblk0p1"), "/b/root/dev/mmcblk0p1");
    EXPECT_EQ(p.Map("/etc/passwd"), "/b/root/etc/passwd");
    EXPECT_EQ(p.Map("/"), "/b/root");
}

TEST(BoardPaths, HostThingsAndTheRootItselfStay)
{
    BoardPaths p = Paths();
    for (const char* path : {"/dev/null", "/dev/zero", "/bin/sh", "/usr/bin/mv", "/proc/self/exe",
                             "/b/root/sdcard/x", "/build/tree/approot/img", "relative/file", "./NVRAM_G.txt"})
        EXPECT_EQ(p.Map(path), path) << path;
    // Prefixes match whole names only.
    EXPECT_EQ(p.Map("/dev/nullish"), "/b/root/dev/nullish");
    EXPECT_EQ(p.Map("/b/rootless"), "/b/root/b/rootless");
    EXPECT_EQ(p.Map("/build/treehouse"), "/b/root/build/treehouse");
}

TEST(BoardPaths, UnmapGivesTheDevicePath)
{
    BoardPaths p = Paths();
    EXPECT_EQ(p.Unmap("/b/root/dev/mmcblk0"), "/dev/mmcblk0");
    EXPECT_EQ(p.Unmap("/b/root"), "/");
    EXPECT_EQ(p.Unmap("/elsewhere"), "/elsewhere");
}

TEST(BoardPaths, CommandsReachTheRootAndTheBoardTools)
{
    BoardPaths p = Paths();
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"mv -f /tmp/NVRAM.txt /mnt/mtd5/NVRAM.txt", "mv -f /b/root/tmp/NVRAM.txt /b/root/mnt/mtd5/NVRAM.txt"},
        {"dd if=/dev/zero of=/dev/mmcblk0 bs=512 count=1", "/t/bin/dd if=/dev/zero of=/b/root/dev/mmcblk0 bs=512 count=1"},
        {"fdisk -u /dev/mmcblk0 < format_fat32.txt", "/t/bin/fdisk -u /b/root/dev/mmcblk0 < format_fat32.txt"},
        {"mkdosfs /dev/mmcblk0p1 -n 'KESTRA7' -s 64", "/t/bin/mkdosfs /b/root/dev/mmcblk0p1 -n 'KESTRA7' -s 64"},
        {"echo 1 > /proc/sys/vm/drop_caches", "echo 1 > /b/root/proc/sys/vm/drop_caches"},
        {"umount /dev/mmcblk0p1 >/dev/null 2>&1", "/t/bin/umount /b/root/dev/mmcblk0p1 >/dev/null 2>&1"},
        {"ps | grep app", "ps | grep app"},
        {"amixer set 'Reg. dump' 'Enable'", "/t/bin/amixer set 'Reg. dump' 'Enable'"},
        {"rm -f /tmp/*", "rm -f /b/root/tmp/*"},
        {"sync; reboot", "sync; /t/bin/reboot"},
        {"echo reboot", "echo reboot"},
        {"modprobe g_file_storage file=/dev/mmcblk0 removable=1",
         "/t/bin/modprobe g_file_storage file=/b/root/dev/mmcblk0 removable=1"},
        {"time tar zxvf /tmp/tmp.tar.gz -C /tmp", "/t/bin/time tar zxvf /b/root/tmp/tmp.tar.gz -C /b/root/tmp"},
        {"cat '/sdcard/a b.txt'", "cat '/b/root/sdcard/a b.txt'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.MapCommand(c.in, kTools), c.out) << c.in;
}

// Names from the card reach command lines quoted for the shell: the quoted
// path is mapped as one word and nothing inside it is taken for a command,
// an operator or another path.
TEST(BoardPaths, QuotedPathsStayOneWord)
{
    BoardPaths p = Paths();
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"dd if='/sdcard/UTILITY/KS x; reboot/mtd4_app.img' of=/dev/mtd4 bs=131072",
         "/t/bin/dd if='/b/root/sdcard/UTILITY/KS x; reboot/mtd4_app.img' of=/b/root/dev/mtd4 bs=131072"},
        {"cmp -n 9 /sdcard/UTILITY/uImage_rd.img '/sdcard/UTILITY/KS '\\''q'\\''/uImage'",
         "cmp -n 9 /b/root/sdcard/UTILITY/uImage_rd.img '/b/root/sdcard/UTILITY/KS '\\''q'\\''/uImage'"},
        {"rm '/sdcard/UTILITY/KS $(touch /x) `date` * /dev/mtd2'",
         "rm '/b/root/sdcard/UTILITY/KS $(touch /x) `date` * /dev/mtd2'"},
        {"tar zxvf \"/tmp/a b.gz\" -C /tmp", "tar zxvf \"/b/root/tmp/a b.gz\" -C /b/root/tmp"},
        {"cat '/usr/share/a b' /dev/null", "cat '/usr/share/a b' /dev/null"},
        {"echo 'dd' dd; 'dd' x", "echo 'dd' dd; 'dd' x"},
        {"(cd /tmp && reboot)", "(cd /b/root/tmp && /t/bin/reboot)"},
        {"cat $(ls /tmp)", "cat $(ls /b/root/tmp)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.MapCommand(c.in, kTools), c.out) << c.in;
}

TEST(BoardPaths, RootsMustBeSafeInACommandLine)
{
    std::string why;
    EXPECT_TRUE(vrec::board::IsUsableRoot("/work/build/board-1", &why));
    EXPECT_FALSE(vrec::board::IsUsableRoot("relative", &why));
    EXPECT_FALSE(vrec::board::IsUsableRoot("/", &why));
    EXPECT_FALSE(vrec::board::IsUsableRoot("/a b", &why));
    EXPECT_FALSE(vrec::board::IsUsableRoot("/a;rm", &why));
    EXPECT_NE(why.find(';'), std::string::npos);
}

}  // namespace
