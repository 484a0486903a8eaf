#pragma once

#include "core/json.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace wrenfold {

// A named queue shared with the launcher and the sync worker. Values are JSON;
// null is a valid value (it is the wake-up put in at shutdown).
class MessageQueue {
public:
    virtual ~MessageQueue() = default;
    // The next value, or nothing when none came within `timeout`.
    virtual std::optional<Json> get(std::chrono::milliseconds timeout) = 0;
    virtual void put_nowait(Json value) = 0;
};

// A named flag shared with the other processes.
class NamedEvent {
public:
    virtual ~NamedEvent() = default;
    virtual void set() = 0;
    virtual bool is_set() const = 0;
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

private:
    mutable std::mutex m_mutex;
    bool m_set { false };
};

}  // namespace wrenfold
