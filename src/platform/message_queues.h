#pragma once

#include "core/json.h"
#include "core/unique_fd.h"

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

// A queue between processes: one JSON value per line on a pipe. A process may
// hold the reading end, the writing end or both (the application holds both
// ends of "get_receipt" so that it can wake its own reader). Lines that are
// not JSON are skipped, and so are lines longer than a mebibyte. A line of at
// most PIPE_BUF bytes arrives whole even with several writers.
class PipeQueue final : public MessageQueue {
public:
    PipeQueue(UniqueFd read_end, UniqueFd write_end);

    std::optional<Json> get(std::chrono::milliseconds timeout) override;
    void put_nowait(Json value) override;

    // -1 when this process does not hold that end.
    int read_fd() const { return m_read.get(); }
    int write_fd() const { return m_write.get(); }

private:
    std::optional<Json> next_buffered_line();

    UniqueFd m_read;
    UniqueFd m_write;
    std::mutex m_read_mutex;
    std::string m_buffer;
    std::size_t m_scanned { 0 };     // bytes of m_buffer known to hold no newline
    bool m_dropping_line { false };  // the rest of a line too long to keep
    std::mutex m_write_mutex;
};

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

// The biggest line a PipeQueue delivers whole between several writers.
std::size_t atomic_line_limit();

// A pipe whose two ends close on exec and never block.
std::pair<UniqueFd, UniqueFd> make_queue_pipe();
UniqueFd make_event_fd();

}  // namespace wrenfold::platform
