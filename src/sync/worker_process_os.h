#pragma once

#include "platform/message_queues.h"
#include "sync/worker_process.h"

#include <utility>

// What the worker process does in its own way on each system.
namespace wrenfold::sync {

// Whether the system asked the worker to end: on Linux SIGINT or SIGTERM
// pending, or a parent other than `parent` (0: not watched). On Windows the
// worker sits in the application's job, which ends it with the application.
bool system_asked_worker_to_end(pid_t parent);

// The process the worker ends with, 0 when the system ends it by itself.
pid_t parent_to_watch();

// The launcher's mappings rebuilt from the inherited descriptors or handles,
// which are not passed on to anything the worker starts.
std::pair<platform::QueueMap, platform::EventMap> adopt_mappings(const WorkerHandoff& handoff);

}  // namespace wrenfold::sync
