// The editor's time input, read in the home zone.
#include "caldav/engine.h"
#include "caldav/ical_time.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace wrenfold::caldav
