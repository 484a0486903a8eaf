#include "sync/worker_process_os.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace wrenfold::sync {

namespace {

// Takes an inherited descriptor over, closing on exec from now on.
UniqueFd adopt(int fd)
{
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return UniqueFd(fd);
}

bool end_signal_pending()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    timespec no_wait {};
    return ::sigtimedwait(&signals, nullptr, &no_wait) > 0;
}

}  // namespace

bool system_asked_worker_to_end(pid_t parent)
{
    return end_signal_pending() || (parent != 0 && ::getppid() != parent);
}

pid_t parent_to_watch()
{
    return ::getppid();
}

std::pair<platform::QueueMap, platform::EventMap> adopt_mappings(const WorkerHandoff& handoff)
{
    auto receipt = std::make_shared<platform::PipeQueue>(UniqueFd(), adopt(handoff.receipt_queue));
    auto end_queue = std::make_shared<platform::PipeQueue>(adopt(handoff.end_queue), UniqueFd());
    auto end_event = std::make_shared<platform::EventFdEvent>(adopt(handoff.end_event));
    return { { { "get_receipt", receipt }, { "end", end_queue } }, { { "end", end_event } } };
}

}  // namespace wrenfold::sync
