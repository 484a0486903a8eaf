#pragma once

#include <mutex>
#include <string>

namespace wrenfold::platform {

// The user's own PATH, kept by the system apart from any process (on Windows
// the "Path" value of the user's environment in the registry).
class UserPathStore {
public:
    virtual ~UserPathStore() = default;
    // The stored value, "" when there is none or it cannot be read.
    virtual std::string read() = 0;
    // Throws when the value cannot be written.
    virtual void write(const std::string& value) = 0;
    // Tells running programs that the user environment changed.
    virtual void broadcast_change() = 0;
};

// Linux keeps no per-user PATH outside the shells' start-up files, which the
// program does not edit: nothing is read, written or announced.
class NoUserPathStore final : public UserPathStore {
public:
    std::string read() override { return ""; }
    void write(const std::string&) override { }
    void broadcast_change() override { }
};

#ifdef _WIN32
// The "Path" value of HKEY_CURRENT_USER\<key> (the user's environment unless a
// test names another key). Read without expanding %NAME% references, written
// back as REG_EXPAND_SZ so that they stay references. The announcement is
// WM_SETTINGCHANGE "Environment" to every top-level window, each given
// `kBroadcastTimeoutMs` to answer; windows that hang are skipped.
class RegistryUserPathStore final : public UserPathStore {
public:
    static constexpr unsigned kBroadcastTimeoutMs = 5000;

    explicit RegistryUserPathStore(std::string key = "Environment")
        : m_key(std::move(key))
    {
    }
    std::string read() override;
    void write(const std::string& value) override;
    void broadcast_change() override;

private:
    std::string m_key;
};
#endif

// A store held in memory that behaves like the Windows registry value: it
// remembers what was written, and counts writes and announcements.
class MemoryUserPathStore final : public UserPathStore {
public:
    explicit MemoryUserPathStore(std::string value = "")
        : m_value(std::move(value))
    {
    }

    std::string read() override;
    void write(const std::string& value) override;
    void broadcast_change() override;

    std::string value() const;
    int writes() const;
    int broadcasts() const;
    void fail_writes(bool fail);

private:
    mutable std::mutex m_lock;
    std::string m_value;
    int m_writes { 0 };
    int m_broadcasts { 0 };
    bool m_fail_writes { false };
};

}  // namespace wrenfold::platform
