#pragma once

#include <memory>
#include <string>

namespace wrenfold::platform {

// The SID of the user this process runs as, as text ("S-1-5-21-…"); "" when
// it cannot be read.
std::wstring current_user_sid();
// Whether the process of that id runs as this same user.
bool process_is_current_user(unsigned long process_id);

// Security attributes that give the current user full access and no one
// else any; `get()` is a SECURITY_ATTRIBUTES*, null when none could be built.
class PrivateSecurity {
public:
    PrivateSecurity();
    ~PrivateSecurity();
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;
    void* get() const;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace wrenfold::platform
