#pragma once

#include "reminders/schedule.h"

#include <chrono>
#include <string>
#include <vector>

namespace wrenfold {

// When the event begins, seen from `now`, in the language given ("en" or
// "zh-Hant"): "now", "in 15 minutes", "started 5 minutes ago", "today",
// "tomorrow" for all-day events, or its day and time when further away.
std::string reminder_time_text(const DueAlarm& alarm, std::chrono::sys_seconds now, const std::string& language);

// The title and body of one notification for the reminders due together;
// several are folded into one.
struct ReminderMessage {
    std::string title;
    std::string body;
};
ReminderMessage reminder_message(const std::vector<DueAlarm>& alarms, std::chrono::sys_seconds now,
                                 const std::string& language);

// The texts of the notification's buttons.
std::string snooze_label(const std::string& language);
std::string open_label(const std::string& language);

}  // namespace wrenfold
