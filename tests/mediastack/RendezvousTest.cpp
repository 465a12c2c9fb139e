// Meeting points: all parties leave together; force releases everybody.
#include "media-stack/Dmai.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(Rendezvous, NobodyLeavesBeforeTheLastArrives)
{
    Rendezvous_Handle rv = Rendezvous_create(4, &Rendezvous_Attrs_DEFAULT);
    ASSERT_NE(rv, nullptr);
    std::atomic<int> arrived{0};
    std::atomic<int> left{0};
    std::vector<std::thread> parties;
    for (int i = 0; i < 3; ++i) {
        parties.emplace_back([&] {
            arrived.fetch_add(1);
            Rendezvous_meet(rv);
            left.fetch_add(1);
        });
    }
    while (arrived.load() < 3)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(left.load(), 0);
    Rendezvous_meet(rv);
    for (auto& t : parties)
        t.join();
    EXPECT_EQ(left.load(), 3);
    Rendezvous_delete(rv);
}

TEST(Rendezvous, CanBeUsedForSeveralMeetings)
{
    Rendezvous_Handle rv = Rendezvous_create(2, &Rendezvous_Attrs_DEFAULT);
    std::atomic<int> rounds{0};
    std::thread other([&] {
        for (int i = 0; i < 500; ++i) {
            Rendezvous_meet(rv);
            rounds.fetch_add(1);
        }
    });
    for (int i = 0; i < 500; ++i)
        Rendezvous_meet(rv);
    other.join();
    EXPECT_EQ(rounds.load(), 500);
    Rendezvous_delete(rv);
}

TEST(Rendezvous, ForceReleasesWaitingAndLaterParties)
{
    Rendezvous_Handle rv = Rendezvous_create(11, &Rendezvous_Attrs_DEFAULT);
    std::vector<std::thread> parties;
    std::atomic<int> left{0};
    for (int i = 0; i < 5; ++i)
        parties.emplace_back([&] {
            Rendezvous_meet(rv);
            left.fetch_add(1);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(left.load(), 0);
    Rendezvous_force(rv);
    for (auto& t : parties)
        t.join();
    EXPECT_EQ(left.load(), 5);
    EXPECT_EQ(Rendezvous_meet(rv), Dmai_EOK);  // returns at once
    Rendezvous_reset(rv);
    Rendezvous_delete(rv);
}

TEST(Rendezvous, BadArgumentsAreRefused)
{
    EXPECT_EQ(Rendezvous_create(0, nullptr), nullptr);
    EXPECT_LT(Rendezvous_meet(nullptr), 0);
    EXPECT_LT(Rendezvous_force(nullptr), 0);
}

}  // namespace
