#pragma once

#include "core/json.h"
#include "reminders/schedule.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold {

// Which deliveries have been made, dismissed or snoozed, kept in a small
// file of the data folder (0600, replaced whole through the atomic store) so
// that a restart never delivers one twice. Not thread-safe: its owner locks.
class FiredState {
public:
    // Reads the file; one that cannot be read is kept beside it as
    // "<name>.unreadable" and the state starts empty.
    explicit FiredState(std::filesystem::path path);

    bool settled(const std::string& key) const;
    std::optional<std::chrono::sys_seconds> snoozed_until(const std::string& key) const;
    void mark_fired(const std::string& key, std::chrono::sys_seconds now);
    void snooze(const std::string& key, std::chrono::sys_seconds until);
    // Entries older than `before` can no longer come due: they go.
    void forget_before(std::chrono::sys_seconds before);
    // A failure is logged, never thrown: the worst outcome is a repeat.
    void save() const;

private:
    struct Entry {
        bool snoozed { false };
        std::chrono::sys_seconds at;  // when it fired, or until when it sleeps
    };
    std::filesystem::path m_path;
    std::map<std::string, Entry> m_entries;
};

// What is due at `now`: alarms due in the last `late_limit` that have not
// been delivered (missed while the program or the computer slept) and
// snoozed ones whose time has come; and when the next one falls due.
struct DuePlan {
    std::vector<DueAlarm> now;
    std::optional<std::chrono::sys_seconds> next;
};
DuePlan plan_due(const std::vector<DueAlarm>& alarms, const FiredState& state, std::chrono::sys_seconds now,
                 std::chrono::seconds late_limit);

}  // namespace wrenfold
