#pragma once

#include <utility>

namespace wrenfold::platform {

// Owns one Windows HANDLE (kept as void* so that headers need not include
// <windows.h>) and closes it when dropped. Both null and
// INVALID_HANDLE_VALUE count as no handle.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(void* handle)
        : m_handle(handle)
    {
    }
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    void* get() const { return m_handle; }
    bool valid() const { return m_handle != nullptr && m_handle != reinterpret_cast<void*>(-1); }
    void* release() { return std::exchange(m_handle, nullptr); }
    void reset(void* handle = nullptr);

private:
    void* m_handle { nullptr };
};

}  // namespace wrenfold::platform
