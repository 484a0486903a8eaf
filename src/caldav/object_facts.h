#pragma once

#include "caldav/ical_time.h"

#include <chrono>
#include <optional>
#include <string>

namespace wrenfold::caldav {

// What a local copy keeps beside a calendar object to find it again without
// parsing it: its UID, the instants between which it can occur (none at the
// end for a series without one) and its words for search.
struct ObjectFacts {
    std::string uid;
    std::chrono::sys_seconds first;
    std::optional<std::chrono::sys_seconds> last;
    std::string search_text;  // title, place and notes of every event in it, folded for search
};

// Of a parsed object (parse_calendar throws for text that is none). A
// calendar with no dated event is kept with an empty span, so that no listing
// ever shows it.
ObjectFacts object_facts(icalcomponent* calendar, icaltimezone* home);

}  // namespace wrenfold::caldav
