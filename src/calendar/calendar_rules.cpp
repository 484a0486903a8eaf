#include "calendar/calendar_rules.h"

#include "core/dates.h"
#include "core/unicode_text.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace wrenfold {

namespace {

bool owns_url(const Calendar& calendar, std::string_view event_url)
{
    return !calendar.url.empty() && event_url.starts_with(calendar.url);
}

}  // namespace

bool has_account_id(const Account& account, std::string_view account_id)
{
    return !account_id.empty() && account.id == account_id;
}

std::optional<Account> find_account_by_id(const std::vector<Account>& accounts, std::string_view account_id)
{
    for (const Account& account : accounts) {
        if (has_account_id(account, account_id))
            return account;
    }
    return std::nullopt;
}

std::optional<Calendar> find_calendar_for_url(const Account& account, std::string_view event_url)
{
    for (const Calendar& calendar : account.calendars) {
        if (owns_url(calendar, event_url))
            return calendar;
    }
    return std::nullopt;
}

std::optional<Account> find_account_for_url(const std::vector<Account>& accounts, std::string_view event_url)
{
    for (const Account& account : accounts) {
        if (find_calendar_for_url(account, event_url))
            return account;
    }
    if (accounts.size() == 1)
        return accounts.front();
    return std::nullopt;
}

bool apple_id_taken(const std::vector<Account>& accounts, std::string_view apple_id)
{
    std::string wanted = fold_case(apple_id);
    return std::any_of(accounts.begin(), accounts.end(),
                       [&](const Account& account) { return fold_case(account.apple_id) == wanted; });
}

std::vector<Calendar> merge_calendars(const std::vector<Calendar>& stored, const std::vector<Calendar>& discovered)
{
    std::map<std::string, bool> visibility;
    for (const Calendar& calendar : stored)
        visibility[calendar.url] = calendar.visible;
    std::vector<Calendar> merged;
    merged.reserve(discovered.size());
    for (const Calendar& found : discovered) {
        auto known = visibility.find(found.url);
        merged.push_back(with_visible(found, known == visibility.end() || known->second));
    }
    return merged;
}

std::optional<std::string> first_writable_calendar_url(const std::vector<Calendar>& calendars)
{
    for (const Calendar& calendar : calendars) {
        if (!calendar.read_only && !calendar.url.empty())
            return calendar.url;
    }
    return std::nullopt;
}

std::string home_tzid_of(const Account& account)
{
    return account.home_tzid.empty() ? std::string(kDefaultHomeTzid) : account.home_tzid;
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

std::vector<FetchTask> event_fetch_tasks(const std::vector<Account>& accounts, bool include_hidden)
{
    std::vector<FetchTask> tasks;
    for (const Account& account : accounts) {
        for (const Calendar& calendar : account.calendars) {
            if (include_hidden || calendar.visible)
                tasks.push_back({ account, calendar });
        }
    }
    return tasks;
}

namespace {

Json calendar_tags(const Account& account, const Calendar& calendar)
{
    return Json::object({ { "account_id", account.id },
                          { "calendar_url", calendar.url },
                          { "calendar_name", calendar.name },
                          { "color", calendar.color },
                          { "read_only", calendar.read_only } });
}

}  // namespace

Json tagged_event(const caldav::EventRecord& record, const Account& account, const Calendar& calendar)
{
    Json event = record.to_json();
    Json tags = calendar_tags(account, calendar);
    for (auto& [key, value] : tags.items())
        event[key] = std::move(value);
    return event;
}

std::string calendar_tags_text(const Account& account, const Calendar& calendar, bool stale)
{
    Json tags = calendar_tags(account, calendar);
    if (stale)
        tags["stale"] = true;
    std::string text = dump_compact(tags);
    // {"account_id":...} becomes ,"account_id":...
    text.front() = ',';
    text.pop_back();
    return text;
}

void move_events_to_texts(CalendarListing& listing, std::size_t first)
{
    for (std::size_t i = first; i < listing.events.size(); ++i)
        listing.event_texts.push_back(dump_compact(listing.events[i].to_json()));
    listing.events.resize(first);
}

void append_tagged_event(std::string& out, std::string_view event_text, std::string_view tags_text)
{
    std::size_t close = event_text.find_last_of('}');
    out.append(event_text.substr(0, close));
    out.append(tags_text);
    out.push_back('}');
}

void cap_occurrences(std::vector<CalendarListing>& listings, std::size_t limit, const std::string& error)
{
    std::size_t total = 0;
    for (CalendarListing& listing : listings) {
        if (listing.error)
            continue;
        std::size_t count = listing.events.size() + listing.event_texts.size();
        if (total + count > limit) {
            listing.events.clear();
            listing.event_texts.clear();
            listing.error = error;
            continue;
        }
        total += count;
    }
}

}  // namespace wrenfold
