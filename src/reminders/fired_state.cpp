#include "reminders/fired_state.h"

#include "core/atomic_store.h"
#include "core/log.h"

#include <system_error>

namespace wrenfold {

using std::chrono::sys_seconds;

FiredState::FiredState(std::filesystem::path path)
    : m_path(std::move(path))
{
    std::error_code missing;
    if (!std::filesystem::exists(m_path, missing))
        return;
    try {
        Json stored = Json::parse(read_file(m_path));
        for (const auto& [key, value] : stored.at("alarms").items()) {
            Entry entry;
            entry.snoozed = value.at("snoozed").get<bool>();
            entry.at = sys_seconds(std::chrono::seconds(value.at("at").get<long long>()));
            m_entries[key] = entry;
        }
    } catch (const std::exception& error) {
        log_line("reminders:", load_error_text(error));
        keep_unreadable_copy(m_path);
        m_entries.clear();
    }
}

bool FiredState::settled(const std::string& key) const
{
    auto it = m_entries.find(key);
    return it != m_entries.end() && !it->second.snoozed;
}

std::optional<sys_seconds> FiredState::snoozed_until(const std::string& key) const
{
    auto it = m_entries.find(key);
    if (it == m_entries.end() || !it->second.snoozed)
        return std::nullopt;
    return it->second.at;
}

void FiredState::mark_fired(const std::string& key, sys_seconds now)
{
    m_entries[key] = Entry { false, now };
}

void FiredState::snooze(const std::string& key, sys_seconds until)
{
    m_entries[key] = Entry { true, until };
}

void FiredState::forget_before(sys_seconds before)
{
    std::erase_if(m_entries, [&](const auto& entry) { return entry.second.at < before; });
}

void FiredState::save() const
{
    Json alarms = Json::object();
    for (const auto& [key, entry] : m_entries)
        alarms[key] = Json::object({ { "snoozed", entry.snoozed }, { "at", entry.at.time_since_epoch().count() } });
    try {
        atomic_write_json(m_path, Json::object({ { "alarms", std::move(alarms) } }));
    } catch (const std::exception& error) {
        log_line("reminders:", error.what());
    }
}

DuePlan plan_due(const std::vector<DueAlarm>& alarms, const FiredState& state, sys_seconds now,
                 std::chrono::seconds late_limit)
{
    DuePlan plan;
    for (const DueAlarm& alarm : alarms) {
        if (state.settled(alarm.key))
            continue;
        sys_seconds due = state.snoozed_until(alarm.key).value_or(alarm.due);
        if (due <= now) {
            // A snoozed reminder comes back however late; a missed one only
            // while it still helps.
            if (state.snoozed_until(alarm.key) || due >= now - late_limit)
                plan.now.push_back(alarm);
        } else if (!plan.next || due < *plan.next) {
            plan.next = due;
        }
    }
    return plan;
}

}  // namespace wrenfold
