// A new app-specific password for an account whose old one the server now
// refuses, so that the account need not be removed and added again.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"
#include "core/unicode_text.h"

namespace wrenfold {

Json WrenfoldApp::replace_account_password(const std::string& account_id, const Json& app_password)
{
    return answer_or_failure([&] {
        std::string password = trim_unicode(app_password.is_string() ? app_password.get<std::string>() : "");
        if (password.empty())
            return failed_answer(_t("err.account.need_fields"));
        auto account = _account_by_id(account_id);
        if (!account)
            return failed_answer("account not found");
        Json failure;
        auto engine = _signed_in_engine(account->apple_id, password, home_tzid_of(*account), failure);
        if (!engine)
            return failure;
        bool replaced = false;
        _change_accounts([&](std::vector<Account>& list) {
            for (Account& stored : list) {
                if (!has_account_id(stored, account_id))
                    continue;
                stored.app_password = password;
                stored.record["app_password"] = password;
                replaced = true;
            }
        });
        if (!replaced)
            return failed_answer("account not found");
        _engines_lock.with_locked([&](EngineMap& engines) { engines[account_id] = engine; });
        _save_accounts();
        std::vector<std::string> urls;
        for (const Calendar& calendar : account->calendars)
            urls.push_back(calendar.url);
        _sync_later(urls);
        _bump_refresh();
        return ok_answer();
    });
}

}  // namespace wrenfold
