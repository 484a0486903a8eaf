#include "core/dates.h"

#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

const year_month_day kLeapDay { year(2024), February, day(29) };

}  // namespace

TEST(Dates, IsoDatesAreFormattedWithDashes)
{
    EXPECT_EQ(wrenfold::iso_date(kLeapDay), "2024-02-29");
}

TEST(Dates, CompactDatesKeepFourYearDigits)
{
    EXPECT_EQ(wrenfold::compact_date(year_month_day { year(998), January, day(5) }), "09980105");
}

TEST(Dates, ParsesARealDateInTheExactForm)
{
    EXPECT_EQ(wrenfold::parse_iso_date("2024-02-29"), kLeapDay);
}

TEST(Dates, RefusesWhatIsNotARealDateInTheExactForm)
{
    for (const char* bad : { "2023-02-29", "2025-13-01", "2025-1-01", "2025/01/01", "2025-01-01T", "20250101", "",
                             "2025-0a-01", "2025-00-10" }) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(wrenfold::parse_iso_date(bad));
    }
}
