#include "calendar/tw_holiday_rules.h"

#include "calendar/lunar_calendar.h"
#include "calendar/solar_terms.h"
#include "calendar/tw_decreed_days.h"

#include <algorithm>
#include <optional>

namespace wrenfold {

namespace {

using namespace std::chrono;

// Saturday and Sunday holidays are observed on a working day from this year on, those of the
// lunar-new-year group from the second one on.
constexpr int kFirstYearObserved = 2015;
constexpr int first_year_new_year_group_observed = 2003;

struct Holiday {
    sys_days date;
    HolidayKind kind;
};

bool in_new_year_group(HolidayKind kind)
{
    return kind == HolidayKind::NewYearsEve || kind == HolidayKind::SpringFestival;
}

bool is_weekend(sys_days date)
{
    weekday const day { date };
    return day == Saturday || day == Sunday;
}

void add_fixed(std::vector<Holiday>& out, int year, month m, day d, HolidayKind kind)
{
    out.push_back({ sys_days { std::chrono::year { year } / m / d }, kind });
}

void add_lunar(std::vector<Holiday>& out, int year, unsigned m, unsigned d, HolidayKind kind)
{
    if (auto const date = lunar_to_gregorian(year, m, d))
        out.push_back({ sys_days { *date }, kind });
}

void add_new_year_group(std::vector<Holiday>& out, int year)
{
    auto const new_year = lunar_new_year(year);
    if (!new_year)
        return;
    sys_days const first { *new_year };
    // 除夕 is the last day of the twelfth month, whatever its length: the day before the new year.
    out.push_back({ first - days { 1 }, HolidayKind::NewYearsEve });
    if (year >= 2026)
        out.push_back({ first - days { 2 }, HolidayKind::NewYearsEve });
    for (int i = 0; i < 3; ++i)
        out.push_back({ first + days { i }, HolidayKind::SpringFestival });
}

// The holidays of `year`, in date order and, on one date, in the order of their names.
std::vector<Holiday> holidays_of_year(int year)
{
    std::vector<Holiday> out;
    add_fixed(out, year, January, day { 1 }, HolidayKind::FoundingDay);
    add_new_year_group(out, year);
    add_fixed(out, year, February, day { 28 }, HolidayKind::PeaceMemorialDay);
    if (year >= 2011)
        add_fixed(out, year, April, day { 4 }, HolidayKind::ChildrensDay);
    if (auto const date = qingming(year))
        out.push_back({ sys_days { *date }, HolidayKind::TombSweepingDay });
    if (year >= 2026)
        add_fixed(out, year, May, day { 1 }, HolidayKind::LaborDay);
    add_lunar(out, year, 5, 5, HolidayKind::DragonBoatFestival);
    add_lunar(out, year, 8, 15, HolidayKind::MidAutumnFestival);
    if (year >= 2025)
        add_fixed(out, year, September, day { 28 }, HolidayKind::ConfuciusBirthday);
    add_fixed(out, year, October, day { 10 }, HolidayKind::NationalDay);
    if (year >= 2025) {
        add_fixed(out, year, October, day { 25 }, HolidayKind::RestorationDay);
        add_fixed(out, year, December, day { 25 }, HolidayKind::ConstitutionDay);
    }
    std::ranges::sort(out, [](Holiday const& a, Holiday const& b) {
        if (a.date != b.date)
            return a.date < b.date;
        // UTF-8 bytes compare in code point order.
        return holiday_name(a.kind, HolidayLanguage::ZhTw) < holiday_name(b.kind, HolidayLanguage::ZhTw);
    });
    return out;
}

bool is_bridge_day(sys_days date)
{
    return std::ranges::any_of(bridge_days(), [&](BridgeDay const& b) { return sys_days { b.day_off } == date; });
}

// Where an observed day is looked for: from `start` on, one day at a time in `step`.
struct Search {
    sys_days start;
    days step;
};

// Observed days are handed out one after another; each is the first working day its search meets.
class ObservedDays {
public:
    explicit ObservedDays(std::vector<Holiday> const& holidays)
        : m_holidays(holidays)
    {
    }

    void assign(HolidayKind kind, Search search)
    {
        sys_days date = search.start;
        while (!is_working_day(date))
            date += search.step;
        m_observed.push_back({ date, kind });
    }

    // A day decreed as observed stays where it was put, working day or not.
    void add_decreed(HolidayKind kind, sys_days date) { m_observed.push_back({ date, kind }); }

    std::vector<Holiday> const& observed() const { return m_observed; }

private:
    bool is_working_day(sys_days date) const
    {
        auto const on_date = [&](Holiday const& h) { return h.date == date; };
        return !is_weekend(date) && !std::ranges::any_of(m_holidays, on_date) &&
            !std::ranges::any_of(m_observed, on_date) && !is_bridge_day(date);
    }

    std::vector<Holiday> const& m_holidays;
    std::vector<Holiday> m_observed;
};

// 兒童節 sharing its date with 民族掃墓節 moves to a day fixed by the weekday of that date.
Search childrens_day_search(sys_days date)
{
    days const earlier { -1 };
    days const later { 1 };
    switch (weekday { date }.c_encoding()) {
    case 1:
        return { date + days { 1 }, later };  // Monday → Tuesday
    case 2:
        return { date - days { 1 }, earlier };  // Tuesday → Monday
    case 3:
        return { date - days { 1 }, earlier };  // Wednesday → Tuesday
    case 4:
        return { date + days { 1 }, later };  // Thursday → Friday
    case 5:
        return { date - days { 1 }, earlier };  // Friday → Thursday
    case 6:
        return { date - days { 1 }, earlier };  // Saturday → Friday
    default:
        return { date - days { 2 }, earlier };  // Sunday → Friday
    }
}

bool shares_date_with_tomb_sweeping_day(std::vector<Holiday> const& holidays, Holiday const& h)
{
    return std::ranges::any_of(holidays, [&](Holiday const& other) {
        return other.date == h.date && other.kind == HolidayKind::TombSweepingDay;
    });
}

// The search for the observed day of `h`, if the rules of `year` give it one.
std::optional<Search> observance(int year, std::vector<Holiday> const& holidays, Holiday const& h)
{
    if (in_new_year_group(h.kind)) {
        if (year < first_year_new_year_group_observed || !is_weekend(h.date))
            return std::nullopt;
        sys_days group_end = h.date;
        for (Holiday const& g : holidays) {
            if (in_new_year_group(g.kind))
                group_end = std::max(group_end, g.date);
        }
        return Search { group_end + days { 1 }, days { 1 } };
    }
    if (year < kFirstYearObserved)
        return std::nullopt;
    if (h.kind == HolidayKind::ChildrensDay && shares_date_with_tomb_sweeping_day(holidays, h))
        return childrens_day_search(h.date);
    weekday const day { h.date };
    if (day == Saturday)
        return Search { h.date - days { 1 }, days { -1 } };
    if (day == Sunday)
        return Search { h.date + days { 1 }, days { 1 } };
    return std::nullopt;
}

std::vector<Holiday> observed_days(int year, std::vector<Holiday> const& holidays)
{
    ObservedDays observed(holidays);
    for (Holiday const& h : holidays) {
        if (auto const search = observance(year, holidays, h))
            observed.assign(h.kind, *search);
    }
    for (DecreedObservedDay const& d : decreed_observed_days()) {
        if (int(d.date.year()) == year)
            observed.add_decreed(d.holiday, sys_days { d.date });
    }
    return observed.observed();
}

}  // namespace

std::vector<DayOff> days_off_of_year(int year)
{
    std::vector<DayOff> out;
    if (year < first_holiday_year)
        return out;
    auto const holidays = holidays_of_year(year);
    for (Holiday const& h : holidays)
        out.push_back({ h.date, DayOff::Type::Holiday, h.kind, {} });
    for (Holiday const& h : observed_days(year, holidays))
        out.push_back({ h.date, DayOff::Type::Observed, h.kind, {} });
    for (BridgeDay const& b : bridge_days()) {
        if (int(b.day_off.year()) == year)
            out.push_back({ sys_days { b.day_off }, DayOff::Type::Bridge, {}, sys_days { b.make_up_day } });
    }
    return out;
}

}  // namespace wrenfold
