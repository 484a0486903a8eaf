#include "platform/user_path_store.h"

#include "platform/platform_error.h"

#include <stdexcept>

namespace wrenfold::platform {

std::string MemoryUserPathStore::read()
{
    std::lock_guard guard(m_lock);
    return m_value;
}

void MemoryUserPathStore::write(const std::string& value)
{
    std::lock_guard guard(m_lock);
    if (m_fail_writes)
        throw PlatformError("access denied");
    m_value = value;
    ++m_writes;
}

void MemoryUserPathStore::broadcast_change()
{
    std::lock_guard guard(m_lock);
    ++m_broadcasts;
}

std::string MemoryUserPathStore::value() const
{
    std::lock_guard guard(m_lock);
    return m_value;
}

int MemoryUserPathStore::writes() const
{
    std::lock_guard guard(m_lock);
    return m_writes;
}

int MemoryUserPathStore::broadcasts() const
{
    std::lock_guard guard(m_lock);
    return m_broadcasts;
}

void MemoryUserPathStore::fail_writes(bool fail)
{
    std::lock_guard guard(m_lock);
    m_fail_writes = fail;
}

}  // namespace wrenfold::platform
