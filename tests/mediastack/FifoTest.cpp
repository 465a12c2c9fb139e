// FIFOs of buffer handles: order, waiting, time-outs, flush marks, contention.
#include "media-stack/Dmai.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct FifoTest : ::testing::Test
{
    Fifo_Handle fifo = Fifo_create(&Fifo_Attrs_DEFAULT);
    // Large enough to count every pass of a buffer in its used bytes.
    BufTab_Handle table = BufTab_create(8, 65536, &Buffer_Attrs_DEFAULT);

    ~FifoTest() override
    {
        Fifo_delete(fifo);
        BufTab_delete(table);
    }
    Buffer_Handle Buf(int i) { return BufTab_getBuf(table, i); }
};

TEST_F(FifoTest, BuffersComeOutInTheOrderPut)
{
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(Fifo_put(fifo, Buf(i)), Dmai_EOK);
    EXPECT_EQ(Fifo_getNumEntries(fifo), 8);
    for (int i = 0; i < 8; ++i) {
        Buffer_Handle h = nullptr;
        ASSERT_EQ(Fifo_get(fifo, &h), Dmai_EOK);
        EXPECT_EQ(h, Buf(i));
    }
    EXPECT_EQ(Fifo_getNumEntries(fifo), 0);
}

TEST_F(FifoTest, PollTimesOutWhenNothingArrives)
{
    Buffer_Handle h = nullptr;
    auto start = Clock::now();
    EXPECT_EQ(Fifo_getPoll(fifo, &h, 30), Dmai_ETIMEOUT);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(h, nullptr);
    Fifo_put(fifo, Buf(3));
    EXPECT_EQ(Fifo_getPoll(fifo, &h, 30), Dmai_EOK);
    EXPECT_EQ(h, Buf(3));
}

TEST_F(FifoTest, GetWaitsForAPut)
{
    Buffer_Handle got = nullptr;
    std::thread reader([&] { Fifo_get(fifo, &got); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(got, nullptr);
    Fifo_put(fifo, Buf(1));
    reader.join();
    EXPECT_EQ(got, Buf(1));
}

TEST_F(FifoTest, FlushWakesAWaitingReader)
{
    int result = -100;
    std::thread reader([&] {
        Buffer_Handle h;
        result = Fifo_get(fifo, &h);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Fifo_flush(fifo);
    reader.join();
    EXPECT_EQ(result, Dmai_EFLUSH);
}

TEST_F(FifoTest, FlushComesAfterTheBuffersAlreadyQueued)
{
    Fifo_put(fifo, Buf(0));
    Fifo_flush(fifo);
    Fifo_put(fifo, Buf(1));
    EXPECT_EQ(Fifo_getNumEntries(fifo), 2);
    Buffer_Handle h = nullptr;
    EXPECT_EQ(Fifo_get(fifo, &h), Dmai_EOK);
    EXPECT_EQ(h, Buf(0));
    EXPECT_EQ(Fifo_getPoll(fifo, &h, 10), Dmai_EFLUSH);
    EXPECT_EQ(Fifo_get(fifo, &h), Dmai_EOK);
    EXPECT_EQ(h, Buf(1));
}

TEST_F(FifoTest, NullArgumentsAreRefused)
{
    Buffer_Handle h;
    EXPECT_LT(Fifo_put(fifo, nullptr), 0);
    EXPECT_LT(Fifo_put(nullptr, Buf(0)), 0);
    EXPECT_LT(Fifo_get(nullptr, &h), 0);
    EXPECT_LT(Fifo_getNumEntries(nullptr), 0);
}

// Buffers circulate between two FIFOs as capture and encoder threads pass
// them: none is lost or duplicated under contention.
TEST_F(FifoTest, BuffersCirculateUnderContention)
{
    Fifo_Handle back = Fifo_create(&Fifo_Attrs_DEFAULT);
    for (int i = 0; i < 8; ++i)
        Fifo_put(back, Buf(i));
    constexpr int kRounds = 20000;
    std::atomic<long> sum{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                Buffer_Handle h;
                ASSERT_EQ(Fifo_get(back, &h), Dmai_EOK);
                Buffer_setNumBytesUsed(h, Buffer_getNumBytesUsed(h) + 1);
                Fifo_put(fifo, h);
            }
        });
        workers.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                Buffer_Handle h;
                ASSERT_EQ(Fifo_get(fifo, &h), Dmai_EOK);
                sum.fetch_add(1);
                Fifo_put(back, h);
            }
        });
    }
    for (auto& t : workers)
        t.join();
    EXPECT_EQ(sum.load(), 2 * kRounds);
    EXPECT_EQ(Fifo_getNumEntries(back), 8);
    EXPECT_EQ(Fifo_getNumEntries(fifo), 0);
    long used = 0;
    for (int i = 0; i < 8; ++i)
        used += Buffer_getNumBytesUsed(Buf(i));
    EXPECT_EQ(used, 2 * kRounds);
    Fifo_delete(back);
}

}  // namespace
