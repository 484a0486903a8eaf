#include "calendar/tw_holidays.h"

#include "calendar/tw_holiday_names.h"
#include "calendar/tw_holiday_rules.h"

#include <algorithm>
#include <stdexcept>

namespace wrenfold {

namespace {

using namespace std::chrono;

HolidayLanguage parse_language(std::optional<std::string_view> language)
{
    if (!language || *language == "zh_TW")
        return HolidayLanguage::ZhTw;
    if (*language == "en_US")
        return HolidayLanguage::EnUs;
    throw std::invalid_argument("unknown holiday language: " + std::string(*language));
}

std::string two_digits(unsigned value)
{
    return { char('0' + value / 10 % 10), char('0' + value % 10) };
}

std::string day_off_name(DayOff const& day, HolidayLanguage language)
{
    bool const zh = language == HolidayLanguage::ZhTw;
    switch (day.type) {
    case DayOff::Type::Holiday:
        return std::string(holiday_name(day.holiday, language));
    case DayOff::Type::Observed:
        return std::string(holiday_name(day.holiday, language)) + (zh ? "（補假）" : " (observed)");
    case DayOff::Type::Bridge: {
        year_month_day const make_up { day.make_up_day };
        std::string const y = std::to_string(int(make_up.year()));
        std::string const m = two_digits(unsigned(make_up.month()));
        std::string const d = two_digits(unsigned(make_up.day()));
        return zh ? "放假日（" + y + "-" + m + "-" + d + " 補班）"
                  : "Day off (substituted from " + m + "/" + d + "/" + y + ")";
    }
    }
    return {};
}

std::vector<int> requested_years(std::span<int const> years)
{
    std::vector<int> out;
    for (int y : years) {
        if (y >= first_holiday_year && y <= last_holiday_year)
            out.push_back(y);
    }
    std::ranges::sort(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

struct NamedDay {
    sys_days date;
    std::string name;
};

// The days off of the requested years, including those that the next year's holidays put into
// them, and nothing outside them.
std::vector<NamedDay> named_days(std::vector<int> const& years, HolidayLanguage language)
{
    std::vector<NamedDay> out;
    auto const wanted = [&](sys_days date) {
        return std::ranges::binary_search(years, int(year_month_day { date }.year()));
    };
    std::optional<int> done;
    for (int y : years) {
        for (int rule_year : { y, y + 1 }) {
            if (done && rule_year <= *done)
                continue;
            for (DayOff const& d : days_off_of_year(rule_year)) {
                if (wanted(d.date))
                    out.push_back({ d.date, day_off_name(d, language) });
            }
            done = rule_year;
        }
    }
    return out;
}

// Sorts by date, then merges the names of one date into "a; b" in code point order.
std::vector<Holiday> merge_by_date(std::vector<NamedDay> days)
{
    std::ranges::sort(days, [](NamedDay const& a, NamedDay const& b) {
        return a.date != b.date ? a.date < b.date : a.name < b.name;
    });
    std::vector<Holiday> out;
    for (auto it = days.begin(); it != days.end();) {
        auto const end = std::find_if(it, days.end(), [&](NamedDay const& d) { return d.date != it->date; });
        std::string name = it->name;
        for (auto next = it + 1; next != end; ++next) {
            if (next->name != (next - 1)->name)
                name += "; " + next->name;
        }
        out.push_back({ year_month_day { it->date }, std::move(name) });
        it = end;
    }
    return out;
}

}  // namespace

std::vector<Holiday> taiwan_holidays(std::span<int const> years, std::optional<std::string_view> language)
{
    HolidayLanguage const lang = parse_language(language);
    return merge_by_date(named_days(requested_years(years), lang));
}

}  // namespace wrenfold
