// The firmware's system calls on the board: devices, paths, clock, card space.
#include "DrvLib/Msp430.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"
#include "tests/support/BoardTest.h"

#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/statvfs.h>

using namespace vrec::test;
using vrec::board::Board;

namespace {

class SeamTest : public BoardTest
{
protected:
    vrec::board::HardwareState& State() { return Board::Get().state(); }
};

TEST_F(SeamTest, PowerControllerStatusComesFromTheBoard)
{
    int fd = SYS_open("/dev/msp430", O_RDONLY);
    ASSERT_GE(fd, 0);
    State().power.adapter = 0;
    State().power.batteryLevel = 5;
    State().power.inputVolume = 100;
    State().power.f1Pressed = 1;
    uint32_t status = 0;
    ASSERT_EQ(SYS_ioctl(fd, MSP430_IOCTL_GET_STATUS, &status), 0);
    EXPECT_EQ(status & 0x7F, 100u);
    EXPECT_TRUE(status & 0x100);
    EXPECT_TRUE(status & 0x200);  // on battery
    EXPECT_EQ((status >> 11) & 7, 5u);
    State().power.adapter = 1;
    ASSERT_EQ(SYS_ioctl(fd, MSP430_IOCTL_GET_STATUS, &status), 0);
    EXPECT_FALSE(status & 0x200);
    int type = 1;
    ASSERT_EQ(SYS_ioctl(fd, MSP430_IOCTL_SET_BATTERY_TYPE, &type), 0);
    EXPECT_EQ(State().power.batteryType.load(), 1);
    EXPECT_LT(SYS_ioctl(fd, 0x1234, nullptr), 0);
    EXPECT_EQ(SYS_close(fd), 0);
}

TEST_F(SeamTest, PowerControllerDriverReportsLevelsAndTheAdapter)
{
    ASSERT_EQ(MSP430_Init(), 1);
    State().power.adapter = 1;
    State().power.batteryLevel = 2;
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    EXPECT_EQ(g_Msp430_nBatteryLevel, 6);
    EXPECT_EQ(g_Msp430_bAdapterConnect, 1);
    State().power.adapter = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(MSP430_UpdateStatus(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BAT:6->2\n");
    EXPECT_EQ(g_Msp430_nBatteryLevel, 2);
    // Accesses keep 30 ms apart.
    long long start = GetTimeUS();
    for (int i = 0; i < 4; ++i)
        MSP430_UpdateF1();
    EXPECT_GE(GetTimeUS() - start, 3 * 30000);
    MSP430_Exit();
}

TEST_F(SeamTest, UnknownDeviceNodesDoNotExist)
{
    EXPECT_LT(SYS_open("/dev/sda", O_RDONLY), 0);
    EXPECT_EQ(errno, ENOENT);
    int fd = SYS_open("/dev/null", O_WRONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SYS_write(fd, "x", 1), 1);
    SYS_close(fd);
}

TEST_F(SeamTest, CardPartitionIsTheSliceOfTheImage)
{
    int fd = SYS_open("/dev/mmcblk0p1", O_RDWR);
    ASSERT_GE(fd, 0);
    char sector[512];
    ASSERT_EQ(SYS_read(fd, sector, sizeof(sector)), 512);
    EXPECT_EQ(std::string(sector + 3, 8), "KS   FAT");
    EXPECT_EQ(static_cast<unsigned char>(sector[510]), 0x55);
    EXPECT_EQ(SYS_lseek(fd, 0, SEEK_SET), 0);
    SYS_close(fd);
    fd = SYS_open("/dev/mmcblk0", O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(SYS_read(fd, sector, sizeof(sector)), 512);
    EXPECT_EQ(static_cast<unsigned char>(sector[450]), 0x0C);  // partition type
    SYS_close(fd);
}

TEST_F(SeamTest, NoCardNoBlockDevice)
{
    Board::Get().cards().Remove(State());
    EXPECT_LT(SYS_open("/dev/mmcblk0p1", O_RDWR), 0);
    EXPECT_EQ(errno, ENOMEDIUM);
    // The mounted tree is gone with the card.
    EXPECT_EQ(SYS_fopen("/sdcard/MY_FOLDER/new.wav", "w"), nullptr);
}

TEST_F(SeamTest, WriteProtectedCardIsReadOnly)
{
    WriteFile(HostPath("/sdcard/keep.txt"), "keep");
    State().card.writeProtected = 1;
    EXPECT_EQ(SYS_fopen("/sdcard/new.txt", "w"), nullptr);
    EXPECT_EQ(errno, EROFS);
    EXPECT_LT(SYS_open("/sdcard/keep.txt", O_WRONLY | O_TRUNC), 0);
    EXPECT_LT(SYS_unlink("/sdcard/keep.txt"), 0);
    EXPECT_LT(SYS_mkdir("/sdcard/DIR", 0777), 0);
    EXPECT_LT(SYS_rename("/sdcard/keep.txt", "/sdcard/moved.txt"), 0);
    EXPECT_LT(SYS_open("/dev/mmcblk0p1", O_RDWR), 0);
    FILE* fp = SYS_fopen("/sdcard/keep.txt", "r");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/keep.txt")), "keep");
    // Flash and /tmp stay writable.
    fp = SYS_fopen("/tmp/x", "w");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
}

TEST_F(SeamTest, CardSpaceComesFromItsGeometryAndFiles)
{
    struct statvfs st;
    ASSERT_EQ(SYS_statvfs("/sdcard", &st), 0);
    EXPECT_EQ(st.f_bsize, 32768u);
    EXPECT_EQ(st.f_frsize, 32768u);
    uint64_t freeBefore = st.f_bavail;
    EXPECT_GT(st.f_blocks, 130000u);
    EXPECT_LT(st.f_blocks, 131072u);
    WriteFile(HostPath("/sdcard/MY_FOLDER/big.bin"), std::string(1 << 20, 'x'));
    ASSERT_EQ(SYS_statvfs("/sdcard/MY_FOLDER", &st), 0);
    EXPECT_EQ(freeBefore - st.f_bavail, 32u);
    // Elsewhere the host's numbers.
    ASSERT_EQ(SYS_statvfs("/mnt/mtd5", &st), 0);
    EXPECT_NE(st.f_bsize, 32768u);
}

TEST_F(SeamTest, DeviceClockFollowsTheBoard)
{
    time_t host = time(nullptr);
    Board::Get().SetSystemTimeUs(1341136800LL * 1000000);  // 2012-07-01 10:00 UTC
    time_t device = SYS_time(nullptr);
    EXPECT_NEAR(static_cast<double>(device), 1341136800.0, 2.0);
    struct timeval tv;
    SYS_gettimeofday(&tv);
    EXPECT_NEAR(static_cast<double>(tv.tv_sec), 1341136800.0, 2.0);
    EXPECT_GE(time(nullptr), host);
}

TEST_F(SeamTest, FreshBoardClockStartsAtTheEpochAndPowerOnTakesTheRtc)
{
    Board::Get().SetRtcTimeUs(1000000000LL * 1000000);
    PowerCycle();
    EXPECT_NEAR(static_cast<double>(SYS_time(nullptr)), 1e9, 2.0);
    // A board made now, not a copy of the tests' template (whose clock
    // has run since the template was made).
    std::string root = MakeFreshBoard("SeamTest.FreshClock");
    ASSERT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
    std::string why;
    ASSERT_TRUE(vrec::board::PrepareBoardRoot(root, &why)) << why;
    ASSERT_TRUE(Board::Reopen(root, &why)) << why;
    EXPECT_LT(SYS_time(nullptr), 3600);
}

void* ReportPolicy(void* arg)
{
    int policy = -1;
    struct sched_param param;
    pthread_getschedparam(pthread_self(), &policy, &param);
    *static_cast<int*>(arg) = policy;
    return nullptr;
}

TEST_F(SeamTest, RealTimeThreadsRunUnderTheNormalPolicy)
{
    unsetenv("VRECSIM_REALTIME");
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attr, SCHED_FIFO);
    struct sched_param param = {};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_attr_setschedparam(&attr, &param);
    int policy = -1;
    pthread_t thread;
    ASSERT_EQ(SYS_pthread_create(&thread, &attr, ReportPolicy, &policy), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(policy, SCHED_OTHER);
}

TEST_F(SeamTest, SelectSeesBoardDevicesAndSleeps)
{
    int fd = SYS_open("/dev/msp430", O_RDONLY);
    ASSERT_GE(fd, 0);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    struct timeval zero = {0, 0};
    EXPECT_EQ(SYS_select(fd + 1, &set, nullptr, nullptr, &zero), 1);
    EXPECT_TRUE(FD_ISSET(fd, &set));
    SYS_close(fd);
}

}  // namespace
