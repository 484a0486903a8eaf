// What the page asks for when it has loaded: its pictures and its starting state.
#include "app/wrenfold_app.h"

#include "app/settings_rules.h"
#include "core/bridge_answer.h"
#include "core/page_assets.h"
#include "core/utf8_path.h"
#include "reminders/reminder_settings.h"

namespace wrenfold {

Json WrenfoldApp::get_images() const
{
    const std::filesystem::path pictures = MODULE_DIR / utf8_path("格式範本");
    return Json::object({
        { "logo", image_file_data_url(pictures / "logo.png") },
        { "logo_ico", image_file_data_url(pictures / "logo.ico") },
        { "gear", image_file_data_url(pictures / utf8_path("齒輪.png")) },
        { "refresh", image_file_data_url(pictures / utf8_path("重製箭頭001.png")) },
    });
}

Json WrenfoldApp::get_initial_state()
{
    Json listed = list_accounts();
    Json current = settings_snapshot();
    return Json::object({
        { "accounts", listed["accounts"] },
        { "default_calendar", current.value("default_calendar", Json("")) },
        { "view", current.value("view", Json("month")) },
        { "show_tw_holidays", current.value("show_tw_holidays", Json(true)) },
        { "accounts_file", ACCOUNTS_FILE.string() },
        { "language", current.value("language", Json(DEFAULT_LANG)) },
        { "time_zone", time_zone() },
        { "reading", reading_settings_in_force(current) },
        { "reminders", reminder_settings_in_force(current).to_json() },
    });
}

Json WrenfoldApp::set_reading_settings(const Json& changes)
{
    Json reading = reading_settings_changed(settings_snapshot(), changes);
    put_setting("reading", reading);
    _save_settings();
    return ok_answer({ { "reading", std::move(reading) } });
}

}  // namespace wrenfold
