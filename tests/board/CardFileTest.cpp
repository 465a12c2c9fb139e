// Card files through the seam behave as on a real card: they take the
// card's free clusters and fail with "no space" when none are left, with an
// I/O error once the card is pulled, and refuse writes on a write-protected
// card. Filling a card leaves the free space asked for.
#include "Lib/Sys.h"
#include "Media/RemainMedia.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "tests/support/BoardTest.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>

using namespace vrec::test;
using vrec::board::Board;

namespace {

uint64_t FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

class CardFileTest : public BoardTest
{
protected:
    Board& B() { return Board::Get(); }

    uint64_t FreeBytes()
    {
        struct statvfs st;
        EXPECT_EQ(SYS_statvfs("/sdcard", &st), 0);
        return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    }

    // A small card of the recorder's own format in the slot, mounted.
    void SmallCard(uint64_t bytes)
    {
        vrec::board::CardOptions options;
        options.sizeBytes = bytes;
        std::string why;
        ASSERT_TRUE(B().cards().Create("small", options, &why)) << why;
        B().cards().Remove(B().state());
        ASSERT_TRUE(B().cards().Insert(B().state(), "small", &why)) << why;
    }
};

TEST_F(CardFileTest, FillingLeavesTheFreeSpaceAskedFor)
{
    std::string why;
    const std::string card = B().cards().Inserted();
    for (uint64_t free : {40ull << 20, 1ull << 20, 0ull, 1ull << 30}) {
        ASSERT_TRUE(vrec::board::FillCard(B().cards(), card, free, &why)) << why;
        EXPECT_EQ(FreeBytes(), free) << free;
    }
    // Not more than the card has.
    EXPECT_FALSE(vrec::board::FillCard(B().cards(), card, 64ull << 30, &why));
    EXPECT_NE(why.find("bytes free"), std::string::npos) << why;
}

TEST_F(CardFileTest, TheSpaceAccountKeepsThirtyMegabytesInHand)
{
    std::string why;
    const std::string card = B().cards().Inserted();
    ASSERT_TRUE(vrec::board::FillCard(B().cards(), card, 40u << 20, &why)) << why;
    CRemainMedia account;
    account.Update();
    EXPECT_EQ(account.GetRemainSize(), 40 << 20);
    EXPECT_EQ(account.GetClusterSize(), 32768u);
    EXPECT_GT(account.GetTotalSize(), 4000000000LL);
    EXPECT_LT(account.GetTotalSize(), 4LL << 30);
    // Writing takes from the account until 30 MiB are left.
    account.Subtraction((10 << 20) - 1);
    EXPECT_TRUE(account.IsAvaiableSpace());
    account.Subtraction(1);
    EXPECT_FALSE(account.IsAvaiableSpace());
    account.Subtraction(31 << 20);
    EXPECT_LT(account.GetRemainSize(), 0);
    EXPECT_FALSE(account.IsAvaiableSpace());
    // Under 35 MiB a card counts as full when measured.
    ASSERT_TRUE(vrec::board::FillCard(B().cards(), card, 34u << 20, &why)) << why;
    account.Update();
    EXPECT_EQ(account.GetRemainSize(), 0);
    EXPECT_FALSE(account.IsAvaiableSpace());
    // No card: nothing.
    B().cards().Remove(B().state());
    account.Update();
    EXPECT_EQ(account.GetTotalSize(), 0);
}

TEST_F(CardFileTest, WritesStopWithNoSpaceWhenTheClustersRunOut)
{
    std::string why;
    ASSERT_TRUE(vrec::board::FillCard(B().cards(), B().cards().Inserted(), 1u << 20, &why)) << why;
    FILE* fp = SYS_fopen("/sdcard/MY_FOLDER/big.bin", "wb");
    ASSERT_NE(fp, nullptr);
    std::string block(100000, 'x');
    size_t written = 0;
    int error = 0;
    for (int i = 0; i < 20 && !error; ++i) {
        errno = 0;
        size_t n = fwrite(block.data(), 1, block.size(), fp);
        if (n != block.size() || fflush(fp) != 0 || ferror(fp))
            error = errno;
        else
            written += n;
    }
    fclose(fp);
    EXPECT_EQ(error, ENOSPC);
    // The card took its last cluster and no more.
    EXPECT_GE(written, 900000u);
    EXPECT_EQ(FileSize(HostPath("/sdcard/MY_FOLDER/big.bin")), 1u << 20);
    EXPECT_EQ(FreeBytes(), 0u);
    // Space freed elsewhere is found again.
    ASSERT_EQ(SYS_unlink("/sdcard/MY_FOLDER/big.bin"), 0);
    fp = SYS_fopen("/sdcard/MY_FOLDER/again.bin", "wb");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(fwrite(block.data(), 1, block.size(), fp), block.size());
    EXPECT_EQ(fclose(fp), 0);
}

TEST_F(CardFileTest, TwoFilesShareTheSpaceOfASmallCard)
{
    SmallCard(48u << 20);
    ASSERT_TRUE(WaitFor([] { struct stat st; return SYS_stat("/sdcard/MY_FOLDER", &st) == 0; }));
    const uint64_t free = FreeBytes();
    ASSERT_GT(free, 40u << 20);
    FILE* a = SYS_fopen("/sdcard/a.bin", "wb");
    FILE* b = SYS_fopen("/sdcard/b.bin", "wb");
    ASSERT_TRUE(a && b);
    setvbuf(a, nullptr, _IONBF, 0);
    setvbuf(b, nullptr, _IONBF, 0);
    std::string block(1 << 20, 'y');
    uint64_t taken = 0;
    for (int i = 0; i < 64; ++i) {
        FILE* fp = i % 2 ? b : a;
        if (fwrite(block.data(), 1, block.size(), fp) != block.size() || ferror(fp))
            break;
        taken += block.size();
    }
    EXPECT_EQ(errno, ENOSPC);
    fclose(a);
    fclose(b);
    EXPECT_LE(taken, free);
    EXPECT_GT(taken, free - (2u << 20));
    EXPECT_EQ(FileSize(HostPath("/sdcard/a.bin")) + FileSize(HostPath("/sdcard/b.bin")), free);
}

TEST_F(CardFileTest, PulledCardFailsOpenFilesEvenAfterItComesBack)
{
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/read.txt"), "some text"));
    FILE* out = SYS_fopen("/sdcard/MY_FOLDER/rec.bin", "wb");
    FILE* in = SYS_fopen("/sdcard/read.txt", "rb");
    ASSERT_TRUE(out && in);
    setvbuf(out, nullptr, _IONBF, 0);
    EXPECT_EQ(fwrite("before", 1, 6, out), 6u);
    const std::string card = B().cards().Inserted();
    B().cards().Remove(B().state());
    errno = 0;
    fwrite("after", 1, 5, out);
    EXPECT_TRUE(ferror(out));
    EXPECT_EQ(errno, EIO);
    char buf[16];
    EXPECT_EQ(fread(buf, 1, sizeof(buf), in), 0u);
    EXPECT_EQ(errno, EIO);
    std::string why;
    ASSERT_TRUE(B().cards().Insert(B().state(), card, &why)) << why;
    clearerr(out);
    fwrite("again", 1, 5, out);
    EXPECT_TRUE(ferror(out));
    fclose(out);
    fclose(in);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/MY_FOLDER/rec.bin")), "before");
    // Files opened on the card that came back work.
    FILE* fresh = SYS_fopen("/sdcard/MY_FOLDER/new.bin", "wb");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fwrite("ok", 1, 2, fresh), 2u);
    EXPECT_EQ(fclose(fresh), 0);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/MY_FOLDER/new.bin")), "ok");
}

TEST_F(CardFileTest, WriteProtectedCardRefusesWrites)
{
    FILE* open = SYS_fopen("/sdcard/MY_FOLDER/open.bin", "wb");
    ASSERT_NE(open, nullptr);
    setvbuf(open, nullptr, _IONBF, 0);
    B().state().card.writeProtected = 1;
    errno = 0;
    EXPECT_EQ(SYS_fopen("/sdcard/MY_FOLDER/new.bin", "wb"), nullptr);
    EXPECT_EQ(errno, EROFS);
    EXPECT_EQ(SYS_fopen("/sdcard/MY_FOLDER/open.bin", "r+b"), nullptr);
    fwrite("x", 1, 1, open);
    EXPECT_TRUE(ferror(open));
    EXPECT_EQ(errno, EROFS);
    fclose(open);
    // Reading goes on.
    FILE* in = SYS_fopen("/sdcard/MY_FOLDER/open.bin", "rb");
    EXPECT_NE(in, nullptr);
    if (in)
        fclose(in);
}

}  // namespace
