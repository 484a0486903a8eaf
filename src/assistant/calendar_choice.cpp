#include "assistant/calendar_choice.h"

#include "assistant/exe_discovery.h"
#include "core/unicode_text.h"

#include <functional>

namespace wrenfold::assistant {

namespace {

std::optional<CalendarChoice> first_writable(const std::vector<Account>& accounts,
                                             const std::function<bool(const Account& account)>& account_wanted,
                                             const std::function<bool(const Calendar& calendar)>& calendar_wanted)
{
    for (const Account& account : accounts) {
        if (!account_wanted(account))
            continue;
        for (const Calendar& calendar : account.calendars) {
            if (!calendar.read_only && calendar_wanted(calendar))
                return CalendarChoice { account, calendar };
        }
    }
    return std::nullopt;
}

auto any_account = [](const Account&) { return true; };

}  // namespace

std::optional<CalendarChoice> default_calendar(const std::vector<Account>& accounts,
                                               const std::string& default_calendar_url)
{
    if (!default_calendar_url.empty()) {
        auto stored =
            first_writable(accounts, any_account, [&](const Calendar& c) { return c.url == default_calendar_url; });
        if (stored)
            return stored;
    }
    return first_writable(accounts, any_account, [](const Calendar&) { return true; });
}

bool account_matches(const Account& account, const std::string& hint)
{
    auto wanted = fold_case(trim(hint));
    if (wanted.empty())
        return false;
    auto apple_id = fold_case(account.apple_id);
    return wanted == fold_case(account.id) || wanted == apple_id || wanted == apple_id.substr(0, apple_id.find('@'));
}

std::optional<CalendarChoice> resolve_calendar(const std::vector<Account>& accounts,
                                               const std::string& default_calendar_url, const std::string& name,
                                               const std::string& account_hint, const std::string& calendar_url)
{
    auto url = trim(calendar_url);
    if (!url.empty()) {
        if (auto exact = first_writable(accounts, any_account, [&](const Calendar& c) { return c.url == url; }))
            return exact;
    }
    auto wanted = fold_case(trim(name));
    auto named = [&](const Calendar& c) { return fold_case(trim(c.name)) == wanted; };
    if (!wanted.empty() && !trim(account_hint).empty()) {
        if (auto hinted = first_writable(
                accounts, [&](const Account& a) { return account_matches(a, account_hint); }, named))
            return hinted;
    }
    if (!wanted.empty()) {
        if (auto anywhere = first_writable(accounts, any_account, named))
            return anywhere;
    }
    return default_calendar(accounts, default_calendar_url);
}

}  // namespace wrenfold::assistant
