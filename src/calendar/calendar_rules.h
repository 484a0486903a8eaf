#pragma once

#include "caldav/results.h"
#include "calendar/records.h"
#include "core/json.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

// The rules of accounts, calendars and events that need no server: lookups in
// the account list, the merge of a fresh discovery into the stored calendars,
// the fetch plan of an event query and the tags put on its events.

// Whether the account's id is `account_id` (never an empty one).
bool has_account_id(const Account& account, std::string_view account_id);

// The first account whose id is `account_id` exactly.
std::optional<Account> find_account_by_id(const std::vector<Account>& accounts, std::string_view account_id);

// The first calendar of `account`, in stored order, whose URL is a prefix of
// `event_url`; a calendar without a URL owns nothing.
std::optional<Calendar> find_calendar_for_url(const Account& account, std::string_view event_url);

// The first account owning a calendar that prefixes `event_url`; failing
// that, the only account when there is exactly one.
std::optional<Account> find_account_for_url(const std::vector<Account>& accounts, std::string_view event_url);

// Whether another account already uses this Apple ID, letter case ignored
// (full Unicode case folding).
bool apple_id_taken(const std::vector<Account>& accounts, std::string_view apple_id);

// The discovered calendars in discovery order, each keeping the visibility it
// had in `stored` (by URL, the later of repeated entries winning); calendars
// not seen before are visible.
std::vector<Calendar> merge_calendars(const std::vector<Calendar>& stored, const std::vector<Calendar>& discovered);

// The URL of the first calendar that is not read-only.
std::optional<std::string> first_writable_calendar_url(const std::vector<Calendar>& calendars);

// The account's home zone: its stored one, or the default when that is empty.
std::string home_tzid_of(const Account& account);

// A calendar date of an event query: the first 10 characters of `text`, as
// YYYY-MM-DD. Throws std::invalid_argument when they are not a valid date.
std::chrono::year_month_day parse_query_date(const Json& text);

// One calendar to fetch in an event query, with the account it belongs to.
struct FetchTask {
    Account account;
    Calendar calendar;
};

// Every calendar of every account, in stored order, that is visible or, with
// `include_hidden`, all of them.
std::vector<FetchTask> event_fetch_tasks(const std::vector<Account>& accounts, bool include_hidden);

// What an event query lists for: events as records, the page's answer as
// JSON texts, or the reminders (objects with no VALARM are left out where
// that is known without parsing them).
enum class ListingFor { records, page_text, alarms };

// What one calendar of an event query gave: its events, or the error that
// kept them away.
struct CalendarListing {
    FetchTask source;
    std::vector<caldav::EventRecord> events;
    std::optional<std::string> error;
    bool stale { false };        // last-known events of a calendar whose last sync failed
    std::string stale_error {};  // what that sync met
    bool superseded { false };   // left unanswered for a newer fetch of the page
    // A listing for the page's answer holds its events as JSON text instead,
    // each an event's own keys without the calendar's tags.
    std::vector<std::string> event_texts {};
};

// A page fetch that stopped waiting for a server because the page asked for
// something newer.
struct FetchSuperseded : std::runtime_error {
    FetchSuperseded()
        : std::runtime_error("superseded by a newer fetch")
    {
    }
};

// Keeps the listings within `limit` occurrences together: in order, a
// calendar whose events would pass it gives `error` instead of its events,
// and the later calendars still count.
void cap_occurrences(std::vector<CalendarListing>& listings, std::size_t limit, const std::string& error);

// The event's JSON form with the calendar's and account's tags after its own
// keys; the calendar's "url", "color" and "read_only" win over the event's.
Json tagged_event(const caldav::EventRecord& event, const Account& account, const Calendar& calendar);

// The keys tagged_event adds, and "stale": true for a calendar whose last sync
// failed, as JSON text to splice before the closing brace of each event text.
std::string calendar_tags_text(const Account& account, const Calendar& calendar, bool stale);

// The listing's events from `first` on, moved into its event texts.
void move_events_to_texts(CalendarListing& listing, std::size_t first = 0);

// An event's JSON text (an object) with the tags of calendar_tags_text added.
void append_tagged_event(std::string& out, std::string_view event_text, std::string_view tags_text);

}  // namespace wrenfold
