// The account registry: the accounts the user added, and what the page may see of them.
#include "app/wrenfold_app.h"

namespace wrenfold {

Json WrenfoldApp::list_accounts()
{
    Json listed = Json::array();
    for (const Json& account : accounts_snapshot()) {
        listed.push_back(Json::object({
            { "id", account.value("id", Json()) },
            { "apple_id", account.value("apple_id", Json()) },
            { "home_tzid", account.value("home_tzid", Json("Asia/Taipei")) },
            { "calendars", account.value("calendars", Json::array()) },
        }));
    }
    return Json::object({ { "accounts", std::move(listed) },
                          { "default_calendar", setting("default_calendar", Json("")) } });
}

}  // namespace wrenfold
