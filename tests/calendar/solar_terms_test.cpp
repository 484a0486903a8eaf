#include "calendar/solar_terms.h"

#include <gtest/gtest.h>

#include <utility>

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

TEST(SolarTerms, ComputedTermsAgreeWithPublishedDaysAndTheQingmingTable)
{
    std::pair<year_month_day, unsigned> const published[] = {
        { 2025y / March / 20, 0 },    { 2025y / June / 21, 6 },     { 2025y / December / 21, 18 },
        { 2025y / February / 3, 21 }, { 2024y / February / 4, 21 }, { 2025y / January / 5, 19 },
    };
    for (auto const& [date, term] : published)
        EXPECT_EQ(solar_term_on(date), term) << int(date.year()) << "-" << unsigned(date.month());
    for (int y = kFirstQingmingYear; y <= kLastQingmingYear; ++y) {
        int terms = 0;
        for (sys_days d { year { y } / January / 1 }; d < sys_days { year { y + 1 } / January / 1 }; d += days { 1 }) {
            auto const term = solar_term_on(year_month_day { d });
            terms += term.has_value();
            if (term == 1u) {
                EXPECT_EQ(year_month_day { d }, qingming(y)) << y;
            }
        }
        EXPECT_EQ(terms, 24) << y;
    }
}

}  // namespace
}  // namespace wrenfold
