#include "sync/account_watch.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace wrenfold;
using namespace wrenfold::sync;

TEST(AccountWatch, BackoffDoublesUpToFiveMinutes)
{
    AccountWatch watch(30s);
    auto now = Clock::now();
    std::vector<std::chrono::seconds> waits;
    for (int i = 0; i < 6; ++i) {
        watch.failed(std::nullopt, now);
        waits.push_back(std::chrono::duration_cast<std::chrono::seconds>(watch.next_look() - now));
    }
    EXPECT_EQ(waits, (std::vector<std::chrono::seconds> { 30s, 60s, 120s, 240s, 300s, 300s }));
    watch.failed(86400s * 7, now);
    EXPECT_EQ(watch.next_look() - now, kMaxRetryAfter);
}
