#include "reminders/reminder_service.h"

#include "core/log.h"
#include "reminders/reminder_text.h"

namespace wrenfold {
namespace {

using std::chrono::sys_seconds;

// Alarms missed by more than this (the program was not running, the
// computer slept) are no longer shown.
constexpr std::chrono::hours kLateLimit { 12 };
constexpr std::chrono::hours kAhead { 48 };
// Events start up to this long after an alarm of theirs (a week before, and
// a little more for a custom one).
constexpr std::chrono::days kLongestLead { 8 };
constexpr std::chrono::minutes kRelistEvery { 10 };
constexpr std::chrono::seconds kLookForSuspendEvery { 60 };

sys_seconds now_seconds()
{
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

Json alarm_json(const DueAlarm& alarm)
{
    return Json::object({ { "title", alarm.title },
                          { "location", alarm.location },
                          { "calendar_url", alarm.calendar_url },
                          { "url", alarm.event_url },
                          { "recurrence_id", alarm.recurrence_id },
                          { "start", alarm.start },
                          { "all_day", alarm.all_day } });
}

}  // namespace

ReminderService::ReminderService(std::filesystem::path state_file, ReminderHooks hooks, std::chrono::seconds snooze)
    : m_hooks(std::move(hooks)),
      m_snooze(snooze),
      m_state(State { FiredState(std::move(state_file)), {}, {}, {}, {}, 1 })
{
}

ReminderService::~ReminderService()
{
    stop();
}

void ReminderService::start(std::unique_ptr<platform::Notifier> notifier, std::chrono::milliseconds first_list_within)
{
    m_notifier = std::move(notifier);
    m_first_list_held = first_list_within.count() > 0;
    m_thread = std::thread([this, first_list_within] {
        wait_for_first_list(first_list_within);
        run();
    });
}

void ReminderService::release_first_list()
{
    m_first_list_held = false;
    m_timer.wake();
}

void ReminderService::wait_for_first_list(std::chrono::milliseconds longest)
{
    const auto deadline = std::chrono::steady_clock::now() + longest;
    try {
        for (auto left = longest; m_first_list_held && !m_stop && left.count() > 0;
             left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()))
            m_timer.wait_until(std::chrono::system_clock::now() + left, kLookForSuspendEvery);
    } catch (const std::exception& error) {
        log_line("reminders:", error.what());
    }
}

void ReminderService::stop()
{
    m_stop = true;
    m_timer.wake();
    if (m_thread.joinable())
        m_thread.join();
    // The notifier's own thread may still report a click: it goes first.
    m_notifier.reset();
}

void ReminderService::refresh()
{
    m_relist = true;
    m_timer.wake();
}

void ReminderService::run()
{
    auto listed_at = sys_seconds::min();
    while (!m_stop) {
        try {
            if (m_relist.exchange(false) || now_seconds() - listed_at >= kRelistEvery) {
                listed_at = now_seconds();
                relist();
            }
            deliver_due();
            auto next = m_state.with_locked([](const State& state) {
                return plan_due(state.schedule, state.fired, now_seconds(), kLateLimit).next;
            });
            auto until = next.value_or(now_seconds() + kRelistEvery);
            if (m_timer.wait_until(until, kLookForSuspendEvery) == WallClockTimer::Wake::clock_changed)
                m_relist = true;
        } catch (const std::exception& error) {
            log_line("reminders:", error.what());
            m_timer.wait_until(std::chrono::system_clock::now() + kLookForSuspendEvery, kLookForSuspendEvery);
        }
    }
}

void ReminderService::relist()
{
    const sys_seconds now = now_seconds();
    std::vector<DueAlarm> schedule;
    if (m_hooks.settings().enabled) {
        try {
            schedule = alarms_between(m_hooks.list(now - kLateLimit - kLongestLead, now + kAhead + kLongestLead),
                                      now - kLateLimit, now + kAhead);
        } catch (const std::exception& error) {
            // Offline without a copy: the alarms known so far stay.
            log_line("reminders:", error.what());
            return;
        }
    }
    m_state.with_locked([&](State& state) {
        state.schedule = std::move(schedule);
        state.fired.forget_before(now - kLateLimit - std::chrono::hours(24));
    });
}

void ReminderService::deliver_due()
{
    const sys_seconds now = now_seconds();
    std::vector<DueAlarm> due = m_state.with_locked([&](State& state) {
        DuePlan plan = plan_due(state.schedule, state.fired, now, kLateLimit);
        // Remembered before it is shown: a crash in between loses one
        // reminder rather than repeating it at every start.
        for (const DueAlarm& alarm : plan.now)
            state.fired.mark_fired(alarm.key, now);
        if (!plan.now.empty())
            state.fired.save();
        return plan.now;
    });
    if (!due.empty())
        deliver(std::move(due), now);
}

void ReminderService::deliver(std::vector<DueAlarm> alarms, sys_seconds now)
{
    const std::string language = m_hooks.language();
    ReminderMessage message = reminder_message(alarms, now, language);
    bool sound = m_hooks.settings().sound;
    bool audio = false;
    for (const DueAlarm& alarm : alarms)
        audio = audio || alarm.audio;
    std::optional<std::uint32_t> id;
    if (m_notifier)
        id = m_notifier->show({ message.title,
                                message.body,
                                sound && audio,
                                { { "snooze", snooze_label(language) },
                                  { "open", open_label(language) },
                                  { "default", open_label(language) } } });
    auto early = m_state.with_locked([&](State& state) -> std::optional<std::string> {
        if (!id) {
            state.banners["r" + std::to_string(state.next_banner++)] = Shown { std::move(alarms) };
            return std::nullopt;
        }
        auto clicked = state.early_actions.find(*id);
        if (clicked == state.early_actions.end()) {
            state.notifications[*id] = Shown { std::move(alarms) };
            return std::nullopt;
        }
        std::string action = std::move(clicked->second);
        state.early_actions.erase(clicked);
        return action;
    });
    if (early)
        handle(Shown { std::move(alarms) }, *early);
}

void ReminderService::handle(Shown shown, const std::string& action)
{
    if (action == "snooze") {
        // Rounded up: a snooze never ends early.
        const sys_seconds until = std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now()) + m_snooze;
        m_state.with_locked([&](State& state) {
            for (const DueAlarm& alarm : shown.alarms)
                state.fired.snooze(alarm.key, until);
            state.fired.save();
        });
        m_timer.wake();
    } else if ((action == "open" || action == "default") && !shown.alarms.empty()) {
        m_hooks.open(shown.alarms.front());
    }
}

void ReminderService::on_notification_action(std::uint32_t id, const std::string& action)
{
    auto shown = m_state.with_locked([&](State& state) -> std::optional<Shown> {
        auto it = state.notifications.find(id);
        if (it == state.notifications.end()) {
            state.early_actions[id] = action;
            return std::nullopt;
        }
        Shown found = std::move(it->second);
        state.notifications.erase(it);
        return found;
    });
    if (shown)
        handle(std::move(*shown), action);
}

Json ReminderService::banners() const
{
    const sys_seconds now = now_seconds();
    const std::string language = m_hooks.language();
    return m_state.with_locked([&](const State& state) {
        Json out = Json::array();
        for (const auto& [id, shown] : state.banners) {
            ReminderMessage message = reminder_message(shown.alarms, now, language);
            Json alarms = Json::array();
            for (const DueAlarm& alarm : shown.alarms)
                alarms.push_back(alarm_json(alarm));
            out.push_back(Json::object(
                { { "id", id }, { "title", message.title }, { "body", message.body }, { "alarms", alarms } }));
        }
        return out;
    });
}

Json ReminderService::act(const std::string& id, const std::string& action)
{
    if (action != "snooze" && action != "open" && action != "dismiss")
        throw std::invalid_argument("unknown reminder action: " + action);
    auto shown = m_state.with_locked([&](State& state) -> std::optional<Shown> {
        auto it = state.banners.find(id);
        if (it == state.banners.end())
            return std::nullopt;
        Shown found = std::move(it->second);
        state.banners.erase(it);
        return found;
    });
    if (!shown)
        return Json::object({ { "ok", false }, { "error", "reminder not found" } });
    Json opened = shown->alarms.empty() ? Json(nullptr) : alarm_json(shown->alarms.front());
    handle(std::move(*shown), action);
    return Json::object({ { "ok", true }, { "event", action == "open" ? opened : Json(nullptr) } });
}

}  // namespace wrenfold
