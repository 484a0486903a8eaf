#pragma once

#include "core/json.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

// The rules of accounts, calendars and events that need no server: lookups in
// the account list, the merge of a fresh discovery into the stored calendars,
// the fetch plan of an event query and the tags put on its events.

inline constexpr std::string_view kDefaultCalendarColor = "#1BADF8";
inline constexpr std::string_view kDefaultHomeTzid = "Asia/Taipei";

// The text an account is known by to the page: the text form of its "id", so
// that an id stored as a number (a store edited by hand) is still one.
std::string account_id_of(const Json& account);

// Whether the account's id, in its text form, is `account_id` (never an empty one).
bool has_account_id(const Json& account, std::string_view account_id);

// The first account whose id is `account_id` exactly.
std::optional<Json> find_account_by_id(const Json& accounts, std::string_view account_id);

// The calendars of an account; an account without the key has none.
const Json& calendars_of(const Json& account);

// The first calendar of `account`, in stored order, whose "url" is a prefix of `event_url`.
std::optional<Json> find_calendar_for_url(const Json& account, std::string_view event_url);

// The first account owning a calendar that prefixes `event_url`; failing
// that, the only account when there is exactly one.
std::optional<Json> find_account_for_url(const Json& accounts, std::string_view event_url);

// Whether another account already uses this Apple ID, letter case ignored
// (full Unicode case folding).
bool apple_id_taken(const Json& accounts, std::string_view apple_id);

// The discovered calendars in discovery order, each keeping the visibility it
// had in `stored` (by "url", the later of repeated entries winning); calendars
// not seen before are visible.
Json merge_calendars(const Json& stored, const Json& discovered);

// The "url" of the first calendar that is not read-only.
std::optional<std::string> first_writable_calendar_url(const Json& calendars);

// The account's home zone: its "home_tzid", or the default when missing or empty.
std::string home_tzid_of(const Json& account);

// A calendar date of an event query: the first 10 characters of `text`, as
// YYYY-MM-DD. Throws std::invalid_argument when they are not a valid date.
std::chrono::year_month_day parse_query_date(const Json& text);

// One calendar to fetch in an event query, with the account it belongs to.
struct FetchTask {
    Json account;
    Json calendar;
};

// Every calendar of every account, in stored order, that is visible (missing
// "visible" counts as visible) or, with `include_hidden`, all of them.
std::vector<FetchTask> event_fetch_tasks(const Json& accounts, bool include_hidden);

// Puts the calendar's and account's tags on an event, over any keys of the same name.
void tag_event(Json& event, const Json& account, const Json& calendar);

}  // namespace wrenfold
