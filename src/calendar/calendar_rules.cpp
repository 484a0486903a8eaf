#include "calendar/calendar_rules.h"

#include "core/dates.h"
#include "core/unicode_text.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace wrenfold {

namespace {

std::string text_of(const Json& record, const char* key)
{
    auto found = record.find(key);
    return found != record.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool is_visible(const Json& calendar)
{
    auto found = calendar.find("visible");
    return found == calendar.end() || truthy(*found);
}

bool owns_url(const Json& calendar, std::string_view event_url)
{
    if (!calendar.is_object())
        return false;
    auto url = calendar.find("url");
    return url != calendar.end() && url->is_string() && event_url.starts_with(url->get_ref<const std::string&>());
}

}  // namespace

std::string account_id_of(const Json& account)
{
    if (!account.is_object())
        return "";
    auto found = account.find("id");
    return found == account.end() || found->is_null() ? std::string() : text_form(*found);
}

bool has_account_id(const Json& account, std::string_view account_id)
{
    return !account_id.empty() && account_id_of(account) == account_id;
}

std::optional<Json> find_account_by_id(const Json& accounts, std::string_view account_id)
{
    for (const Json& account : accounts) {
        if (has_account_id(account, account_id))
            return account;
    }
    return std::nullopt;
}

const Json& calendars_of(const Json& account)
{
    static const Json none = Json::array();
    if (!account.is_object())
        return none;
    auto found = account.find("calendars");
    return found != account.end() && found->is_array() ? *found : none;
}

std::optional<Json> find_calendar_for_url(const Json& account, std::string_view event_url)
{
    for (const Json& calendar : calendars_of(account)) {
        if (owns_url(calendar, event_url))
            return calendar;
    }
    return std::nullopt;
}

std::optional<Json> find_account_for_url(const Json& accounts, std::string_view event_url)
{
    for (const Json& account : accounts) {
        if (find_calendar_for_url(account, event_url))
            return account;
    }
    if (accounts.size() == 1)
        return accounts.front();
    return std::nullopt;
}

bool apple_id_taken(const Json& accounts, std::string_view apple_id)
{
    std::string wanted = fold_case(apple_id);
    return std::any_of(accounts.begin(), accounts.end(),
                       [&](const Json& account) { return fold_case(text_of(account, "apple_id")) == wanted; });
}

Json merge_calendars(const Json& stored, const Json& discovered)
{
    std::map<std::string, bool> visibility;
    if (stored.is_array()) {
        for (const Json& calendar : stored) {
            if (calendar.is_object() && calendar.contains("url"))
                visibility[text_form(calendar["url"])] = is_visible(calendar);
        }
    }
    Json merged = Json::array();
    for (const Json& found : discovered) {
        if (!found.is_object())
            continue;
        Json calendar = found;
        auto known = visibility.find(text_form(calendar.value("url", Json(""))));
        calendar["visible"] = known == visibility.end() || known->second;
        merged.push_back(std::move(calendar));
    }
    return merged;
}

std::optional<std::string> first_writable_calendar_url(const Json& calendars)
{
    for (const Json& calendar : calendars) {
        if (calendar.is_object() && !truthy(calendar.value("read_only", Json(false))) && calendar.contains("url"))
            return text_form(calendar["url"]);
    }
    return std::nullopt;
}

std::string home_tzid_of(const Json& account)
{
    std::string zone = text_of(account, "home_tzid");
    return zone.empty() ? std::string(kDefaultHomeTzid) : zone;
}

std::chrono::year_month_day parse_query_date(const Json& text)
{
    if (!text.is_string())
        throw std::invalid_argument("a date must be a string of the form YYYY-MM-DD, not " + text_form(text));
    std::string_view head = std::string_view(text.get_ref<const std::string&>()).substr(0, 10);
    auto date = parse_iso_date(head);
    if (!date)
        throw std::invalid_argument("invalid date '" + std::string(head) + "': expected YYYY-MM-DD");
    return *date;
}

std::vector<FetchTask> event_fetch_tasks(const Json& accounts, bool include_hidden)
{
    std::vector<FetchTask> tasks;
    for (const Json& account : accounts) {
        for (const Json& calendar : calendars_of(account)) {
            if (calendar.is_object() && (include_hidden || is_visible(calendar)))
                tasks.push_back({ account, calendar });
        }
    }
    return tasks;
}

void tag_event(Json& event, const Json& account, const Json& calendar)
{
    Json color = calendar.value("color", Json());
    Json read_only = calendar.value("read_only", Json());
    event["account_id"] = account_id_of(account);
    event["calendar_url"] = calendar.value("url", Json(""));
    event["calendar_name"] = calendar.value("name", Json(""));
    event["color"] = color.is_null() ? Json(kDefaultCalendarColor) : color;
    event["read_only"] = read_only.is_null() ? Json(false) : read_only;
}

}  // namespace wrenfold
