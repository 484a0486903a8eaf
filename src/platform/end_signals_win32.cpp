#include "platform/end_signals.h"

#include "platform/win32/unique_handle.h"

#include <windows.h>

namespace wrenfold::platform {

namespace {

// The console handler runs on a thread Windows starts, so the two flags are
// the process's own, made once.
struct EndEvents {
    UniqueHandle requested { ::CreateEventW(nullptr, TRUE, FALSE, nullptr) };
    UniqueHandle handled { ::CreateEventW(nullptr, TRUE, FALSE, nullptr) };
};

EndEvents& end_events()
{
    static EndEvents events;
    return events;
}

// Within the time Windows gives a handler before it ends the process anyway.
constexpr DWORD kShutdownWait = 4500;

BOOL WINAPI on_console_event(DWORD event)
{
    request_end();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(end_events().handled.get(), kShutdownWait);
    return TRUE;
}

}  // namespace

void watch_console_end_events()
{
    end_events();
    ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

void wait_for_end_request()
{
    ::WaitForSingleObject(end_events().requested.get(), INFINITE);
}

void request_end()
{
    ::SetEvent(end_events().requested.get());
}

void end_handled()
{
    ::SetEvent(end_events().handled.get());
}

}  // namespace wrenfold::platform
