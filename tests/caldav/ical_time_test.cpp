// The editor's time input, read in the home zone.
#include "caldav/engine.h"
#include "caldav/ical_time.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

namespace wrenfold::caldav {
namespace {

icaltimezone* taipei()
{
    return home_zone_for("Asia/Taipei");
}

TEST(IcalTime, EditorInputForms)
{
    auto text = [](const std::string& input) {
        return format_in_home(parse_input_time(input, taipei(), "start"), taipei());
    };
    EXPECT_EQ(text("2025-03-01"), "2025-03-01");
    EXPECT_EQ(text("2025-03-01T09:30"), "2025-03-01T09:30:00");
    EXPECT_EQ(text("2025-03-01T01:00:00Z"), "2025-03-01T09:00:00");
    EXPECT_EQ(text("2025-03-01T08:00:00+08:00"), "2025-03-01T08:00:00");
    EXPECT_EQ(text("2025-02-28T20:00:00.123-05:00"), "2025-03-01T09:00:00");
    for (const char* bad : { "", "2025-02-30", "2025-03-01T25:00", "2025-03-01T09:00+8", "tomorrow", "2025-03-01X" })
        EXPECT_THROW(parse_input_time(bad, taipei(), "start"), CalDavError) << bad;
}

// A sync thread and a query thread may both be the first to look a zone up.
// Each test runs in a process of its own, so no zone has been looked up here.
TEST(IcalTime, ZonesLookedUpFirstFromManyThreadsAtOnce)
{
    const std::vector<std::pair<std::string, int>> zones = {
        { "Asia/Taipei", 8 * 3600 },         { "Asia/Tokyo", 9 * 3600 },          { "Europe/London", 0 },
        { "America/Sao_Paulo", -3 * 3600 },  { "Pacific/Auckland", 13 * 3600 },   { "UTC", 0 },
        { "Asia/Kolkata", 5 * 3600 + 1800 }, { "Australia/Brisbane", 10 * 3600 },
    };
    std::latch start(static_cast<std::ptrdiff_t>(zones.size()));
    std::vector<int> offsets(zones.size(), -1);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < zones.size(); ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            icaltimezone* zone = home_zone_for(zones[i].first);
            icaltimetype noon = icaltime_from_string("20260115T120000Z");
            offsets[i] = icaltimezone_get_utc_offset(zone, &noon, nullptr);
        });
    for (auto& thread : threads)
        thread.join();
    for (size_t i = 0; i < zones.size(); ++i)
        EXPECT_EQ(offsets[i], zones[i].second) << zones[i].first;
}

}  // namespace
}  // namespace wrenfold::caldav
