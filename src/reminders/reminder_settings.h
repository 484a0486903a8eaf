#pragma once

#include "core/json.h"

#include <optional>

namespace wrenfold {

// The reminder settings in force, read from the settings map: "reminders"
// (on unless false), "reminder_sound" (on unless false), and the default
// alert of new events, "default_alert" and "default_all_day_alert" (minutes
// before the start; none unless one of the editor's choices is stored).
struct ReminderSettings {
    bool enabled { true };
    bool sound { true };
    std::optional<long long> default_alert;
    std::optional<long long> default_all_day_alert;

    // {"enabled", "sound", "default_alert", "default_all_day_alert"}, nulls for none.
    Json to_json() const;
};

ReminderSettings reminder_settings_in_force(const Json& settings);

// The settings keys and values a change from the page stands for (keys as
// in to_json, each optional); throws std::invalid_argument for a value of
// the wrong kind or an alert the editor does not offer.
Json reminder_settings_changes(const Json& changes);

}  // namespace wrenfold
