#include "calendar/tw_decreed_days.h"

#include <array>

namespace wrenfold {

namespace {

using std::chrono::January, std::chrono::February, std::chrono::March, std::chrono::April, std::chrono::May,
    std::chrono::June, std::chrono::September, std::chrono::October, std::chrono::December;
using std::chrono::year;

// From the yearly office calendars of the Directorate-General of Personnel Administration.
constexpr std::array bridges = std::to_array<BridgeDay>({
    { year { 2000 } / April / 3, year { 2000 } / April / 8 },
    { year { 2001 } / January / 22, year { 2001 } / January / 20 },
    { year { 2005 } / February / 7, year { 2005 } / February / 5 },
    { year { 2006 } / October / 9, year { 2006 } / October / 14 },
    { year { 2007 } / February / 23, year { 2007 } / March / 3 },
    { year { 2007 } / April / 6, year { 2007 } / April / 14 },
    { year { 2007 } / June / 18, year { 2007 } / June / 23 },
    { year { 2007 } / September / 24, year { 2007 } / September / 29 },
    { year { 2009 } / January / 2, year { 2009 } / January / 10 },
    { year { 2009 } / January / 30, year { 2009 } / January / 17 },
    { year { 2009 } / May / 29, year { 2009 } / June / 6 },
    { year { 2010 } / February / 19, year { 2010 } / February / 6 },
    { year { 2012 } / January / 27, year { 2012 } / February / 4 },
    { year { 2012 } / February / 27, year { 2012 } / March / 3 },
    { year { 2012 } / December / 31, year { 2012 } / December / 22 },
    { year { 2013 } / February / 15, year { 2013 } / February / 23 },
    { year { 2013 } / September / 20, year { 2013 } / September / 14 },
    { year { 2015 } / January / 2, year { 2014 } / December / 27 },
    { year { 2016 } / February / 12, year { 2016 } / January / 30 },
    { year { 2016 } / June / 10, year { 2016 } / June / 4 },
    { year { 2016 } / September / 16, year { 2016 } / September / 10 },
    { year { 2017 } / February / 27, year { 2017 } / February / 18 },
    { year { 2017 } / May / 29, year { 2017 } / June / 3 },
    { year { 2017 } / October / 9, year { 2017 } / September / 30 },
    { year { 2018 } / April / 6, year { 2018 } / March / 31 },
    { year { 2018 } / December / 31, year { 2018 } / December / 22 },
    { year { 2019 } / February / 8, year { 2019 } / January / 19 },
    { year { 2019 } / March / 1, year { 2019 } / February / 23 },
    { year { 2019 } / October / 11, year { 2019 } / October / 5 },
    { year { 2020 } / January / 23, year { 2020 } / February / 15 },
    { year { 2020 } / June / 26, year { 2020 } / June / 20 },
    { year { 2020 } / October / 2, year { 2020 } / September / 26 },
    { year { 2021 } / February / 10, year { 2021 } / February / 20 },
    { year { 2021 } / September / 20, year { 2021 } / September / 11 },
    { year { 2022 } / February / 4, year { 2022 } / January / 22 },
    { year { 2023 } / January / 20, year { 2023 } / January / 7 },
    { year { 2023 } / January / 27, year { 2023 } / February / 4 },
    { year { 2023 } / February / 27, year { 2023 } / February / 18 },
    { year { 2023 } / April / 3, year { 2023 } / March / 25 },
    { year { 2023 } / June / 23, year { 2023 } / June / 17 },
    { year { 2023 } / October / 9, year { 2023 } / September / 23 },
    { year { 2024 } / February / 8, year { 2024 } / February / 17 },
    { year { 2025 } / January / 27, year { 2025 } / February / 8 },
});

constexpr std::array observed = std::to_array<DecreedObservedDay>({
    { year { 1998 } / January / 31, HolidayKind::SpringFestival },
    { year { 1998 } / April / 6, HolidayKind::TombSweepingDay },
    { year { 1999 } / January / 2, HolidayKind::FoundingDay },
    { year { 1999 } / June / 19, HolidayKind::DragonBoatFestival },
    { year { 2000 } / May / 14, HolidayKind::BuddhasBirthday },
    { year { 2013 } / April / 5, HolidayKind::ChildrensDay },
});

}  // namespace

std::span<BridgeDay const> bridge_days()
{
    return bridges;
}

std::span<DecreedObservedDay const> decreed_observed_days()
{
    return observed;
}

}  // namespace wrenfold
