#pragma once

#include "caldav/results.h"

#include <chrono>
#include <string>
#include <vector>

namespace wrenfold {

// One delivery of an alarm: an occurrence's alarm at one of its due times.
struct DueAlarm {
    // Calendar, UID, occurrence, TRIGGER and repetition: what remembers that
    // this delivery happened, across restarts and refetches.
    std::string key;
    std::chrono::sys_seconds due;
    std::string title;
    std::string location;
    std::string calendar_url;
    std::string event_url;
    std::string recurrence_id;
    std::string start;  // as listed: wall clock in the home zone, or a date
    std::chrono::sys_seconds starts_at;
    bool all_day { false };
    bool audio { false };
};

// The events of one calendar as the application listed them.
struct ListedEvents {
    std::string calendar_url;
    std::vector<caldav::EventRecord> events;
};

// Every delivery of the listed events' alarms due in [from, to), by due time.
std::vector<DueAlarm> alarms_between(const std::vector<ListedEvents>& listed, std::chrono::sys_seconds from,
                                     std::chrono::sys_seconds to);

}  // namespace wrenfold
