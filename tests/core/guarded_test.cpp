#include "core/guarded.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace wrenfold {
namespace {

TEST(Guarded, ChangesFromManyThreadsAreAllKept)
{
    Guarded<std::vector<int>> numbers;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&numbers, t] {
            for (int i = 0; i < 1000; ++i)
                numbers.with_locked([&](std::vector<int>& list) { list.push_back(t); });
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(numbers.snapshot().size(), 4000u);
}

}  // namespace
}  // namespace wrenfold
