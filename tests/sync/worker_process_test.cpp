#include "sync/worker_process.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace wrenfold;
using namespace wrenfold::sync;

TEST(SyncIntervalFrom, TakesOnlyAPositiveWholeNumberOfSeconds)
{
    EXPECT_EQ(sync_interval_from(nullptr), 30s);
    EXPECT_EQ(sync_interval_from("2"), 2s);
    for (const char* bad : { "", "0", "-3", "2s", "x" })
        EXPECT_EQ(sync_interval_from(bad), 30s) << bad;
}

TEST(ParseHandoff, ReadsBackExactlyThreeDescriptors)
{
    EXPECT_EQ(parse_handoff(handoff_text({ 5, 7, 9 })), (WorkerHandoff { 5, 7, 9 }));
    for (const char* bad : { "", "5,7", "5,7,9,11", "5,-7,9", "a,b,c" })
        EXPECT_FALSE(parse_handoff(bad)) << bad;
}
