// The Taiwan holiday pseudo-calendar and whether the page shows it.
#include "app/wrenfold_app.h"

#include "calendar/calendar_rules.h"
#include "calendar/holiday_records.h"
#include "core/bridge_answer.h"
#include "core/dates.h"

#include <algorithm>

namespace wrenfold {

Json WrenfoldApp::_tw_holidays(std::chrono::year_month_day start, std::chrono::year_month_day end) const
{
    try {
        return holiday_records(start, end, [](std::span<const int> years, std::optional<std::string_view> language) {
            return taiwan_holidays(years, language);
        });
    } catch (...) {
        return Json::array();
    }
}

Json WrenfoldApp::get_holiday_names(const Json& start_text, const Json& end_text) const
{
    using namespace std::chrono;
    year_month_day const start = parse_query_date(start_text);
    year_month_day const end = parse_query_date(end_text);
    std::vector<int> years;
    for (int y = std::max(int(start.year()), 1998); y <= std::min(int(end.year()), 2100); ++y)
        years.push_back(y);
    Json names = Json::object();
    try {
        auto const chinese = taiwan_holidays(years, "zh_TW");
        auto const english = taiwan_holidays(years, "en_US");
        // Both lists hold one entry per date, in date order.
        for (std::size_t i = 0; i < chinese.size() && i < english.size(); ++i) {
            if (chinese[i].date != english[i].date || chinese[i].date < start || !(chinese[i].date < end))
                continue;
            names[iso_date(chinese[i].date)] =
                Json::object({ { "zh-Hant", chinese[i].name }, { "en", english[i].name } });
        }
    } catch (...) {
        names = Json::object();
    }
    return ok_answer({ { "names", std::move(names) } });
}

Json WrenfoldApp::set_tw_holidays(const Json& visible)
{
    put_setting("show_tw_holidays", truthy(visible));
    _save_settings();
    return ok_answer();
}

}  // namespace wrenfold
