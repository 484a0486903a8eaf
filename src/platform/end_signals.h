#pragma once

#include <initializer_list>

namespace wrenfold::platform {

// Every process of the program takes its signals on its main thread (sigwait
// or a signalfd) with them blocked. Libraries that start threads while they
// are loaded, before main can block anything (the web view's JavaScript engine
// does), leave threads where they are not blocked: the default action there
// would end the process (SIGINT, SIGTERM) or drop the signal (SIGCHLD). This
// handler, installed before the signals are blocked, sends a signal that lands
// on such a thread on to the main thread, where it waits for the main loop.
void route_signals_to_main_thread(std::initializer_list<int> signals);

}  // namespace wrenfold::platform
