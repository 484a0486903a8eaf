// Calendars made, renamed, recoloured and deleted on the account's server,
// from the sidebar's calendar menu. Read-only calendars are refused before
// any request; after a change the account's calendars are discovered again.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"

#include <algorithm>

namespace wrenfold {

namespace {

std::optional<std::string> text_of(const Json& object, const char* key)
{
    auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    if (!found->is_string())
        throw std::runtime_error(std::string("\"") + key + "\" must be a string");
    return found->get<std::string>();
}

// The writable calendar of the account at this address, or the reason why not.
std::optional<std::string> refusal(const Account& account, const std::string& calendar_url)
{
    auto found = std::find_if(account.calendars.begin(), account.calendars.end(),
                              [&](const Calendar& calendar) { return calendar.url == calendar_url; });
    if (found == account.calendars.end())
        return "refused: " + calendar_url + " is not a calendar of this account";
    if (found->read_only)
        return std::string("refused: the calendar is read-only");
    return std::nullopt;
}

// The shape of a change to one calendar: the account, the calendar writable
// in it, then the change through the account's engine.
template <typename Change>
Json change_writable_calendar(WrenfoldApp& app, const std::string& account_id, const std::string& calendar_url,
                              const Change& change)
{
    return answer_or_failure([&] {
        auto account = app._account_by_id(account_id);
        if (!account)
            return failed_answer("account not found");
        if (auto reason = refusal(*account, calendar_url))
            return failed_answer(*reason);
        return change(*app._engine_for(*account));
    });
}

}  // namespace

Json WrenfoldApp::create_calendar(const std::string& account_id, const Json& name, const Json& color)
{
    return answer_or_failure([&] {
        auto account = _account_by_id(account_id);
        if (!account)
            return failed_answer("account not found");
        if (!name.is_string() || !color.is_string())
            return failed_answer("a calendar's name and colour must be text");
        caldav::DiscoveredCalendar made = _engine_for(*account)->create_calendar(name, color);
        Json refreshed = refresh_calendars(account_id);
        return ok_answer(
            { { "calendar", made.to_json() }, { "calendars", refreshed.value("calendars", Json::array()) } });
    });
}

Json WrenfoldApp::update_calendar(const std::string& account_id, const std::string& calendar_url, const Json& changes)
{
    return change_writable_calendar(*this, account_id, calendar_url, [&](caldav::CalendarEngine& engine) {
        if (!changes.is_object())
            return failed_answer("the changes must be an object");
        engine.update_calendar(calendar_url, text_of(changes, "name"), text_of(changes, "color"));
        return refresh_calendars(account_id);
    });
}

Json WrenfoldApp::delete_calendar(const std::string& account_id, const std::string& calendar_url, const Json& confirmed)
{
    return change_writable_calendar(*this, account_id, calendar_url, [&](caldav::CalendarEngine& engine) {
        if (!truthy(confirmed)) {
            std::size_t held = engine.count_objects(calendar_url);
            if (held > 0)
                return failed_answer("the calendar is not empty", { { "not_empty", true }, { "count", held } });
        }
        engine.delete_calendar(calendar_url);
        return refresh_calendars(account_id);
    });
}

}  // namespace wrenfold
