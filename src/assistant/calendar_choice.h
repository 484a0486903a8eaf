#pragma once

#include "calendar/records.h"

#include <optional>
#include <string>
#include <vector>

namespace wrenfold::assistant {

// One writable calendar and the account that holds it (copies of the records).
struct CalendarChoice {
    Account account;
    Calendar calendar;
};

// The calendar stored as the default when it exists and is writable, else
// the first writable calendar of all accounts in stored order.
std::optional<CalendarChoice> default_calendar(const std::vector<Account>& accounts,
                                               const std::string& default_calendar_url);

// Whether hint names the account: its id, its Apple ID or the Apple ID's
// part before "@", without letter case or surrounding blanks.
bool account_matches(const Account& account, const std::string& hint);

// The calendar the assistant means: an exact writable calendar URL first,
// then a name within the hinted account, then a name anywhere, then the
// default. Nothing only when no writable calendar exists at all.
std::optional<CalendarChoice> resolve_calendar(const std::vector<Account>& accounts,
                                               const std::string& default_calendar_url, const std::string& name,
                                               const std::string& account_hint = "",
                                               const std::string& calendar_url = "");

}  // namespace wrenfold::assistant
