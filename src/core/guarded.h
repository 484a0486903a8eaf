#pragma once

#include <mutex>
#include <utility>

namespace wrenfold {

// A value shared between threads together with the lock that guards it. The
// only ways in are under the lock: `with_locked` runs a function on the value,
// `snapshot` copies it out, `replace` swaps in a new one.
template <typename T> class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T value)
        : m_value(std::move(value))
    {
    }
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    template <typename Function> decltype(auto) with_locked(Function&& function)
    {
        std::lock_guard lock(m_mutex);
        return std::forward<Function>(function)(m_value);
    }

    template <typename Function> decltype(auto) with_locked(Function&& function) const
    {
        std::lock_guard lock(m_mutex);
        return std::forward<Function>(function)(static_cast<const T&>(m_value));
    }

    T snapshot() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

    void replace(T value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value {};
};

}  // namespace wrenfold
