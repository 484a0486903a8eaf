#include "platform/message_queues.h"

#include "platform/platform_error.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

namespace wrenfold::platform {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void throw_errno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Waits until `fd` is readable or `timeout` has passed; a signal does not cut the wait short.
bool wait_readable(int fd, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd waiting { fd, POLLIN, 0 };
        int ready = ::poll(&waiting, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (ready > 0)
            return true;
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return false;
    }
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
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!wait_readable(m_read.get(), std::max(left, std::chrono::milliseconds(0))))
            return std::nullopt;
        char chunk[4096];
        ssize_t got = ::read(m_read.get(), chunk, sizeof chunk);
        if (got > 0) {
            m_lines.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            // Every writer has gone: nothing will ever come. Wait out the
            // timeout like an empty queue, so that a reader's loop cannot spin.
            std::this_thread::sleep_until(deadline);
            return std::nullopt;
        } else if (errno != EAGAIN && errno != EINTR) {
            throw_errno("reading a queue");
        }
        if (Clock::now() >= deadline && !m_lines.holds_whole_line())
            return std::nullopt;
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
        ssize_t done = ::write(m_write.get(), line.data() + written, line.size() - written);
        if (done > 0) {
            written += static_cast<std::size_t>(done);
            continue;
        }
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0 && errno == EAGAIN && written > 0) {
            // Half a line is in: finish it rather than leave a broken line behind.
            pollfd waiting { m_write.get(), POLLOUT, 0 };
            if (::poll(&waiting, 1, 1000) > 0)
                continue;
        }
        if (done < 0 && errno == EAGAIN)
            throw PlatformError("the queue is full");
        throw_errno("writing a queue");
    }
}

EventFdEvent::EventFdEvent(UniqueFd fd)
    : m_fd(std::move(fd))
{
}

void EventFdEvent::set()
{
    std::uint64_t one = 1;
    while (::write(m_fd.get(), &one, sizeof one) < 0) {
        // EAGAIN means the counter is at its maximum: set already.
        if (errno == EAGAIN)
            return;
        if (errno != EINTR)
            throw_errno("setting an event");
    }
}

bool EventFdEvent::is_set() const
{
    return wait(std::chrono::milliseconds(0));
}

bool EventFdEvent::wait(std::chrono::milliseconds timeout) const
{
    return wait_readable(m_fd.get(), timeout);
}

std::size_t atomic_line_limit()
{
    return PIPE_BUF;
}

std::pair<UniqueFd, UniqueFd> make_queue_pipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw_errno("creating a queue");
    return { UniqueFd(ends[0]), UniqueFd(ends[1]) };
}

UniqueFd make_event_fd()
{
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        throw_errno("creating an event");
    return UniqueFd(fd);
}

}  // namespace wrenfold::platform
