#pragma once

#include "core/guarded.h"
#include "core/json.h"
#include "platform/notifications.h"
#include "reminders/fired_state.h"
#include "reminders/reminder_settings.h"
#include "reminders/schedule.h"
#include "reminders/wall_clock_timer.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace wrenfold {

// What the reminders ask of the application.
struct ReminderHooks {
    // The visible calendars' events that overlap [from, to); throws when
    // nothing could be listed (the last schedule then stays).
    std::function<std::vector<ListedEvents>(std::chrono::sys_seconds from, std::chrono::sys_seconds to)> list;
    std::function<ReminderSettings()> settings;
    std::function<std::string()> language;
    // Brings the window (or the page) to the event of a reminder.
    std::function<void(const DueAlarm& alarm)> open;
};

// Keeps the alarms of the next two days and delivers each once when it comes
// due: as a desktop notification with "Snooze" and "Open", or, without a
// notification service, as a banner the page shows with the same choices.
// Its thread sleeps until the next alarm and lists again after `refresh`,
// after a change of the clock or a resume, and every few minutes.
class ReminderService {
public:
    ReminderService(std::filesystem::path state_file, ReminderHooks hooks, std::chrono::seconds snooze);
    ~ReminderService();
    ReminderService(const ReminderService&) = delete;
    ReminderService& operator=(const ReminderService&) = delete;

    // Starts the thread with the notifier given (none: banners only). With
    // `first_list_within`, the first listing waits for `release_first_list`
    // or that long at most: at a start, the page's first answer goes first.
    void start(std::unique_ptr<platform::Notifier> notifier,
               std::chrono::milliseconds first_list_within = std::chrono::milliseconds(0));
    void release_first_list();
    void stop();
    // The calendars changed: list again soon.
    void refresh();

    // The reminders waiting in the page: [{"id", "title", "body", "alarms": [...]}].
    Json banners() const;
    // "snooze", "open" or "dismiss" for a banner of the page.
    Json act(const std::string& id, const std::string& action);
    // A button of a desktop notification.
    void on_notification_action(std::uint32_t id, const std::string& action);

private:
    struct Shown {
        std::vector<DueAlarm> alarms;
    };
    struct State {
        FiredState fired;
        std::vector<DueAlarm> schedule;
        std::map<std::uint32_t, Shown> notifications;  // by the service's id
        std::map<std::string, Shown> banners;          // by our own id
        // A click can come back before the service's answer to the Notify.
        std::map<std::uint32_t, std::string> early_actions;
        std::uint64_t next_banner { 1 };
    };

    void run();
    void wait_for_first_list(std::chrono::milliseconds longest);
    void relist();
    void deliver_due();
    void deliver(std::vector<DueAlarm> alarms, std::chrono::sys_seconds now);
    void handle(Shown shown, const std::string& action);

    ReminderHooks m_hooks;
    std::chrono::seconds m_snooze;
    Guarded<State> m_state;
    std::unique_ptr<platform::Notifier> m_notifier;
    WallClockTimer m_timer;
    std::atomic<bool> m_relist { true };
    std::atomic<bool> m_first_list_held { false };
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

}  // namespace wrenfold
