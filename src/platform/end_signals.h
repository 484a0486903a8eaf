#pragma once

#include <initializer_list>

namespace wrenfold::platform {

#ifdef _WIN32
// Windows has no signals: Ctrl-C, Ctrl-Break, the console closed, the user
// logging off and the system shutting down come to a console handler, which
// sets this process's end request. After the last three, Windows ends the
// process once the handler returns, so the handler waits (a few seconds at
// most) until end_handled() says the shutdown is done.
void watch_console_end_events();
// Blocks until the end was requested.
void wait_for_end_request();
void request_end();
void end_handled();
#else
// Every process of the program takes its signals on its main thread (sigwait
// or a signalfd) with them blocked. Libraries that start threads while they
// are loaded, before main can block anything (the web view's JavaScript engine
// does), leave threads where they are not blocked: the default action there
// would end the process (SIGINT, SIGTERM) or drop the signal (SIGCHLD). This
// handler, installed before the signals are blocked, sends a signal that lands
// on such a thread on to the main thread, where it waits for the main loop.
void route_signals_to_main_thread(std::initializer_list<int> signals);
#endif

}  // namespace wrenfold::platform
