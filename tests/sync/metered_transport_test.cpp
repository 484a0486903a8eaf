#include "sync/metered_transport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace wrenfold;
using namespace wrenfold::sync;

TEST(ParseRetryAfter, ReadsSecondsOrAnHttpDate)
{
    auto now = std::chrono::system_clock::from_time_t(784111777);  // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_EQ(parse_retry_after("120", now), 120s);
    EXPECT_EQ(parse_retry_after("Sun, 06 Nov 1994 08:51:37 GMT", now), 120s);
    EXPECT_EQ(parse_retry_after("Sun, 06 Nov 1994 08:00:00 GMT", now), 0s);
    EXPECT_FALSE(parse_retry_after("soon", now));
    EXPECT_FALSE(parse_retry_after("-5", now));
}
