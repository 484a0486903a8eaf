#pragma once

#include "caldav/engine.h"
#include "caldav/http.h"
#include "calendar/records.h"
#include "platform/message_queues.h"
#include "sync/account_watch.h"
#include "sync/metered_transport.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wrenfold::sync {

using TransportFactory = std::function<std::unique_ptr<caldav::HttpTransport>()>;

struct SyncSettings {
    std::chrono::seconds interval { 30 };
    std::string server_root;  // where each account's discovery begins
    TransportFactory make_transport;
    // Started again after a crash: the accounts of the first cycle report
    // every calendar, for the changes made while no worker watched.
    bool catch_up { false };
};

// Watches every account of the account list: one PROPFIND on each calendar
// home per look, through the CalDAV engine, so that its discovery, origin
// pinning and TLS rules hold here too. Reports go into `reports`.
class SyncWorker {
public:
    SyncWorker(SyncSettings settings, platform::MessageQueue& reports);
    ~SyncWorker();

    // Looks at each account (as the store lists them) that is due; answers
    // when the next look is due.
    Clock::time_point run_cycle(const std::vector<Account>& accounts, Clock::time_point now);

    // What went over the wire for all accounts so far.
    TrafficCount traffic() const;

private:
    struct Watched;

    Watched& watched_for(const std::string& account_id);
    void ensure_engine(Watched& watched, const Account& account);
    void look_at(const std::string& account_id, Watched& watched, Clock::time_point now, Clock::time_point began);
    void report_failure(const std::string& account_id, Watched& watched, const std::string& error,
                        Clock::time_point now);
    bool send(const std::vector<Json>& messages);

    SyncSettings m_settings;
    platform::MessageQueue& m_reports;
    std::map<std::string, std::unique_ptr<Watched>> m_watched;
    TrafficCount m_traffic_of_dropped;
};

// The accounts of a parsed accounts.json that can be watched: those with an
// id, an Apple ID and a password. Anything else in the document counts as no
// accounts.
std::vector<Account> watchable_accounts(const Json& document);

}  // namespace wrenfold::sync
