#pragma once

#include "core/json.h"
#ifdef _WIN32
#include "platform/win32/unique_handle.h"
#else
#include "core/unique_fd.h"
#endif

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace wrenfold::platform {

// A named queue shared with the launcher and the sync worker. Values are JSON;
// null is a valid value (it is the wake-up put in at shutdown).
class MessageQueue {
public:
    virtual ~MessageQueue() = default;
    // The next value, or nothing when none came within `timeout`.
    virtual std::optional<Json> get(std::chrono::milliseconds timeout) = 0;
    // Throws when the value cannot be taken at once (a full pipe, no reader end).
    virtual void put_nowait(Json value) = 0;
};

// A named flag shared with the other processes.
class NamedEvent {
public:
    virtual ~NamedEvent() = default;
    virtual void set() = 0;
    virtual bool is_set() const = 0;
    // Whether the flag was set within `timeout`.
    virtual bool wait(std::chrono::milliseconds timeout) const = 0;
};

using QueueMap = std::map<std::string, std::shared_ptr<MessageQueue>>;
using EventMap = std::map<std::string, std::shared_ptr<NamedEvent>>;

// In-process queue, for a process without a worker and for tests.
class LocalQueue final : public MessageQueue {
public:
    std::optional<Json> get(std::chrono::milliseconds timeout) override;
    void put_nowait(Json value) override;

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Json> m_values;
};

class LocalEvent final : public NamedEvent {
public:
    void set() override;
    bool is_set() const override;
    bool wait(std::chrono::milliseconds timeout) const override;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set { false };
};

// The framing of the queues between processes: one JSON value per line.
// Lines that are not JSON are skipped, and so are lines longer than a
// mebibyte (dropped as they grow, never kept to their end).
class JsonLineBuffer {
public:
    void append(const char* bytes, std::size_t size) { m_buffer.append(bytes, size); }
    // The next whole value, or nothing until more bytes come.
    std::optional<Json> next();
    bool holds_whole_line() const { return m_buffer.find('\n', m_scanned) != std::string::npos; }

private:
    std::string m_buffer;
    std::size_t m_scanned { 0 };     // bytes of m_buffer known to hold no newline
    bool m_dropping_line { false };  // the rest of a line too long to keep
};

#ifdef _WIN32
using PipeEnd = UniqueHandle;
#else
using PipeEnd = UniqueFd;
#endif

// A queue between processes: one JSON value per line on a pipe. A process may
// hold the reading end, the writing end or both (the application holds both
// ends of "get_receipt" so that it can wake its own reader). A line of at
// most atomic_line_limit() bytes arrives whole even with several writers.
class PipeQueue final : public MessageQueue {
public:
    PipeQueue(PipeEnd read_end, PipeEnd write_end);

    std::optional<Json> get(std::chrono::milliseconds timeout) override;
    void put_nowait(Json value) override;

#ifdef _WIN32
    // Null when this process does not hold that end.
    void* read_handle() const
    {
        return m_read.get();
    }
    void* write_handle() const
    {
        return m_write.get();
    }
#else
    // -1 when this process does not hold that end.
    int read_fd() const
    {
        return m_read.get();
    }
    int write_fd() const
    {
        return m_write.get();
    }
#endif

private:
    PipeEnd m_read;
    PipeEnd m_write;
    std::mutex m_read_mutex;
    JsonLineBuffer m_lines;
    std::mutex m_write_mutex;
};

#ifdef _WIN32
// An event between processes: a manual-reset Win32 event. Setting never clears.
class HandleEvent final : public NamedEvent {
public:
    explicit HandleEvent(UniqueHandle event);

    void set() override;
    bool is_set() const override;
    bool wait(std::chrono::milliseconds timeout) const override;

    void* handle() const { return m_event.get(); }

private:
    UniqueHandle m_event;
};
#else
// An event between processes: an eventfd, readable (and so set) once any
// process wrote to it. Setting never clears.
class EventFdEvent final : public NamedEvent {
public:
    explicit EventFdEvent(UniqueFd fd);

    void set() override;
    bool is_set() const override;
    bool wait(std::chrono::milliseconds timeout) const override;

    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
};
#endif

// The biggest line a PipeQueue delivers whole between several writers.
std::size_t atomic_line_limit();

#ifdef _WIN32
// An anonymous pipe whose ends are not inherited; a child is handed
// inheritable duplicates of the ends it needs.
std::pair<UniqueHandle, UniqueHandle> make_queue_pipe();
UniqueHandle make_event_handle();
#else
// A pipe whose two ends close on exec and never block.
std::pair<UniqueFd, UniqueFd> make_queue_pipe();
UniqueFd make_event_fd();
#endif

}  // namespace wrenfold::platform
