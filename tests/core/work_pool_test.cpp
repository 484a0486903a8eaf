#include "core/work_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace wrenfold {
namespace {

using namespace std::chrono_literals;

// Waits (without asserting on time) until `count` reaches `wanted`.
bool reaches(const std::atomic<int>& count, int wanted)
{
    for (int i = 0; i < 500 && count < wanted; ++i)
        std::this_thread::sleep_for(10ms);
    return count == wanted;
}

TEST(WorkPool, TheIdleTaskRunsOncePerPauseAndNeverWhileABatchRuns)
{
    std::atomic<int> idle { 0 };
    WorkPool pool(
        2, [&] { ++idle; }, 20ms);
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(idle, 0) << "no batch has run yet";

    for (std::size_t count : { 1u, 3u }) {
        SCOPED_TRACE(count);
        const int before = idle;
        pool.run_all(count, [](std::size_t) {});
        // Begun at once after the first, and longer than the pause: the
        // pause that the first batch began must not end inside it.
        std::atomic<int> ran_during { -1 };
        pool.run_all(count, [&](std::size_t item) {
            std::this_thread::sleep_for(80ms);
            if (item == 0)
                ran_during = idle - before;
        });
        EXPECT_EQ(ran_during, 0);
        EXPECT_TRUE(reaches(idle, before + 1));
        std::this_thread::sleep_for(80ms);
        EXPECT_EQ(idle, before + 1) << "once per pause";
    }
}

}  // namespace
}  // namespace wrenfold
