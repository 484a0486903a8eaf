// The account registry: the accounts the user added, their engines, and what
// the page may see of them.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"
#include "core/random.h"
#include "core/unicode_text.h"

namespace wrenfold {

namespace {

std::string trimmed(const Json& value)
{
    return value.is_string() ? trim_unicode(value.get_ref<const std::string&>()) : std::string();
}

}  // namespace

EngineFactory icloud_engine_factory(std::shared_ptr<const caldav::TransferAbort> abort)
{
    return [abort](const std::string& apple_id, const std::string& app_password,
                   const std::optional<std::string>& home_tzid) -> std::shared_ptr<caldav::CalendarEngine> {
        if (home_tzid)
            return caldav::make_icloud_engine(apple_id, app_password, *home_tzid, abort);
        return caldav::make_icloud_engine(apple_id, app_password, "Asia/Taipei", abort);
    };
}

void WrenfoldApp::_change_accounts(const std::function<void(std::vector<Account>& accounts)>& change)
{
    accounts.with_locked(change);
}

Json WrenfoldApp::list_accounts()
{
    Json listed = Json::array();
    for (const Account& account : accounts_snapshot()) {
        listed.push_back(Json::object({
            { "id", account.id },
            { "apple_id", account.apple_id },
            { "home_tzid", account.home_tzid },
            { "calendars", calendar_records(account.calendars) },
        }));
    }
    return Json::object(
        { { "accounts", std::move(listed) }, { "default_calendar", setting("default_calendar", Json("")) } });
}

std::optional<Account> WrenfoldApp::_account_by_id(const std::string& account_id) const
{
    return find_account_by_id(accounts_snapshot(), account_id);
}

std::optional<Account> WrenfoldApp::_account_for_url(const std::string& event_url) const
{
    return find_account_for_url(accounts_snapshot(), event_url);
}

std::optional<Calendar> WrenfoldApp::_calendar_for_url(const Account& account, const std::string& event_url)
{
    return find_calendar_for_url(account, event_url);
}

std::shared_ptr<caldav::CalendarEngine> WrenfoldApp::_engine_for(const Account& account)
{
    return _engines_lock.with_locked([&](EngineMap& engines) {
        auto found = engines.find(account.id);
        if (found != engines.end())
            return found->second;
        auto engine = m_make_engine(account.apple_id, account.app_password, home_tzid_of(account));
        if (!engine)
            throw std::runtime_error("no CalDAV engine could be made for this account");
        engines.emplace(account.id, engine);
        return engine;
    });
}

std::shared_ptr<caldav::CalendarEngine> WrenfoldApp::_signed_in_engine(const std::string& apple_id,
                                                                       const std::string& password,
                                                                       const std::string& tzid, Json& failure)
{
    try {
        auto engine = m_make_engine(apple_id, password, tzid);
        if (!engine)
            throw std::runtime_error("no CalDAV engine could be made for this account");
        caldav::AuthResult auth = engine->check_auth();
        if (auth.accepted)
            return engine;
        failure = failed_answer(_t("err.account.auth", { { "status", auth.status } }));
    } catch (const std::exception& error) {
        failure = failed_answer(_t("err.account.network", { { "err", error.what() } }));
    }
    return nullptr;
}

Json WrenfoldApp::add_account(const Json& apple_id_value, const Json& app_password_value, const Json& request_id_value)
{
    std::string request_id = request_id_value.is_string() ? request_id_value.get<std::string>() : std::string();
    std::string apple_id = trimmed(apple_id_value);
    std::string app_password = trimmed(app_password_value);
    if (apple_id.empty() || app_password.empty())
        return failed_answer(_t("err.account.need_fields"));
    if (apple_id_taken(accounts_snapshot(), apple_id))
        return failed_answer(_t("err.account.dup", { { "id", apple_id } }));

    std::vector<Calendar> discovered;
    Json failure;
    auto engine = _signed_in_engine(apple_id, app_password, time_zone(), failure);
    if (!engine)
        return failure;
    try {
        discovered = calendars_from_discovery(engine->discover());
    } catch (const std::exception& error) {
        return failed_answer(_t("err.account.discover", { { "err", error.what() } }));
    }

    std::string id = new_uuid_hex();
    std::vector<Calendar> calendars = merge_calendars({}, discovered);
    Account record = parse_account(Json::object({ { "id", id },
                                                  { "apple_id", apple_id },
                                                  { "app_password", app_password },
                                                  { "home_tzid", time_zone() },
                                                  { "calendars", calendar_records(calendars) } }));
    // Another call may have added the same Apple ID while this one was on the
    // network; the check and the append are one step under the lock.
    // A sign-in called off while it was on the network adds nothing; the
    // check shares the lock of the append so a cancel cannot slip between.
    bool added = false;
    bool cancelled = false;
    _change_accounts([&](std::vector<Account>& list) {
        cancelled = !request_id.empty() &&
            m_cancelled_sign_ins.with_locked([&](std::set<std::string>& ids) { return ids.erase(request_id) > 0; });
        if (cancelled || apple_id_taken(list, apple_id))
            return;
        list.push_back(record);
        added = true;
    });
    if (cancelled)
        return failed_answer("the sign-in was cancelled", { { "cancelled", true } });
    if (!added)
        return failed_answer(_t("err.account.dup", { { "id", apple_id } }));
    _engines_lock.with_locked([&](EngineMap& engines) { engines[id] = engine; });
    _save_accounts();

    if (!truthy(setting("default_calendar", Json("")))) {
        if (auto url = first_writable_calendar_url(calendars)) {
            put_setting("default_calendar", *url);
            _save_settings();
        }
    }
    _bump_calendars();
    return ok_answer(
        { { "account",
            Json::object({ { "id", id }, { "apple_id", apple_id }, { "calendars", calendar_records(calendars) } }) },
          { "default_calendar", setting("default_calendar", Json("")) } });
}

Json WrenfoldApp::cancel_add_account(const Json& request_id)
{
    if (request_id.is_string() && !request_id.get_ref<const std::string&>().empty())
        m_cancelled_sign_ins.with_locked(
            [&](std::set<std::string>& ids) { ids.insert(request_id.get<std::string>()); });
    return ok_answer();
}

Json WrenfoldApp::remove_account(const std::string& account_id)
{
    _change_accounts([&](std::vector<Account>& list) {
        std::erase_if(list, [&](const Account& account) { return has_account_id(account, account_id); });
    });
    _engines_lock.with_locked([&](EngineMap& engines) { engines.erase(account_id); });
    _forget_stored_account(account_id);
    _save_accounts();
    _bump_calendars();
    return ok_answer({ { "accounts", list_accounts()["accounts"] } });
}

}  // namespace wrenfold
