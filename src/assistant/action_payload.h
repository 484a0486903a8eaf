#pragma once

#include "calendar/calendar_rules.h"
#include "core/json.h"

#include <optional>
#include <string>
#include <vector>

namespace wrenfold::assistant {

// The event fields an action payload may carry, with how each is read.
enum class FieldKind { Text, TruthValue };
std::optional<FieldKind> event_field_kind(const std::string& field);

// A field's value as the engine gets it: text in its text form (null as the
// empty text, never "None"), a truth value as the value's truthiness.
Json normalized_field(FieldKind kind, const Json& value);

// The payload's event fields, normalised, in the payload's order; other keys
// are left out.
Json clean_event_fields(const Json& payload);

// payload[key] in its text form, "" when missing.
std::string payload_text(const Json& payload, const char* key);

// The items a query answers the assistant with: the events of the calendars
// that answered, the optional calendar-name filter applied, sorted by start,
// each repeating event once at its earliest occurrence; "account" (the Apple
// ID) added with `name_accounts`, for when there are several accounts.
Json query_items(const std::vector<CalendarListing>& listings, const std::string& calendar_filter, bool name_accounts);

}  // namespace wrenfold::assistant
