#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::platform {

// The environment variables the program reads and the one it changes (PATH
// after an installation). Children started by the program receive a
// snapshot() of it, so a test can hand the code a private environment.
class Environment {
public:
    virtual ~Environment() = default;
    virtual std::optional<std::string> get(const std::string& name) const = 0;
    virtual void set(const std::string& name, const std::string& value) = 0;
    // "NAME=value" entries for a child's environment.
    virtual std::vector<std::string> snapshot() const = 0;

    // The value, or "" when unset.
    std::string get_or_empty(const std::string& name) const { return get(name).value_or(""); }
};

// The process's own environment. getenv/setenv are not safe against each
// other, so every access of ours goes through one lock.
class ProcessEnvironment final : public Environment {
public:
    std::optional<std::string> get(const std::string& name) const override;
    void set(const std::string& name, const std::string& value) override;
    std::vector<std::string> snapshot() const override;

private:
    mutable std::mutex m_lock;
};

// A private environment held in memory (tests, and children that must not see
// the program's own variables).
class MapEnvironment final : public Environment {
public:
    MapEnvironment() = default;
    MapEnvironment(std::initializer_list<std::map<std::string, std::string>::value_type> values)
        : m_values(values)
    {
    }

    std::optional<std::string> get(const std::string& name) const override;
    void set(const std::string& name, const std::string& value) override;
    void unset(const std::string& name);
    std::vector<std::string> snapshot() const override;

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_values;
};

}  // namespace wrenfold::platform
