// The application's reminders: their settings, the service that delivers
// them, and the page's side of the reminders it shows itself.
#include "app/wrenfold_app.h"

#include "core/log.h"
#include "platform/notifications.h"
#include "reminders/reminder_service.h"
#include "reminders/reminder_settings.h"

#include <cstdlib>
#include <stdexcept>

namespace wrenfold {

namespace {

constexpr std::chrono::seconds kSnooze { 300 };

// WRENFOLD_SNOOZE_SECONDS shortens the snooze for tests.
std::chrono::seconds snooze_time()
{
    const char* text = std::getenv("WRENFOLD_SNOOZE_SECONDS");
    if (!text || !*text)
        return kSnooze;
    char* end = nullptr;
    long seconds = std::strtol(text, &end, 10);
    return *end == '\0' && seconds > 0 ? std::chrono::seconds(seconds) : kSnooze;
}

std::chrono::year_month_day utc_day(std::chrono::sys_seconds instant)
{
    return std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(instant));
}

}  // namespace

Json WrenfoldApp::set_reminder_settings(const Json& changes)
{
    const Json accepted = reminder_settings_changes(changes);
    for (const auto& [key, value] : accepted.items())
        put_setting(key, value);
    _save_settings();
    _reminders_changed();
    return reminder_settings_in_force(settings_snapshot()).to_json();
}

std::vector<ListedEvents> WrenfoldApp::_list_for_reminders(std::chrono::sys_seconds from, std::chrono::sys_seconds to)
{
    // Whole days around the range: the listing counts days in each
    // account's own zone.
    auto listings = _list_calendars(utc_day(from - std::chrono::days(1)), utc_day(to + std::chrono::days(1)), false, 0,
                                    ListingFor::alarms);
    std::vector<ListedEvents> listed;
    std::optional<std::string> failure;
    for (CalendarListing& listing : listings) {
        if (listing.error) {
            failure = listing.error;
            continue;
        }
        listed.push_back(ListedEvents { listing.source.calendar.url, std::move(listing.events) });
    }
    if (listed.empty() && failure)
        throw std::runtime_error(*failure);
    return listed;
}

void WrenfoldApp::_start_reminders(std::unique_ptr<platform::Notifier> notifier)
{
    ReminderHooks hooks;
    hooks.list = [this](std::chrono::sys_seconds from, std::chrono::sys_seconds to) {
        return _list_for_reminders(from, to);
    };
    hooks.settings = [this] { return reminder_settings_in_force(settings_snapshot()); };
    hooks.language = [this] { return setting("language", Json(DEFAULT_LANG)).get<std::string>(); };
    hooks.open = [this](const DueAlarm& alarm) {
        m_reminder_open.replace(Json::object(
            { { "url", alarm.event_url }, { "recurrence_id", alarm.recurrence_id }, { "start", alarm.start } }));
        if (auto window = m_shell.snapshot().window)
            window->show();
    };
    auto service = std::make_shared<ReminderService>(APP_DIR / "reminders.json", std::move(hooks), snooze_time());
    std::weak_ptr<ReminderService> weak = service;
    if (!notifier)
        notifier = platform::session_bus_notifier([weak](std::uint32_t id, const std::string& action) {
            if (auto reminders = weak.lock())
                reminders->on_notification_action(id, action);
        });
    if (!notifier)
        log_line("reminders:", "no session bus; reminders show in the page");
    // Its first listing reads every calendar's coming days: it waits, like
    // the start's syncs, until the page's first events are answered.
    service->start(std::move(notifier), _START_WORK_WAIT);
    m_reminders.replace(std::move(service));
}

void WrenfoldApp::_reminder_notification_action(std::uint32_t id, const std::string& action)
{
    if (auto service = m_reminders.snapshot())
        service->on_notification_action(id, action);
}

void WrenfoldApp::_stop_reminders()
{
    auto service = m_reminders.snapshot();
    m_reminders.replace(nullptr);
    if (service)
        service->stop();
}

void WrenfoldApp::_reminders_changed()
{
    if (auto service = m_reminders.snapshot())
        service->refresh();
}

Json WrenfoldApp::get_reminders()
{
    auto service = m_reminders.snapshot();
    Json open = m_reminder_open.snapshot();
    m_reminder_open.replace(nullptr);
    return Json::object({ { "banners", service ? service->banners() : Json::array() }, { "open", open } });
}

Json WrenfoldApp::reminder_action(const std::string& id, const std::string& action)
{
    auto service = m_reminders.snapshot();
    if (!service)
        return Json::object({ { "ok", false }, { "error", "reminders are not running" } });
    return service->act(id, action);
}

}  // namespace wrenfold
