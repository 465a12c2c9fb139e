// The card format as the device runs it, on the board's card image.
#include "Lib/Common.h"
#include "Lib/Sys.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "tests/support/BoardTest.h"
#include "tests/support/BoxAnswerer.h"

#include <fcntl.h>
#include <unistd.h>

using namespace vrec::test;
using vrec::board::Board;

namespace {

// Copies the partition out of the card image, keeping holes, so that
// fsck.fat can check it.
bool ExtractPartition(const std::string& image, const vrec::board::PartitionInfo& part, const std::string& out)
{
    int in = open(image.c_str(), O_RDONLY);
    int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || fd < 0)
        return false;
    off_t start = static_cast<off_t>(part.startSector * 512);
    off_t end = start + static_cast<off_t>(part.sectorCount * 512);
    bool ok = ftruncate(fd, end - start) == 0;
    std::string block(1 << 20, 0);
    for (off_t pos = start; ok && pos < end;) {
        off_t data = lseek(in, pos, SEEK_DATA);
        if (data < 0 || data >= end)
            break;
        off_t hole = lseek(in, data, SEEK_HOLE);
        if (hole > end)
            hole = end;
        for (off_t p = data; ok && p < hole;) {
            size_t n = static_cast<size_t>(std::min<off_t>(hole - p, static_cast<off_t>(block.size())));
            ok = pread(in, &block[0], n, p) == static_cast<ssize_t>(n) &&
                 pwrite(fd, block.data(), n, p - start) == static_cast<ssize_t>(n);
            p += static_cast<off_t>(n);
        }
        pos = hole;
    }
    close(in);
    close(fd);
    return ok;
}

class FormatTest : public BoardTest
{
protected:
    std::string Image() { return Board::Get().cards().SlotImage(); }

    // The hot-plug mounts a new card shortly after it goes in.
    void WaitForHotplugMount()
    {
        for (int i = 0; i < 100 && !IsMount("/dev/mmcblk0p1"); ++i)
            usleep(20000);
        ASSERT_EQ(IsMount("/dev/mmcblk0p1"), 1);
    }

    void ExpectCleanFat(int fatBits)
    {
        vrec::board::PartitionInfo part = vrec::board::ReadPartition(Image());
        ASSERT_TRUE(part.present);
        EXPECT_EQ(part.type, fatBits == 32 ? 0x0C : 0x06);
        vrec::board::FatInfo fat = vrec::board::ReadFat(Image(), part);
        ASSERT_TRUE(fat.valid);
        EXPECT_EQ(fat.fatBits, fatBits);
        EXPECT_EQ(fat.oemName, "KS   FAT");
        EXPECT_EQ(fat.clusterBytes, 32768u);
        EXPECT_EQ(fat.volumeLabel, "KESTRA7");
        std::string slice = BoardRoot() + "/partition.img";
        ASSERT_TRUE(ExtractPartition(Image(), part, slice));
        std::string fsck = vrec::board::FindSystemProgram("fsck.fat");
        ASSERT_FALSE(fsck.empty());
        std::string log;
        EXPECT_EQ(vrec::board::RunProgram(fsck, {"-n", slice}, "", &log), 0) << log;
        unlink(slice.c_str());
    }
};

TEST_F(FormatTest, FormatsFat32WithTheDevicesMark)
{
    WriteFile(HostPath("/sdcard/MY_FOLDER/KS0000_0001.wav"), "old recording");
    WriteFile(HostPath("/sdcard/other.txt"), "x");
    BoxAnswerer boxes;
    int result = FormatSdCard();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(boxes.Saw("\nFormat OK.\n")) << boxes.Texts().size() << " boxes";
    ExpectCleanFat(32);
    EXPECT_EQ(IsMount("/dev/mmcblk0p1"), 1);
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER")));
    EXPECT_TRUE(FileExists(HostPath("/sdcard/UTILITY")));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/other.txt")));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/MY_FOLDER/KS0000_0001.wav")));
}

TEST_F(FormatTest, ProgressCountsWhileTheStepsRun)
{
    int progress = 0;
    EXPECT_EQ(FormatFat(progress, 0), 0);
    EXPECT_GT(progress, 3);  // every step polls at least once every 100 ms
}

TEST_F(FormatTest, SmallCardFallsBackToFat16)
{
    vrec::board::CardOptions options;
    options.sizeBytes = 1ull << 30;
    std::string why;
    ASSERT_TRUE(Board::Get().cards().Create("small", options, &why)) << why;
    vsystem("umount /dev/mmcblk0p1");
    ASSERT_TRUE(Board::Get().cards().Insert(Board::Get().state(), "small", &why));
    WaitForHotplugMount();
    BoxAnswerer boxes;
    testing::internal::CaptureStdout();
    EXPECT_EQ(FormatSdCard(), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("error step3[0]"), std::string::npos) << out;  // FAT32 did not fit
    EXPECT_TRUE(boxes.Saw("Format OK."));
    ExpectCleanFat(16);
    EXPECT_TRUE(FileExists(HostPath("/sdcard/MY_FOLDER")));
}

TEST_F(FormatTest, NoCardMeansFormatError)
{
    Board::Get().cards().Remove(Board::Get().state());
    BoxAnswerer boxes;
    testing::internal::CaptureStdout();
    FormatSdCard();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("error step1[0]"), std::string::npos) << out;
    EXPECT_NE(out.find("error step1[1]"), std::string::npos) << out;
    EXPECT_NE(out.find("error step5["), std::string::npos) << out;
    EXPECT_TRUE(boxes.Saw("Format Error\nFormat CARD"));
    EXPECT_FALSE(boxes.Saw("Format OK."));
}

TEST_F(FormatTest, ForeignCardGetsTheMark)
{
    vrec::board::CardOptions foreign;
    foreign.format = vrec::board::CardFormat::kForeign;
    std::string why;
    ASSERT_TRUE(Board::Get().cards().Create("pc", foreign, &why)) << why;
    vsystem("umount /dev/mmcblk0p1");
    ASSERT_TRUE(Board::Get().cards().Insert(Board::Get().state(), "pc", &why));
    WaitForHotplugMount();
    BoxAnswerer boxes;
    EXPECT_EQ(FormatSdCard(), 1);
    ExpectCleanFat(32);
}

}  // namespace
