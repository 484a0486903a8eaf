// The account registry: the accounts the user added, their engines, and what
// the page may see of them.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/random.h"
#include "core/unicode_text.h"

namespace wrenfold {

namespace {

std::string trimmed(const Json& value)
{
    return value.is_string() ? trim_unicode(value.get_ref<const std::string&>()) : std::string();
}

Json failure(std::string text)
{
    return Json::object({ { "ok", false }, { "error", std::move(text) } });
}

}  // namespace

EngineFactory icloud_engine_factory()
{
    return [](const std::string& apple_id, const std::string& app_password,
              const std::optional<std::string>& home_tzid) -> std::shared_ptr<caldav::CalendarEngine> {
        if (home_tzid)
            return caldav::make_icloud_engine(apple_id, app_password, *home_tzid);
        return caldav::make_icloud_engine(apple_id, app_password);
    };
}

void WrenfoldApp::_change_accounts(const std::function<void(Json& accounts)>& change)
{
    std::lock_guard lock(m_accounts_mutex);
    change(accounts);
}

Json WrenfoldApp::list_accounts()
{
    Json listed = Json::array();
    for (const Json& account : accounts_snapshot()) {
        listed.push_back(Json::object({
            { "id", account_id_of(account) },
            { "apple_id", account.value("apple_id", Json()) },
            { "home_tzid", account.value("home_tzid", Json("Asia/Taipei")) },
            { "calendars", calendars_of(account) },
        }));
    }
    return Json::object(
        { { "accounts", std::move(listed) }, { "default_calendar", setting("default_calendar", Json("")) } });
}

std::optional<Json> WrenfoldApp::_account_by_id(const std::string& account_id) const
{
    return find_account_by_id(accounts_snapshot(), account_id);
}

std::optional<Json> WrenfoldApp::_account_for_url(const std::string& event_url) const
{
    return find_account_for_url(accounts_snapshot(), event_url);
}

std::optional<Json> WrenfoldApp::_calendar_for_url(const Json& account, const std::string& event_url)
{
    return find_calendar_for_url(account, event_url);
}

std::shared_ptr<caldav::CalendarEngine> WrenfoldApp::_engine_for(const Json& account)
{
    std::string id = account_id_of(account);
    std::lock_guard lock(_engines_lock);
    auto found = _engines.find(id);
    if (found != _engines.end())
        return found->second;
    auto engine = m_make_engine(text_form(account.value("apple_id", Json(""))),
                                text_form(account.value("app_password", Json(""))), home_tzid_of(account));
    if (!engine)
        throw std::runtime_error("no CalDAV engine could be made for this account");
    _engines.emplace(id, engine);
    return engine;
}

Json WrenfoldApp::add_account(const Json& apple_id_value, const Json& app_password_value)
{
    std::string apple_id = trimmed(apple_id_value);
    std::string app_password = trimmed(app_password_value);
    if (apple_id.empty() || app_password.empty())
        return failure(_t("err.account.need_fields"));
    if (apple_id_taken(accounts_snapshot(), apple_id))
        return failure(_t("err.account.dup", { { "id", apple_id } }));

    Json discovered;
    std::shared_ptr<caldav::CalendarEngine> engine;
    try {
        engine = m_make_engine(apple_id, app_password, std::nullopt);
        if (!engine)
            throw std::runtime_error("no CalDAV engine could be made for this account");
        caldav::AuthResult auth = engine->check_auth();
        if (!auth.accepted)
            return failure(_t("err.account.auth", { { "status", auth.status } }));
    } catch (const std::exception& error) {
        return failure(_t("err.account.network", { { "err", error.what() } }));
    }
    try {
        discovered = engine->discover();
    } catch (const std::exception& error) {
        return failure(_t("err.account.discover", { { "err", error.what() } }));
    }

    std::string id = new_uuid_hex();
    Json calendars = merge_calendars(Json::array(), discovered.is_array() ? discovered : Json::array());
    Json record = Json::object({ { "id", id },
                                 { "apple_id", apple_id },
                                 { "app_password", app_password },
                                 { "home_tzid", kDefaultHomeTzid },
                                 { "calendars", calendars } });
    // Another call may have added the same Apple ID while this one was on the
    // network; the check and the append are one step under the lock.
    bool added = false;
    _change_accounts([&](Json& list) {
        if (apple_id_taken(list, apple_id))
            return;
        list.push_back(record);
        added = true;
    });
    if (!added)
        return failure(_t("err.account.dup", { { "id", apple_id } }));
    {
        std::lock_guard lock(_engines_lock);
        _engines[id] = engine;
    }
    _save_accounts();

    if (!truthy(setting("default_calendar", Json("")))) {
        if (auto url = first_writable_calendar_url(calendars)) {
            put_setting("default_calendar", *url);
            _save_settings();
        }
    }
    _bump_calendars();
    return Json::object(
        { { "ok", true },
          { "account", Json::object({ { "id", id }, { "apple_id", apple_id }, { "calendars", calendars } }) },
          { "default_calendar", setting("default_calendar", Json("")) } });
}

Json WrenfoldApp::remove_account(const std::string& account_id)
{
    _change_accounts([&](Json& list) {
        Json kept = Json::array();
        for (Json& account : list) {
            if (!has_account_id(account, account_id))
                kept.push_back(std::move(account));
        }
        list = std::move(kept);
    });
    {
        std::lock_guard lock(_engines_lock);
        _engines.erase(account_id);
    }
    _save_accounts();
    _bump_calendars();
    return Json::object({ { "ok", true }, { "accounts", list_accounts()["accounts"] } });
}

}  // namespace wrenfold
