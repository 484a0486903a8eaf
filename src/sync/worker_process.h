#pragma once

#include "platform/message_queues.h"
#include "sync/sync_worker.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace wrenfold::sync {

// The environment variable that starts the program as the sync worker; its
// value names the inherited descriptors of the shared mappings.
inline constexpr const char* kWorkerMarker = "WRENFOLD_SYNC_WORKER";
// Set for a worker started in place of one that died.
inline constexpr const char* kWorkerRestartMarker = "WRENFOLD_SYNC_RESTARTED";

// Descriptors on Linux; on Windows the values of inherited handles.
struct WorkerHandoff {
    int end_event { -1 };      // the "end" event
    int end_queue { -1 };      // reading end of the "end" queue
    int receipt_queue { -1 };  // writing end of the "get_receipt" queue

    bool operator==(const WorkerHandoff&) const = default;
};

std::string handoff_text(const WorkerHandoff& handoff);
std::optional<WorkerHandoff> parse_handoff(const std::string& text);

// WRENFOLD_SYNC_INTERVAL as seconds, 1 or more; 30 when unset or unusable.
std::chrono::seconds sync_interval_from(const char* value);

// Runs the sync cycles until an end signal: the "end" event set, any value
// on the "end" queue, SIGINT or SIGTERM (which the launcher arranges for
// when it dies), or a parent other than `parent` (0: not watched). Those two
// signals must be blocked in the calling thread. On Windows the worker ends
// with the application's job instead. Answers the exit status.
int run_sync_worker(const platform::QueueMap& queues, const platform::EventMap& events,
                    const std::filesystem::path& accounts_file, SyncSettings settings, pid_t parent);

// The worker process: the mappings rebuilt from the inherited descriptors.
int sync_worker_main(const std::string& handoff);

}  // namespace wrenfold::sync
