#include "calendar/holiday_records.h"

#include "core/dates.h"

#include <numeric>

namespace wrenfold {

namespace {

std::optional<std::vector<Holiday>> ask(const HolidaySource& source, std::span<const int> years,
                                        std::optional<std::string_view> language)
{
    try {
        return source(years, language);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

Json holiday_record(std::chrono::year_month_day date, const std::string& name)
{
    return Json::object({
        { "uid", "twholiday-" + compact_date(date) },
        { "summary", name },
        { "start", iso_date(date) },
        { "end", "" },
        { "all_day", true },
        { "rrule", "" },
        { "location", "" },
        { "description", "" },
        { "account_id", "" },
        { "calendar_url", "local:tw_holidays" },
        { "calendar_name", "台灣節日" },
        { "color", "#FF3B30" },
        { "read_only", true },
    });
}

Json holiday_records(std::chrono::year_month_day start, std::chrono::year_month_day end, const HolidaySource& source)
{
    Json records = Json::array();
    const int first_year = static_cast<int>(start.year());
    const int last_year = static_cast<int>(end.year());
    if (last_year < first_year)
        return records;
    std::vector<int> years(static_cast<std::size_t>(last_year - first_year + 1));
    std::iota(years.begin(), years.end(), first_year);

    auto found = ask(source, years, "zh_TW");
    if (!found)
        found = ask(source, years, std::nullopt);
    if (!found)
        return records;
    for (const Holiday& holiday : *found) {
        if (holiday.date >= start && holiday.date < end)
            records.push_back(holiday_record(holiday.date, holiday.name));
    }
    return records;
}

}  // namespace wrenfold
