#include "sync/worker_process_os.h"

#include <windows.h>

#include <cstdint>

namespace wrenfold::sync {

namespace {

// Takes an inherited handle over (a handle's value fits in 32 bits, which is
// what lets it travel as a number), not to be inherited again.
platform::UniqueHandle adopt(int value)
{
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(value));
    ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    return platform::UniqueHandle(handle);
}

}  // namespace

bool system_asked_worker_to_end(pid_t)
{
    return false;
}

pid_t parent_to_watch()
{
    return 0;
}

std::pair<platform::QueueMap, platform::EventMap> adopt_mappings(const WorkerHandoff& handoff)
{
    auto receipt = std::make_shared<platform::PipeQueue>(platform::UniqueHandle(), adopt(handoff.receipt_queue));
    auto end_queue = std::make_shared<platform::PipeQueue>(adopt(handoff.end_queue), platform::UniqueHandle());
    auto end_event = std::make_shared<platform::HandleEvent>(adopt(handoff.end_event));
    return { { { "get_receipt", receipt }, { "end", end_queue } }, { { "end", end_event } } };
}

}  // namespace wrenfold::sync
