// The queues between the application and the sync worker on Windows: the
// same lines on anonymous pipes, the end event a manual-reset event.
#include "platform/message_queues.h"

#include "platform/platform_error.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace wrenfold::platform {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Anonymous pipes cannot be waited on; a reader looks this often.
constexpr auto kReadPoll = 10ms;
// Room for many messages: a write blocks only when the reader stopped reading.
constexpr DWORD kPipeBuffer = 1 << 16;
// What the worker keeps each line within, as on Linux: one write of it is
// never interleaved with another writer's.
constexpr std::size_t kAtomicLine = 4096;

[[noreturn]] void throw_last_error(const char* what)
{
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

DWORD milliseconds_of(std::chrono::milliseconds timeout)
{
    return static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, INFINITE - 1));
}

}  // namespace

std::optional<Json> PipeQueue::get(std::chrono::milliseconds timeout)
{
    if (!m_read.valid())
        throw std::logic_error("this process does not read this queue");
    std::lock_guard lock(m_read_mutex);
    auto deadline = Clock::now() + timeout;
    while (true) {
        if (auto value = m_lines.next())
            return value;
        DWORD available = 0;
        if (!::PeekNamedPipe(m_read.get(), nullptr, 0, nullptr, &available, nullptr)) {
            if (::GetLastError() != ERROR_BROKEN_PIPE)
                throw_last_error("reading a queue");
            // Every writer has gone: nothing will ever come. Wait out the
            // timeout like an empty queue, so that a reader's loop cannot spin.
            std::this_thread::sleep_until(deadline);
            return std::nullopt;
        }
        if (available > 0) {
            char chunk[4096];
            DWORD got = 0;
            if (!::ReadFile(m_read.get(), chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr))
                throw_last_error("reading a queue");
            m_lines.append(chunk, got);
            continue;
        }
        auto now = Clock::now();
        if (now >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::min<Clock::duration>(kReadPoll, deadline - now));
    }
}

void PipeQueue::put_nowait(Json value)
{
    if (!m_write.valid())
        throw std::logic_error("this process does not write this queue");
    std::string line = dump_compact(value) + "\n";
    std::lock_guard lock(m_write_mutex);
    std::size_t written = 0;
    while (written < line.size()) {
        DWORD done = 0;
        DWORD size = static_cast<DWORD>(std::min<std::size_t>(line.size() - written, kPipeBuffer));
        if (!::WriteFile(m_write.get(), line.data() + written, size, &done, nullptr)) {
            if (::GetLastError() == ERROR_NO_DATA || ::GetLastError() == ERROR_BROKEN_PIPE)
                throw PlatformError("the queue has no reader");
            throw_last_error("writing a queue");
        }
        written += done;
    }
}

HandleEvent::HandleEvent(UniqueHandle event)
    : m_event(std::move(event))
{
}

void HandleEvent::set()
{
    if (!::SetEvent(m_event.get()))
        throw_last_error("setting an event");
}

bool HandleEvent::is_set() const
{
    return wait(0ms);
}

bool HandleEvent::wait(std::chrono::milliseconds timeout) const
{
    return ::WaitForSingleObject(m_event.get(), milliseconds_of(timeout)) == WAIT_OBJECT_0;
}

std::size_t atomic_line_limit()
{
    return kAtomicLine;
}

std::pair<UniqueHandle, UniqueHandle> make_queue_pipe()
{
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!::CreatePipe(&read_end, &write_end, nullptr, kPipeBuffer))
        throw_last_error("creating a queue");
    return { UniqueHandle(read_end), UniqueHandle(write_end) };
}

UniqueHandle make_event_handle()
{
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.valid())
        throw_last_error("creating an event");
    return event;
}

}  // namespace wrenfold::platform
