#pragma once

#include "caldav/results.h"
#include "core/json.h"

#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

inline constexpr std::string_view kDefaultCalendarColor = "#1BADF8";
inline constexpr std::string_view kDefaultHomeTzid = "Asia/Taipei";

// One calendar of an account, read once from its stored (or discovered)
// object. `record` is that object as it came, unknown keys and key order
// included, so that writing it back changes nothing that was not changed.
struct Calendar {
    std::string url;    // "" when missing or not text
    std::string name;   // "" when missing or not text
    std::string color;  // kDefaultCalendarColor when missing or not text
    bool read_only { false };
    bool visible { true };  // a missing "visible" counts as visible
    Json record = Json::object();
};

// One account of accounts.json, read once. `calendars` holds the elements of
// the stored "calendars" list that are objects; `record` is the stored object
// whole, for writing back.
struct Account {
    std::string id;  // the text form of "id", so that an id stored as a number is still one
    std::string apple_id;
    std::string app_password;
    std::string home_tzid;  // as stored; may be empty (see home_tzid_of)
    std::vector<Calendar> calendars;
    Json record = Json::object();
};

// The typed view of a calendar object; anything but an object reads as an
// empty calendar.
Calendar parse_calendar(const Json& object);
// The calendars among the elements of a list; anything but a list has none.
std::vector<Calendar> parse_calendars(const Json& list);
// The typed view of what discovery found; its record is the discovered
// object as it is stored.
Calendar calendar_from_discovery(const caldav::DiscoveredCalendar& discovered);
std::vector<Calendar> calendars_from_discovery(const std::vector<caldav::DiscoveredCalendar>& discovered);
Account parse_account(const Json& object);
// The accounts among the elements of a list; anything but a list has none.
std::vector<Account> parse_accounts(const Json& list);

// The stored forms, exactly as read unless changed through the functions below.
std::vector<Json> calendar_records(const std::vector<Calendar>& calendars);
Json account_records(const std::vector<Account>& accounts);

// The calendar shown or hidden, in its typed view and its record.
Calendar with_visible(Calendar calendar, bool visible);
// The account with every calendar at `calendar_url` shown or hidden, in its
// typed view and its record (other elements of the stored list untouched).
Account with_calendar_visible(const Account& account, const std::string& calendar_url, bool visible);
// The account with its calendar list replaced, in its typed view and its record.
Account with_calendars(Account account, const std::vector<Calendar>& calendars);

}  // namespace wrenfold
