#include "assistant/calendar_choice.h"

#include "assistant/exe_discovery.h"
#include "core/unicode_text.h"

#include <functional>

namespace wrenfold::assistant {

namespace {

bool is_writable(const Json& calendar)
{
    return !(calendar.contains("read_only") && truthy(calendar["read_only"]));
}

std::string text_of(const Json& record, const char* key)
{
    return record.is_object() && record.contains(key) ? text_form(record[key]) : "";
}

std::optional<CalendarChoice> first_writable(const Json& accounts,
                                             const std::function<bool(const Json& account)>& account_wanted,
                                             const std::function<bool(const Json& calendar)>& calendar_wanted)
{
    for (const auto& account : accounts) {
        if (!account_wanted(account) || !account.contains("calendars"))
            continue;
        for (const auto& calendar : account["calendars"]) {
            if (is_writable(calendar) && calendar_wanted(calendar))
                return CalendarChoice { account, calendar };
        }
    }
    return std::nullopt;
}

auto any_account = [](const Json&) { return true; };

}  // namespace

std::optional<CalendarChoice> default_calendar(const Json& accounts, const std::string& default_calendar_url)
{
    if (!default_calendar_url.empty()) {
        auto stored = first_writable(accounts, any_account,
                                     [&](const Json& c) { return text_of(c, "url") == default_calendar_url; });
        if (stored)
            return stored;
    }
    return first_writable(accounts, any_account, [](const Json&) { return true; });
}

bool account_matches(const Json& account, const std::string& hint)
{
    auto wanted = fold_case(trim(hint));
    if (wanted.empty())
        return false;
    auto apple_id = fold_case(text_of(account, "apple_id"));
    return wanted == fold_case(text_of(account, "id")) || wanted == apple_id ||
        wanted == apple_id.substr(0, apple_id.find('@'));
}

std::optional<CalendarChoice> resolve_calendar(const Json& accounts, const std::string& default_calendar_url,
                                               const std::string& name, const std::string& account_hint,
                                               const std::string& calendar_url)
{
    auto url = trim(calendar_url);
    if (!url.empty()) {
        if (auto exact = first_writable(accounts, any_account, [&](const Json& c) { return text_of(c, "url") == url; }))
            return exact;
    }
    auto wanted = fold_case(trim(name));
    auto named = [&](const Json& c) { return fold_case(trim(text_of(c, "name"))) == wanted; };
    if (!wanted.empty() && !trim(account_hint).empty()) {
        if (auto hinted = first_writable(
                accounts, [&](const Json& a) { return account_matches(a, account_hint); }, named))
            return hinted;
    }
    if (!wanted.empty()) {
        if (auto anywhere = first_writable(accounts, any_account, named))
            return anywhere;
    }
    return default_calendar(accounts, default_calendar_url);
}

}  // namespace wrenfold::assistant
