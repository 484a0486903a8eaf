// The calendars of each account, their visibility, the default calendar, the
// view, and the change tokens the page polls.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"

#include <array>

namespace wrenfold {

namespace {

constexpr std::array<std::string_view, 4> views { "month", "week", "day", "agenda" };

// Puts the merge of a fresh discovery into the account as it stands now, so
// that a visibility change made during the discovery is kept. Answers the new
// list, or nothing when the account has gone meanwhile.
std::optional<std::vector<Calendar>> merge_into(std::vector<Account>& accounts, const std::string& account_id,
                                                const std::vector<Calendar>& discovered)
{
    for (Account& account : accounts) {
        if (!has_account_id(account, account_id))
            continue;
        std::vector<Calendar> merged = merge_calendars(account.calendars, discovered);
        account = with_calendars(std::move(account), merged);
        return merged;
    }
    return std::nullopt;
}

std::vector<Calendar> discovered_calendars(caldav::CalendarEngine& engine)
{
    return calendars_from_discovery(engine.discover());
}

}  // namespace

void WrenfoldApp::_bump_refresh()
{
    ++_refresh_token;
    _reminders_changed();
}

void WrenfoldApp::_bump_calendars()
{
    ++_calendars_token;
    ++_refresh_token;
    _reminders_changed();
}

void WrenfoldApp::_set_sync_status(const std::string& calendar_url, std::string_view status)
{
    _sync_status.with_locked([&](Json& statuses) { statuses[calendar_url] = status; });
}

Json WrenfoldApp::get_runtime_state()
{
    std::int64_t seq = ++_state_seq;
    Json sync_status = _sync_status.snapshot();
    return Json::object({ { "seq", seq },
                          { "refresh_token", _refresh_token.load() },
                          { "calendars_token", _calendars_token.load() },
                          { "opened_file_token", _opened_file_token.load() },
                          { "sync_status", std::move(sync_status) },
                          { "calendar_states", _calendar_states() } });
}

Json WrenfoldApp::refresh_calendars(const std::string& account_id)
{
    return answer_or_failure([&] {
        auto account = _account_by_id(account_id);
        if (!account)
            return failed_answer("account not found");
        std::vector<Calendar> discovered = discovered_calendars(*_engine_for(*account));
        std::optional<std::vector<Calendar>> merged;
        _change_accounts([&](std::vector<Account>& list) { merged = merge_into(list, account_id, discovered); });
        _save_accounts();
        _bump_calendars();
        return ok_answer({ { "calendars", calendar_records(merged.value_or(merge_calendars({}, discovered))) } });
    });
}

Json WrenfoldApp::refresh_all_calendars()
{
    Json errors = Json::array();
    for (const Account& account : accounts_snapshot()) {
        try {
            std::vector<Calendar> discovered = discovered_calendars(*_engine_for(account));
            _change_accounts([&](std::vector<Account>& list) { merge_into(list, account.id, discovered); });
        } catch (const std::exception& error) {
            errors.push_back(Json::object({ { "account", account.apple_id }, { "error", error.what() } }));
        }
    }
    _save_accounts();
    _bump_calendars();
    return ok_answer({ { "accounts", list_accounts()["accounts"] },
                       { "default_calendar", setting("default_calendar", Json("")) },
                       { "errors", std::move(errors) } });
}

Json WrenfoldApp::set_calendar_visible(const std::string& account_id, const std::string& calendar_url,
                                       const Json& visible)
{
    bool found = false;
    _change_accounts([&](std::vector<Account>& list) {
        for (Account& account : list) {
            if (!has_account_id(account, account_id))
                continue;
            found = true;
            account = with_calendar_visible(account, calendar_url, truthy(visible));
            break;
        }
    });
    if (found)
        _save_accounts();
    return ok_answer();
}

Json WrenfoldApp::set_default_calendar(const std::string& calendar_url)
{
    put_setting("default_calendar", calendar_url);
    _save_settings();
    return ok_answer();
}

Json WrenfoldApp::set_view(const Json& view)
{
    if (view.is_string() && std::find(views.begin(), views.end(), view.get_ref<const std::string&>()) != views.end()) {
        put_setting("view", view);
        _save_settings();
    }
    return ok_answer({ { "view", setting("view", Json("month")) } });
}

}  // namespace wrenfold
