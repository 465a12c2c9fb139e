// Threads, recursive locks and the time helpers.
#include "Lib/Global.h"
#include "Lib/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

namespace {

TEST(Time, DeltaTimeAcrossTheWrap)
{
    EXPECT_EQ(DeltaTime(0xFFFFFF00u, 0x00000100u), 0x200u);
    EXPECT_EQ(DeltaTime(100, 350), 250u);
    EXPECT_EQ(DeltaTime(5, 5), 0u);
}

TEST(Time, SleepWaitsAtLeastTheTimeAsked)
{
    long long start = GetTimeUS();
    DWORD startMs = GetTime();
    SleepMS(120);
    long long elapsed = GetTimeUS() - start;
    EXPECT_GE(elapsed, 120000);
    EXPECT_GE(DeltaTime(startMs, GetTime()), 119u);
    start = GetTimeUS();
    SleepUS(1500000 / 100);
    EXPECT_GE(GetTimeUS() - start, 15000);
}

TEST(Locks, NullHandlesDoNothing)
{
    EXPECT_EQ(TH_Lock(nullptr), 0);
    EXPECT_EQ(TH_Unlock(nullptr), 0);
    EXPECT_EQ(TH_DeleteLock(nullptr), 0);
}

TEST(Locks, TheSameThreadMayTakeALockAgain)
{
    void* hLock = TH_CreateLock();
    ASSERT_NE(hLock, nullptr);
    EXPECT_EQ(TH_Lock(hLock), 1);
    EXPECT_EQ(TH_Lock(hLock), 1);
    EXPECT_EQ(TH_Unlock(hLock), 1);
    EXPECT_EQ(TH_Unlock(hLock), 1);
    EXPECT_EQ(TH_DeleteLock(hLock), 1);
}

struct Shared
{
    void* hLock;
    std::atomic<int> done{0};
    long counter = 0;
};

void* AddMany(void* pArg)
{
    Shared* s = static_cast<Shared*>(pArg);
    for (int i = 0; i < 20000; ++i) {
        TH_Lock(s->hLock);
        TH_Lock(s->hLock);
        ++s->counter;
        TH_Unlock(s->hLock);
        TH_Unlock(s->hLock);
    }
    s->done.fetch_add(1);
    return nullptr;
}

TH_THREAD* g_apKeptThreads[2];

TEST(Threads, CreatedThreadsRunTheirRoutineUnderTheLock)
{
    Shared shared;
    shared.hLock = TH_CreateLock();
    int context = 7;
    TH_THREAD* a = TH_CreateThread(AddMany, &context, &shared);
    TH_THREAD* b = TH_CreateThread(AddMany, &context, &shared);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, a);
    EXPECT_EQ(a->pContext, &context);
    EXPECT_EQ(a->pArg, &shared);
    EXPECT_EQ(a->pRoutine, &AddMany);
    while (shared.done.load() < 2)
        SleepMS(5);
    EXPECT_EQ(shared.counter, 40000);
    TH_DeleteLock(shared.hLock);
    // Thread records live as long as the process, as on the device.
    g_apKeptThreads[0] = a;
    g_apKeptThreads[1] = b;
}

TEST(ActionModeDeathTest, ModesOutsideTheRangeStopTheProgram)
{
    SetActionMode(2);
    EXPECT_EQ(GetActionMode(), 2);
    SetActionMode(0);
    EXPECT_DEATH(SetActionMode(3), "\\(\\(0\\) <= nMode\\) && \\(nMode <= \\(2\\)\\)");
    EXPECT_DEATH(SetActionMode(-1), "nMode");
}

}  // namespace
