// Event editing: create, change, move and delete events through the owning
// account's engine; a successful change raises the refresh token.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"

#include <exception>

namespace wrenfold {

namespace {

Json failure(std::string text)
{
    return Json::object({ { "ok", false }, { "error", std::move(text) } });
}

Json account_not_found()
{
    return failure("account not found");
}

std::optional<std::string> optional_text(const Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return std::nullopt;
}

// The shape of every single-account edit: find the account, let its engine
// make the change, raise the refresh token only when it succeeded.
template<typename Change>
Json edit_through_engine(WrenfoldApp& app, const std::string& account_id, const Change& change)
{
    auto account = app._account_by_id(account_id);
    if (!account)
        return account_not_found();
    Json result;
    try {
        result = change(*app._engine_for(*account));
    } catch (const std::exception& error) {
        return failure(error.what());
    }
    app._bump_refresh();
    return result;
}

}  // namespace

Json WrenfoldApp::create_event(const std::string& account_id, const std::string& calendar_url, const Json& fields)
{
    return edit_through_engine(*this, account_id, [&](caldav::CalendarEngine& engine) {
        return engine.create_event(calendar_url, fields);
    });
}

Json WrenfoldApp::update_event(const std::string& account_id, const std::string& event_url, const std::string& etag,
                               const Json& fields)
{
    return edit_through_engine(*this, account_id, [&](caldav::CalendarEngine& engine) {
        return engine.update_event(event_url, etag, fields);
    });
}

Json WrenfoldApp::delete_event(const std::string& account_id, const std::string& event_url,
                               const std::optional<std::string>& etag)
{
    return edit_through_engine(*this, account_id, [&](caldav::CalendarEngine& engine) {
        return engine.delete_event(event_url, etag);
    });
}

Json WrenfoldApp::move_event(const std::string& old_account_id, const std::string& old_event_url,
                             const std::string& etag, const std::string& new_account_id,
                             const std::string& new_calendar_url, const Json& fields)
{
    auto old_account = _account_by_id(old_account_id);
    auto new_account = _account_by_id(new_account_id);
    if (!old_account || !new_account)
        return account_not_found();
    Json result;
    try {
        result = _move_event(*old_account, old_event_url, etag, *new_account, new_calendar_url, fields);
    } catch (const std::exception& error) {
        return failure(error.what());
    }
    _bump_refresh();
    return result;
}

Json WrenfoldApp::_move_event(const Json& old_account, const std::string& old_event_url, const std::string& old_etag,
                              const Json& new_account, const std::string& new_calendar_url, const Json& fields)
{
    auto new_engine = _engine_for(new_account);
    if (old_account.value("id", Json()) == new_account.value("id", Json()))
        return new_engine->move_event(old_event_url, new_calendar_url, fields, old_etag);

    auto old_engine = _engine_for(old_account);
    Json created = new_engine->create_event(new_calendar_url, fields);
    try {
        old_engine->delete_event(old_event_url, old_etag);
    } catch (...) {
        // Take the new copy away again so that the event stays in one place;
        // the caller hears of the failed delete, not of this cleanup.
        std::exception_ptr delete_failure = std::current_exception();
        try {
            new_engine->delete_event(text_form(created.value("url", Json(""))),
                                     optional_text(created.value("etag", Json())));
        } catch (...) {
        }
        std::rethrow_exception(delete_failure);
    }
    return created;
}

}  // namespace wrenfold
