#include "platform/environment.h"

#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>

extern char** environ;
#endif

namespace wrenfold::platform {

#ifndef _WIN32
std::optional<std::string> ProcessEnvironment::get(const std::string& name) const
{
    std::lock_guard guard(m_lock);
    const char* value = std::getenv(name.c_str());
    if (!value)
        return std::nullopt;
    return std::string(value);
}

void ProcessEnvironment::set(const std::string& name, const std::string& value)
{
    std::lock_guard guard(m_lock);
    ::setenv(name.c_str(), value.c_str(), 1);
}

std::vector<std::string> ProcessEnvironment::snapshot() const
{
    std::lock_guard guard(m_lock);
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry)
        entries.emplace_back(*entry);
    return entries;
}
#endif

std::optional<std::string> MapEnvironment::get(const std::string& name) const
{
    std::lock_guard guard(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void MapEnvironment::set(const std::string& name, const std::string& value)
{
    std::lock_guard guard(m_lock);
    m_values[name] = value;
}

void MapEnvironment::unset(const std::string& name)
{
    std::lock_guard guard(m_lock);
    m_values.erase(name);
}

std::vector<std::string> MapEnvironment::snapshot() const
{
    std::lock_guard guard(m_lock);
    std::vector<std::string> entries;
    for (const auto& [name, value] : m_values)
        entries.push_back(name + "=" + value);
    return entries;
}

}  // namespace wrenfold::platform
