// The lunar dates and solar terms shown under the day numbers of the month.
#include "app/wrenfold_app.h"

#include "calendar/calendar_rules.h"
#include "calendar/lunar_labels.h"
#include "core/bridge_answer.h"
#include "core/dates.h"

namespace wrenfold {

namespace {

// A month view asks for six weeks; a year is more than any view shows.
constexpr std::chrono::days kLongestLunarRange { 400 };

}  // namespace

Json WrenfoldApp::get_lunar_dates(const Json& start_text, const Json& end_text) const
{
    using namespace std::chrono;
    sys_days const from { parse_query_date(start_text) };
    sys_days to { parse_query_date(end_text) };
    if (to - from > kLongestLunarRange)
        to = from + kLongestLunarRange;
    Json days = Json::array();
    for (sys_days day = from; day < to; day += std::chrono::days { 1 }) {
        if (auto const label = lunar_label(year_month_day { day }))
            days.push_back(Json::object(
                { { "date", iso_date(year_month_day { day }) }, { "label", label->text }, { "kind", label->kind } }));
    }
    return ok_answer({ { "days", std::move(days) } });
}

}  // namespace wrenfold
