// The calendars of each account, their visibility, the default calendar, the
// view, and the change tokens the page polls.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"

#include <array>

namespace wrenfold {

namespace {

constexpr std::array<std::string_view, 4> views { "month", "week", "day", "agenda" };

// Puts the merge of a fresh discovery into the account as it stands now, so
// that a visibility change made during the discovery is kept. Answers the new
// list, or nothing when the account has gone meanwhile.
std::optional<Json> merge_into(Json& accounts, const std::string& account_id, const Json& discovered)
{
    for (Json& account : accounts) {
        if (!has_account_id(account, account_id))
            continue;
        Json merged = merge_calendars(calendars_of(account), discovered);
        account["calendars"] = merged;
        return merged;
    }
    return std::nullopt;
}

Json discovered_calendars(caldav::CalendarEngine& engine)
{
    Json discovered = engine.discover();
    if (!discovered.is_array())
        throw std::runtime_error("the server's calendar list is not a list");
    return discovered;
}

}  // namespace

void WrenfoldApp::_bump_refresh()
{
    ++_refresh_token;
}

void WrenfoldApp::_bump_calendars()
{
    ++_calendars_token;
    ++_refresh_token;
}

void WrenfoldApp::_set_sync_status(const std::string& calendar_url, std::string_view status)
{
    std::lock_guard lock(m_sync_status_mutex);
    _sync_status[calendar_url] = status;
}

Json WrenfoldApp::get_runtime_state()
{
    std::int64_t seq = ++_state_seq;
    Json sync_status;
    {
        std::lock_guard lock(m_sync_status_mutex);
        sync_status = _sync_status;
    }
    return Json::object({ { "seq", seq },
                          { "refresh_token", _refresh_token.load() },
                          { "calendars_token", _calendars_token.load() },
                          { "sync_status", std::move(sync_status) } });
}

Json WrenfoldApp::refresh_calendars(const std::string& account_id)
{
    auto account = _account_by_id(account_id);
    if (!account)
        return Json::object({ { "ok", false }, { "error", "account not found" } });
    Json discovered;
    try {
        discovered = discovered_calendars(*_engine_for(*account));
    } catch (const std::exception& error) {
        return Json::object({ { "ok", false }, { "error", error.what() } });
    }
    std::optional<Json> merged;
    _change_accounts([&](Json& list) { merged = merge_into(list, account_id, discovered); });
    _save_accounts();
    _bump_calendars();
    return Json::object(
        { { "ok", true }, { "calendars", merged.value_or(merge_calendars(Json::array(), discovered)) } });
}

Json WrenfoldApp::refresh_all_calendars()
{
    Json errors = Json::array();
    for (const Json& account : accounts_snapshot()) {
        std::string id = text_form(account.value("id", Json("")));
        try {
            Json discovered = discovered_calendars(*_engine_for(account));
            _change_accounts([&](Json& list) { merge_into(list, id, discovered); });
        } catch (const std::exception& error) {
            errors.push_back(
                Json::object({ { "account", account.value("apple_id", Json("")) }, { "error", error.what() } }));
        }
    }
    _save_accounts();
    _bump_calendars();
    return Json::object({ { "ok", true },
                          { "accounts", list_accounts()["accounts"] },
                          { "default_calendar", setting("default_calendar", Json("")) },
                          { "errors", std::move(errors) } });
}

Json WrenfoldApp::set_calendar_visible(const std::string& account_id, const std::string& calendar_url,
                                       const Json& visible)
{
    bool found = false;
    _change_accounts([&](Json& list) {
        for (Json& account : list) {
            if (!has_account_id(account, account_id))
                continue;
            found = true;
            if (!account.contains("calendars") || !account["calendars"].is_array())
                break;
            for (Json& calendar : account["calendars"]) {
                if (calendar.is_object() && calendar.value("url", Json()) == calendar_url)
                    calendar["visible"] = truthy(visible);
            }
            break;
        }
    });
    if (found)
        _save_accounts();
    return Json::object({ { "ok", true } });
}

Json WrenfoldApp::set_default_calendar(const std::string& calendar_url)
{
    put_setting("default_calendar", calendar_url);
    _save_settings();
    return Json::object({ { "ok", true } });
}

Json WrenfoldApp::set_view(const Json& view)
{
    if (view.is_string() && std::find(views.begin(), views.end(), view.get_ref<const std::string&>()) != views.end()) {
        put_setting("view", view);
        _save_settings();
    }
    return Json::object({ { "ok", true }, { "view", setting("view", Json("month")) } });
}

}  // namespace wrenfold
