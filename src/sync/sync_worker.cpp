#include "sync/sync_worker.h"

#include "caldav/icloud_caldav.h"
#include "core/log.h"
#include "sync/reports.h"

#include <set>

namespace wrenfold::sync {

namespace {

// The engine's zone only shapes event times, which a look never reads.
constexpr const char* kEngineZone = "UTC";

bool is_watchable(const Account& account)
{
    return !account.id.empty() && !account.apple_id.empty() && !account.app_password.empty();
}

// `now` moved on by the whole seconds a look took since `began`: the next look
// counts from the end of this one, so that a slow server is not asked again
// the moment it has answered, nor the next account's look started late.
Clock::time_point after_look(Clock::time_point now, Clock::time_point began)
{
    return now + std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - began);
}

void add_traffic(TrafficCount& total, const TrafficCount& more)
{
    total.requests += more.requests;
    total.bytes_sent += more.bytes_sent;
    total.bytes_received += more.bytes_received;
}

}  // namespace

struct SyncWorker::Watched {
    std::string apple_id;
    std::string password;
    MeteredTransport* meter { nullptr };  // owned by the engine
    std::unique_ptr<caldav::ICloudCalDAV> engine;
    AccountWatch watch;
};

std::vector<Account> watchable_accounts(const Json& document)
{
    if (!document.is_object())
        return {};
    auto listed = document.find("accounts");
    if (listed == document.end())
        return {};
    std::vector<Account> accounts = parse_accounts(*listed);
    std::erase_if(accounts, [](const Account& account) { return !is_watchable(account); });
    return accounts;
}

SyncWorker::SyncWorker(SyncSettings settings, platform::MessageQueue& reports)
    : m_settings(std::move(settings)),
      m_reports(reports)
{
}

SyncWorker::~SyncWorker() = default;

SyncWorker::Watched& SyncWorker::watched_for(const std::string& account_id)
{
    auto& slot = m_watched[account_id];
    if (!slot)
        slot = std::make_unique<Watched>(
            Watched { {}, {}, nullptr, nullptr, AccountWatch(m_settings.interval, m_settings.catch_up) });
    return *slot;
}

void SyncWorker::ensure_engine(Watched& watched, const Account& account)
{
    const std::string& apple_id = account.apple_id;
    const std::string& password = account.app_password;
    // New credentials need a new engine; what was seen of the calendars stays.
    if (watched.engine && watched.apple_id == apple_id && watched.password == password)
        return;
    if (watched.meter)
        add_traffic(m_traffic_of_dropped, watched.meter->traffic());
    watched.engine.reset();
    watched.meter = nullptr;
    watched.apple_id = apple_id;
    watched.password = password;
    auto meter = std::make_unique<MeteredTransport>(m_settings.make_transport());
    MeteredTransport* meter_view = meter.get();
    watched.engine = std::make_unique<caldav::ICloudCalDAV>(apple_id, password, kEngineZone, m_settings.server_root,
                                                            std::move(meter));
    watched.meter = meter_view;
}

bool SyncWorker::send(const std::vector<Json>& messages)
{
    try {
        for (const Json& message : messages)
            m_reports.put_nowait(message);
        return true;
    } catch (const std::exception& error) {
        log_line("[sync]", std::string("a report could not be sent: ") + error.what());
        return false;
    }
}

void SyncWorker::report_failure(const std::string& account_id, Watched& watched, const std::string& error,
                                Clock::time_point now)
{
    std::string text = redacted(error, { watched.password });
    auto retry_after = watched.meter ? watched.meter->last_retry_after() : std::nullopt;
    if (watched.watch.failed(retry_after, now)) {
        log_line("[sync]", "account " + account_id + ": " + text);
        send({ error_message(account_id, text) });
    }
}

void SyncWorker::look_at(const std::string& account_id, Watched& watched, Clock::time_point now,
                         Clock::time_point began)
{
    watched.meter->clear_last_answer();
    CalendarStates current = calendar_states(watched.engine->discover());
    now = after_look(now, began);
    Changes changes = watched.watch.changes_in(current);
    bool recovered = watched.watch.failing();
    // Unsent news is found again by the next look, since the state it came
    // from is kept until the report has gone out.
    if (!send(change_messages(account_id, changes, platform::atomic_line_limit()))) {
        watched.watch.postpone(now);
        return;
    }
    watched.watch.succeeded(std::move(current), now);
    if (recovered)
        log_line("[sync]", "account " + account_id + " is reachable again");
}

Clock::time_point SyncWorker::run_cycle(const std::vector<Account>& accounts, Clock::time_point now)
{
    std::set<std::string> listed;
    for (const Account& account : accounts) {
        if (!is_watchable(account))
            continue;
        const std::string& id = account.id;
        if (!listed.insert(id).second)
            continue;
        Watched& watched = watched_for(id);
        if (!watched.watch.due(now))
            continue;
        auto began = Clock::now();
        try {
            ensure_engine(watched, account);
            look_at(id, watched, now, began);
        } catch (const std::exception& error) {
            report_failure(id, watched, error.what(), after_look(now, began));
        }
    }
    for (auto it = m_watched.begin(); it != m_watched.end();) {
        if (listed.count(it->first)) {
            ++it;
            continue;
        }
        if (it->second->meter)
            add_traffic(m_traffic_of_dropped, it->second->meter->traffic());
        it = m_watched.erase(it);
    }
    m_settings.catch_up = false;  // accounts added from now on were seen whole by the application
    Clock::time_point next = now + m_settings.interval;
    for (const auto& [id, watched] : m_watched)
        next = std::min(next, std::max(watched->watch.next_look(), now));
    return next;
}

TrafficCount SyncWorker::traffic() const
{
    TrafficCount total = m_traffic_of_dropped;
    for (const auto& [id, watched] : m_watched) {
        if (watched->meter)
            add_traffic(total, watched->meter->traffic());
    }
    return total;
}

}  // namespace wrenfold::sync
