// The calendar's time zone: the page shows every time in it, and every
// account's engine reads and writes events in it.
#include "app/wrenfold_app.h"

#include "caldav/ical_time.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"

namespace wrenfold {

std::string WrenfoldApp::time_zone() const
{
    Json chosen = setting("time_zone", Json(""));
    if (chosen.is_string() && !chosen.get_ref<const std::string&>().empty())
        return chosen.get<std::string>();
    // Before a zone was chosen, accounts kept the one they were added with.
    auto listed = accounts_snapshot();
    return listed.empty() ? std::string(kDefaultHomeTzid) : home_tzid_of(listed.front());
}

Json WrenfoldApp::set_time_zone(const Json& zone)
{
    std::string name = zone.is_string() ? zone.get<std::string>() : std::string();
    try {
        caldav::home_zone_for(name);
    } catch (const std::exception&) {
        return failed_answer(_t("err.time_zone.unknown", { { "name", name } }));
    }
    put_setting("time_zone", name);
    _save_settings();
    _change_accounts([&](std::vector<Account>& list) {
        for (Account& account : list) {
            account.home_tzid = name;
            account.record["home_tzid"] = name;  // the stored form
        }
    });
    _save_accounts();
    // Engines keep the zone they were made with; the next use makes them anew.
    _engines_lock.with_locked([](EngineMap& engines) { engines.clear(); });
    _bump_refresh();
    return ok_answer({ { "time_zone", name } });
}

}  // namespace wrenfold
