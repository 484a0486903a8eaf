#include "reminders/reminder_settings.h"

#include "caldav/alarms.h"

#include <stdexcept>

namespace wrenfold {
namespace {

std::optional<long long> stored_alert(const Json& settings, const char* key, bool all_day)
{
    auto it = settings.find(key);
    if (it == settings.end() || !it->is_number_integer())
        return std::nullopt;
    long long minutes = it->get<long long>();
    if (!caldav::is_alert_choice(minutes, all_day))
        return std::nullopt;
    return minutes;
}

bool stored_switch(const Json& settings, const char* key)
{
    auto it = settings.find(key);
    return it == settings.end() || *it != Json(false);
}

Json alert_json(const std::optional<long long>& minutes)
{
    return minutes ? Json(*minutes) : Json(nullptr);
}

}  // namespace

Json ReminderSettings::to_json() const
{
    return Json::object({ { "enabled", enabled },
                          { "sound", sound },
                          { "default_alert", alert_json(default_alert) },
                          { "default_all_day_alert", alert_json(default_all_day_alert) } });
}

ReminderSettings reminder_settings_in_force(const Json& settings)
{
    ReminderSettings out;
    if (!settings.is_object())
        return out;
    out.enabled = stored_switch(settings, "reminders");
    out.sound = stored_switch(settings, "reminder_sound");
    out.default_alert = stored_alert(settings, "default_alert", false);
    out.default_all_day_alert = stored_alert(settings, "default_all_day_alert", true);
    return out;
}

Json reminder_settings_changes(const Json& changes)
{
    if (!changes.is_object())
        throw std::invalid_argument("reminder settings must be an object");
    Json out = Json::object();
    for (const auto& [name, key] : { std::pair { "enabled", "reminders" }, std::pair { "sound", "reminder_sound" } }) {
        if (!changes.contains(name))
            continue;
        if (!changes.at(name).is_boolean())
            throw std::invalid_argument(std::string(name) + " must be true or false");
        out[key] = changes.at(name);
    }
    for (const auto& [key, all_day] :
         { std::pair { "default_alert", false }, std::pair { "default_all_day_alert", true } }) {
        if (!changes.contains(key))
            continue;
        const Json& value = changes.at(key);
        if (!value.is_null() &&
            !(value.is_number_integer() && caldav::is_alert_choice(value.get<long long>(), all_day)))
            throw std::invalid_argument(std::string(key) + " must be one of the alerts offered, or null");
        out[key] = value;
    }
    return out;
}

}  // namespace wrenfold
