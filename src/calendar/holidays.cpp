// The Taiwan holiday pseudo-calendar and whether the page shows it.
#include "app/wrenfold_app.h"

#include "calendar/holiday_records.h"
#include "core/bridge_answer.h"

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

Json WrenfoldApp::set_tw_holidays(const Json& visible)
{
    put_setting("show_tw_holidays", truthy(visible));
    _save_settings();
    return ok_answer();
}

}  // namespace wrenfold
