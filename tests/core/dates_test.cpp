#include "core/dates.h"

#include <gtest/gtest.h>

using namespace std::chrono;

TEST(Dates, FormatsAndParsesOnlyRealDatesInTheExactForm)
{
    year_month_day leap { year(2024), February, day(29) };
    EXPECT_EQ(wrenfold::iso_date(leap), "2024-02-29");
    EXPECT_EQ(wrenfold::compact_date(year_month_day { year(998), January, day(5) }), "09980105");
    EXPECT_EQ(wrenfold::parse_iso_date("2024-02-29"), leap);
    for (const char* bad : { "2023-02-29", "2025-13-01", "2025-1-01", "2025/01/01", "2025-01-01T", "20250101", "",
                             "2025-0a-01", "2025-00-10" })
        EXPECT_FALSE(wrenfold::parse_iso_date(bad)) << bad;
}
