// The sync worker as a process: cycles on a thread of their own, the main
// thread waiting for the end signals so that the worker ends within a second
// of them even while a server is slow to answer.
#include "sync/worker_process.h"

#include "caldav/curl_transport.h"
#include "core/app_paths.h"
#include "core/atomic_store.h"
#include "core/log.h"
#include "sync/worker_process_os.h"

#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <sstream>
#include <thread>

namespace wrenfold::sync {

namespace {

using namespace std::chrono_literals;

constexpr auto kDefaultInterval = 30s;
constexpr auto kEndCheck = 100ms;
constexpr auto kCycleWindDown = 600ms;
const char* const kDefaultServer = "https://caldav.icloud.com/";

template <typename Map> auto find_shared(const Map& map, const std::string& key) -> typename Map::mapped_type
{
    auto found = map.find(key);
    return found != map.end() ? found->second : nullptr;
}

// Blocks until one of the end signals comes.
void wait_for_end(const platform::QueueMap& queues, const platform::EventMap& events, pid_t parent)
{
    auto end_event = find_shared(events, "end");
    auto end_queue = find_shared(queues, "end");
    while (true) {
        if (end_event ? end_event->wait(kEndCheck) : (std::this_thread::sleep_for(kEndCheck), false))
            return;
        try {
            if (end_queue && end_queue->get(kEndCheck))
                return;
        } catch (const std::exception&) {
            std::this_thread::sleep_for(kEndCheck);
        }
        if (system_asked_worker_to_end(parent))
            return;
    }
}

// The account list as it stands in the store, which the worker only reads.
class AccountsReader {
public:
    explicit AccountsReader(std::filesystem::path file)
        : m_file(std::move(file))
    {
    }

    std::vector<Account> read()
    {
        std::error_code missing;
        if (!std::filesystem::exists(m_file, missing))
            return {};
        try {
            std::vector<Account> accounts = watchable_accounts(Json::parse(read_file(m_file)));
            m_last_error.clear();
            return accounts;
        } catch (const std::exception& error) {
            if (m_last_error != error.what())
                log_line("[sync]", "accounts.json cannot be read: " + load_error_text(error));
            m_last_error = error.what();
            return {};
        }
    }

private:
    std::filesystem::path m_file;
    std::string m_last_error;
};

int descriptor(const std::string& text)
{
    int fd = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), fd);
    if (error != std::errc() || end != text.data() + text.size() || fd < 0)
        return -1;
    return fd;
}

}  // namespace

std::string handoff_text(const WorkerHandoff& handoff)
{
    return std::to_string(handoff.end_event) + "," + std::to_string(handoff.end_queue) + "," +
        std::to_string(handoff.receipt_queue);
}

std::optional<WorkerHandoff> parse_handoff(const std::string& text)
{
    std::vector<int> fds;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ','))
        fds.push_back(descriptor(part));
    if (fds.size() != 3 || fds[0] < 0 || fds[1] < 0 || fds[2] < 0)
        return std::nullopt;
    return WorkerHandoff { fds[0], fds[1], fds[2] };
}

std::chrono::seconds sync_interval_from(const char* value)
{
    if (!value || !*value)
        return kDefaultInterval;
    long long seconds = 0;
    std::string_view text(value);
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds < 1)
        return kDefaultInterval;
    return std::chrono::seconds(seconds);
}

int run_sync_worker(const platform::QueueMap& queues, const platform::EventMap& events,
                    const std::filesystem::path& accounts_file, SyncSettings settings, pid_t parent)
{
    auto reports = find_shared(queues, "get_receipt");
    if (!reports) {
        log_line("[sync]", "no queue to report on; the worker ends");
        return 1;
    }
    std::mutex stop_mutex;
    std::condition_variable stop_changed;
    bool stop = false;
    std::promise<void> cycles_done;
    auto cycles_ended = cycles_done.get_future();
    std::thread cycles([&, done = std::move(cycles_done)]() mutable {
        try {
            SyncWorker worker(std::move(settings), *reports);
            AccountsReader accounts(accounts_file);
            std::unique_lock lock(stop_mutex);
            while (!stop) {
                lock.unlock();
                Clock::time_point next = worker.run_cycle(accounts.read(), Clock::now());
                lock.lock();
                stop_changed.wait_until(lock, next, [&] { return stop; });
            }
        } catch (const std::exception& error) {
            log_line("[sync]", std::string("the worker failed: ") + error.what());
        }
        done.set_value();
    });
    wait_for_end(queues, events, parent);
    {
        std::lock_guard lock(stop_mutex);
        stop = true;
    }
    stop_changed.notify_all();
    if (cycles_ended.wait_for(kCycleWindDown) == std::future_status::ready) {
        cycles.join();
        return 0;
    }
    // A look is still waiting on a server: nothing of it needs keeping, and
    // the worker must not outlive the application.
    std::fflush(stdout);
    std::_Exit(0);
}

int sync_worker_main(const std::string& handoff_value)
{
    auto handoff = parse_handoff(handoff_value);
    if (!handoff) {
        log_line("[sync]", "started without the launcher's queues; the worker ends");
        return 2;
    }
    pid_t parent = parent_to_watch();
    auto [queues, events] = adopt_mappings(*handoff);

    const char* server = std::getenv("WRENFOLD_CALDAV_URL");
    SyncSettings settings { sync_interval_from(std::getenv("WRENFOLD_SYNC_INTERVAL")),
                            server && *server ? server : kDefaultServer,
                            [] { return std::make_unique<caldav::CurlTransport>(); },
                            std::getenv(kWorkerRestartMarker) != nullptr };
    std::filesystem::path accounts_file;
    try {
        accounts_file = AppPaths::for_this_process().data_directory / "accounts.json";
    } catch (const std::exception& error) {
        log_line("[sync]", error.what());
        return 1;
    }
    return run_sync_worker(queues, events, accounts_file, std::move(settings), parent);
}

}  // namespace wrenfold::sync
