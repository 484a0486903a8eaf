#pragma once

#include "platform/message_queues.h"

#include <functional>

namespace wrenfold {

// The application's side of a start: the shared mappings in, the exit status out.
using ApplicationEntry = std::function<int(platform::QueueMap queue_all, platform::EventMap event_all)>;

// The launcher: creates the queues "get_receipt" and "end" and the event
// "end", runs `application` in a child process and the sync worker (this
// program again, in worker mode) in another, and waits. Its exit status is
// the application's (128 + the signal when it was killed). SIGINT and SIGTERM
// are passed on to the application, whose shutdown then ends the worker; a
// worker that dies while the application runs is started again, at most once
// a minute; when the application ends, so does the worker. Expects SIGINT and
// SIGTERM to be blocked, as main blocks them.
int run_launcher(const ApplicationEntry& application);

}  // namespace wrenfold
