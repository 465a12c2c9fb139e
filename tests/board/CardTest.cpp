// Cards made with the real fdisk and mkfs.fat, their geometry and the slot.
#include "sim/board/Card.h"
#include "sim/board/HardwareState.h"
#include "sim/board/KeyBits.h"
#include "tests/support/BoardTest.h"
#include "tests/support/TestBoards.h"

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace vrec::board;
using vrec::test::FileExists;

namespace {

class CardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::string(VREC_TEST_BOARDS) + "/cards-" + info->name();
        ASSERT_EQ(system(("rm -rf " + root_ + " && mkdir -p " + root_).c_str()), 0);
        vrec::test::RemoveAfterPassing(root_);
        state_ = std::make_unique<HardwareStateFile>(root_);
        ASSERT_TRUE(state_->ok());
    }

    std::string root_;
    std::unique_ptr<HardwareStateFile> state_;
};

TEST_F(CardTest, DeviceFormattedCardIsFat32WithTheMark)
{
    CardStore cards(root_);
    std::string why;
    ASSERT_TRUE(cards.Create("a", CardOptions{}, &why)) << why;
    PartitionInfo part = ReadPartition(cards.ImagePath("a"));
    ASSERT_TRUE(part.present);
    EXPECT_EQ(part.type, 0x0C);
    EXPECT_EQ(part.startSector, 2048u);
    EXPECT_EQ((part.startSector + part.sectorCount) * 512, 4ull << 30);
    FatInfo fat = ReadFat(cards.ImagePath("a"), part);
    ASSERT_TRUE(fat.valid);
    EXPECT_EQ(fat.fatBits, 32);
    EXPECT_EQ(fat.clusterBytes, 32768u);
    EXPECT_EQ(fat.oemName, "KS   FAT");
    EXPECT_EQ(fat.volumeLabel, "KESTRA7");
    EXPECT_GT(fat.dataClusters, 130000u);
    EXPECT_TRUE(FileExists(cards.FilesDir("a") + "/MY_FOLDER"));
    EXPECT_TRUE(FileExists(cards.FilesDir("a") + "/UTILITY"));
    // The image stays sparse.
    struct stat st;
    ASSERT_EQ(stat(cards.ImagePath("a").c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 16 << 20);
}

TEST_F(CardTest, SmallCardFallsBackToFat16)
{
    CardStore cards(root_);
    CardOptions options;
    options.sizeBytes = 1ull << 30;
    std::string why;
    ASSERT_TRUE(cards.Create("small", options, &why)) << why;
    PartitionInfo part = ReadPartition(cards.ImagePath("small"));
    EXPECT_EQ(part.type, 0x06);
    FatInfo fat = ReadFat(cards.ImagePath("small"), part);
    ASSERT_TRUE(fat.valid);
    EXPECT_EQ(fat.fatBits, 16);
    EXPECT_EQ(fat.clusterBytes, 32768u);
    EXPECT_EQ(fat.oemName, "KS   FAT");
}

TEST_F(CardTest, ForeignAndSmallClusterCards)
{
    CardStore cards(root_);
    CardOptions foreign;
    foreign.format = CardFormat::kForeign;
    std::string why;
    ASSERT_TRUE(cards.Create("pc", foreign, &why)) << why;
    FatInfo fat = ReadFat(cards.ImagePath("pc"), ReadPartition(cards.ImagePath("pc")));
    ASSERT_TRUE(fat.valid);
    EXPECT_EQ(fat.oemName, "mkfs.fat");
    EXPECT_FALSE(FileExists(cards.FilesDir("pc") + "/MY_FOLDER"));

    CardOptions small;
    small.sectorsPerCluster = 32;
    small.sizeBytes = 8ull << 30;
    ASSERT_TRUE(cards.Create("k16", small, &why)) << why;
    fat = ReadFat(cards.ImagePath("k16"), ReadPartition(cards.ImagePath("k16")));
    EXPECT_EQ(fat.clusterBytes, 16384u);
    EXPECT_EQ(fat.oemName, "KS   FAT");
}

TEST_F(CardTest, BlankCardHasNoPartition)
{
    CardStore cards(root_);
    CardOptions blank;
    blank.format = CardFormat::kBlank;
    blank.sizeBytes = 64 << 20;
    std::string why;
    ASSERT_TRUE(cards.Create("blank", blank, &why)) << why;
    EXPECT_FALSE(ReadPartition(cards.ImagePath("blank")).present);
    EXPECT_FALSE(ReadFat(cards.ImagePath("blank"), ReadPartition(cards.ImagePath("blank"))).valid);
}

TEST_F(CardTest, BadNamesAreRefused)
{
    CardStore cards(root_);
    std::string why;
    EXPECT_FALSE(cards.Create("../escape", CardOptions{}, &why));
    EXPECT_FALSE(cards.Create("", CardOptions{}, &why));
    EXPECT_FALSE(cards.Create(".hidden", CardOptions{}, &why));
    EXPECT_FALSE(cards.Insert(state_->state(), "missing", &why));
}

TEST_F(CardTest, SlotFollowsInsertAndRemove)
{
    CardStore cards(root_);
    CardOptions blank;
    blank.format = CardFormat::kBlank;
    blank.sizeBytes = 1 << 20;
    std::string why;
    ASSERT_TRUE(cards.Create("x", blank, &why));
    HardwareState& state = state_->state();
    uint32_t changes = state.card.changes;
    ASSERT_TRUE(cards.Insert(state, "x", &why)) << why;
    EXPECT_EQ(cards.Inserted(), "x");
    EXPECT_EQ(state.card.inserted.load(), 1);
    EXPECT_TRUE(state.keys.mask & keybit::kSdDetect);
    EXPECT_EQ(cards.SlotImage(), cards.ImagePath("x"));
    EXPECT_GT(state.card.changes, changes);
    cards.Remove(state);
    EXPECT_EQ(cards.Inserted(), "");
    EXPECT_EQ(cards.SlotImage(), "");
    EXPECT_FALSE(state.keys.mask & keybit::kSdDetect);
}

TEST_F(CardTest, UsedClustersCountFilesAndFolders)
{
    std::string dir = root_ + "/tree";
    ASSERT_EQ(system(("mkdir -p " + dir + "/sub").c_str()), 0);
    ASSERT_TRUE(vrec::test::WriteFile(dir + "/a.bin", std::string(40000, 'a')));   // 2 clusters
    ASSERT_TRUE(vrec::test::WriteFile(dir + "/sub/b.bin", std::string(1, 'b')));    // 1 cluster
    ASSERT_TRUE(vrec::test::WriteFile(dir + "/empty.bin", ""));                     // none
    // FAT32: root folder 1, sub folder 1.
    EXPECT_EQ(UsedClusters(dir, 32768, true), 2u + 1u + 1u + 1u);
    // FAT16: the root folder is outside the data area.
    EXPECT_EQ(UsedClusters(dir, 32768, false), 2u + 1u + 1u);
}

}  // namespace
