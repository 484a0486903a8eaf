#include "calendar/solar_terms.h"

#include <gtest/gtest.h>

namespace wrenfold {
namespace {

using namespace std::chrono;

TEST(SolarTerms, QingmingMatchesPublishedDates)
{
    year_month_day const known[] = {
        2008y / April / 4, 2010y / April / 5, 2016y / April / 4, 2019y / April / 5, 2020y / April / 4,
        2023y / April / 5, 2024y / April / 4, 2025y / April / 4, 2026y / April / 5, 1998y / April / 5,
    };
    for (year_month_day const& date : known)
        EXPECT_EQ(qingming(int(date.year())), date) << int(date.year());
}

TEST(SolarTerms, QingmingIsAnAprilDayOnlyForTabulatedYears)
{
    for (int y = kFirstQingmingYear; y <= kLastQingmingYear; ++y) {
        auto const date = qingming(y);
        ASSERT_TRUE(date && date->ok()) << y;
        EXPECT_EQ(date->month(), April);
        EXPECT_TRUE(date->day() == day { 4 } || date->day() == day { 5 }) << y;
    }
    EXPECT_FALSE(qingming(kFirstQingmingYear - 1));
    EXPECT_FALSE(qingming(kLastQingmingYear + 1));
}

}  // namespace
}  // namespace wrenfold
