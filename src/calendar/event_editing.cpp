// Event editing: create, change, move and delete events through the owning
// account's engine; a successful change raises the refresh token.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "caldav/url.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"
#include "core/bridge_call.h"

#include <algorithm>
#include <exception>

namespace wrenfold {

namespace {

Json account_not_found()
{
    return failed_answer("account not found");
}

// Edits address only an event directly inside one of the account's own
// calendars, never a calendar, the home or anything reached through dots.
bool is_event_of(const Account& account, const std::string& event_url)
{
    return std::any_of(account.calendars.begin(), account.calendars.end(),
                       [&](const Calendar& calendar) { return caldav::is_inside_calendar(calendar.url, event_url); });
}

bool is_calendar_of(const Account& account, const std::string& calendar_url)
{
    return std::any_of(account.calendars.begin(), account.calendars.end(),
                       [&](const Calendar& calendar) { return calendar.url == calendar_url; });
}

std::string not_an_event(const std::string& url)
{
    return "refused: " + url + " is not the address of an event in a calendar of this account";
}

// The shape of every single-account edit: find the account, let its engine
// make the change, raise the refresh token only when it succeeded.
template <typename Change>
Json edit_through_engine(WrenfoldApp& app, const std::string& account_id, const std::optional<std::string>& event_url,
                         const Change& change, const std::string& written_url)
{
    return answer_or_failure([&] {
        auto account = app._account_by_id(account_id);
        if (!account)
            return account_not_found();
        if (event_url && !is_event_of(*account, *event_url))
            return failed_answer(not_an_event(*event_url));
        caldav::WriteResult result;
        try {
            result = change(*app._engine_for(*account));
        } catch (const caldav::NetworkError&) {
            return failed_answer(app._t("err.event.unreachable"));
        }
        app._sync_after_write(*account, { written_url });
        app._bump_refresh();
        return result.to_json();
    });
}

// A read of one event: the same checks as an edit, nothing raised.
template <typename Read>
Json read_through_engine(WrenfoldApp& app, const std::string& account_id, const std::string& event_url,
                         const Read& read)
{
    return answer_or_failure([&] {
        auto account = app._account_by_id(account_id);
        if (!account)
            return account_not_found();
        if (!is_event_of(*account, event_url))
            return failed_answer(not_an_event(event_url));
        return ok_answer(read(*app._engine_for(*account)));
    });
}

}  // namespace

Json WrenfoldApp::create_event(const std::string& account_id, const std::string& calendar_url, const Json& fields)
{
    return edit_through_engine(
        *this, account_id, std::nullopt,
        [&](caldav::CalendarEngine& engine) { return engine.create_event(calendar_url, fields); }, calendar_url);
}

Json WrenfoldApp::update_event(const std::string& account_id, const std::string& event_url, const std::string& etag,
                               const Json& fields)
{
    return edit_through_engine(
        *this, account_id, event_url,
        [&](caldav::CalendarEngine& engine) { return engine.update_event(event_url, etag, fields); }, event_url);
}

Json WrenfoldApp::delete_event(const std::string& account_id, const std::string& event_url,
                               const std::optional<std::string>& etag, const std::optional<std::string>& recurrence_id,
                               const std::optional<std::string>& scope)
{
    if (scope && !scope->empty() && *scope != "this" && *scope != "future" && *scope != "all")
        throw BridgeArgumentError("scope must be \"this\", \"future\" or \"all\"");
    return edit_through_engine(
        *this, account_id, event_url,
        [&](caldav::CalendarEngine& engine) {
            if (scope == "all")
                return engine.delete_event(event_url, etag);
            if (recurrence_id && !recurrence_id->empty() && scope == "future")
                return engine.delete_following(event_url, *recurrence_id, etag);
            if (recurrence_id && !recurrence_id->empty())
                return engine.delete_occurrence(event_url, *recurrence_id, etag);
            return engine.delete_event(event_url, etag);
        },
        event_url);
}

Json WrenfoldApp::move_event(const std::string& old_account_id, const std::string& old_event_url,
                             const std::string& etag, const std::string& new_account_id,
                             const std::string& new_calendar_url, const Json& fields)
{
    return answer_or_failure([&] {
        auto old_account = _account_by_id(old_account_id);
        auto new_account = _account_by_id(new_account_id);
        if (!old_account || !new_account)
            return account_not_found();
        caldav::WriteResult result;
        try {
            result = _move_event(*old_account, old_event_url, etag, *new_account, new_calendar_url, fields);
        } catch (const caldav::NetworkError&) {
            return failed_answer(_t("err.event.unreachable"));
        }
        _sync_after_write(*old_account, { old_event_url });
        _sync_after_write(*new_account, { new_calendar_url });
        _bump_refresh();
        return result.to_json();
    });
}

Json WrenfoldApp::get_event(const std::string& account_id, const std::string& event_url)
{
    return read_through_engine(*this, account_id, event_url, [&](caldav::CalendarEngine& engine) {
        return Json::object({ { "event", engine.get_event(event_url).to_json() } });
    });
}

Json WrenfoldApp::export_event(const std::string& account_id, const std::string& event_url)
{
    return read_through_engine(*this, account_id, event_url, [&](caldav::CalendarEngine& engine) {
        return Json::object({ { "ics", engine.export_event(event_url) } });
    });
}

Json WrenfoldApp::restore_event(const std::string& account_id, const std::string& event_url, const std::string& etag,
                                const std::string& ics)
{
    return edit_through_engine(
        *this, account_id, event_url,
        [&](caldav::CalendarEngine& engine) { return engine.restore_event(event_url, ics, etag); }, event_url);
}

caldav::WriteResult WrenfoldApp::_move_event(const Account& old_account, const std::string& old_event_url,
                                             const std::string& old_etag, const Account& new_account,
                                             const std::string& new_calendar_url, const Json& fields)
{
    if (!is_event_of(old_account, old_event_url))
        throw std::runtime_error(not_an_event(old_event_url));
    if (!is_calendar_of(new_account, new_calendar_url))
        throw std::runtime_error("refused: " + new_calendar_url + " is not a calendar of this account");
    auto new_engine = _engine_for(new_account);
    if (old_account.id == new_account.id)
        return new_engine->move_event(old_event_url, new_calendar_url, fields, old_etag);

    // The stored object goes over whole (alarms, attendees, overrides, its
    // UID); only the fields given change on the way.
    auto old_engine = _engine_for(old_account);
    caldav::WriteResult created =
        new_engine->import_event(new_calendar_url, old_engine->export_event(old_event_url), fields);
    try {
        old_engine->delete_event(old_event_url, old_etag);
    } catch (...) {
        // Take the new copy away again so that the event stays in one place,
        // but only while the old one can still be read: a delete whose answer
        // was lost may have gone through. The caller hears of the failed
        // delete, not of this cleanup.
        std::exception_ptr delete_failure = std::current_exception();
        try {
            old_engine->export_event(old_event_url);
            new_engine->delete_event(created.url.value_or(""), created.etag);
        } catch (...) {
        }
        std::rethrow_exception(delete_failure);
    }
    return created;
}

}  // namespace wrenfold
