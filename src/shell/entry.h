#pragma once

#include "app/launch_options.h"
#include "platform/message_queues.h"

#include <string>

namespace wrenfold {

// The application process: constructs the application object with the
// launcher's mappings and runs it until it is asked to end. A failure prints
// "[GUI] fatal: <text>" and is rethrown.
void GUI(platform::QueueMap queue_all, platform::EventMap event_all, const LaunchOptions& options);

}  // namespace wrenfold
