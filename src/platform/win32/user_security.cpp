#include "platform/win32/user_security.h"

#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

namespace wrenfold::platform {

namespace {

std::wstring sid_of_process(HANDLE process)
{
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw))
        return L"";
    UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return L"";
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return L"";
    std::wstring sid(text);
    ::LocalFree(text);
    return sid;
}

}  // namespace

std::wstring current_user_sid()
{
    return sid_of_process(::GetCurrentProcess());
}

bool process_is_current_user(unsigned long process_id)
{
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (!process.valid())
        return false;
    std::wstring sid = sid_of_process(process.get());
    return !sid.empty() && sid == current_user_sid();
}

struct PrivateSecurity::Parts {
    PSECURITY_DESCRIPTOR descriptor { nullptr };
    SECURITY_ATTRIBUTES attributes {};
};

PrivateSecurity::PrivateSecurity()
    : m_parts(std::make_unique<Parts>())
{
    std::wstring sid = current_user_sid();
    if (sid.empty())
        return;
    // Protected (no inherited entries), one entry: all access for this user.
    std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")";
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &m_parts->descriptor,
                                                                nullptr))
        return;
    m_parts->attributes = { sizeof(SECURITY_ATTRIBUTES), m_parts->descriptor, FALSE };
}

PrivateSecurity::~PrivateSecurity()
{
    if (m_parts->descriptor)
        ::LocalFree(m_parts->descriptor);
}

void* PrivateSecurity::get() const
{
    return m_parts->descriptor ? &m_parts->attributes : nullptr;
}

}  // namespace wrenfold::platform
