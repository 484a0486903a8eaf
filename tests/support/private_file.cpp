#include "support/private_file.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>

#include <memory>
#include <vector>
#endif

namespace wrenfold::testing {

#ifdef _WIN32
namespace {

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::vector<BYTE> current_user()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    std::unique_ptr<void, decltype(&CloseHandle)> owned(token, &CloseHandle);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return { bytes, bytes + GetLengthSid(sid) };
}

}  // namespace

bool is_private_to_user(const std::filesystem::path& file)
{
    std::vector<BYTE> user = current_user();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring name = file.wstring();
    if (user.empty() ||
        GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return false;
    std::unique_ptr<void, LocalFreer> owned(descriptor);
    if (!dacl)
        return false;  // no access list at all lets everyone in
    bool user_allowed = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry))
            return false;
        if (static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), user.data()))
            return false;
        user_allowed = true;
    }
    return user_allowed;
}

bool running_under_wine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#else
bool is_private_to_user(const std::filesystem::path& file)
{
    using std::filesystem::perms;
    std::error_code error;
    perms mode = std::filesystem::status(file, error).permissions();
    if (error)
        return false;
    return (mode & (perms::group_all | perms::others_all)) == perms::none &&
        (mode & (perms::owner_read | perms::owner_write)) == (perms::owner_read | perms::owner_write);
}

bool running_under_wine()
{
    return false;
}
#endif

}  // namespace wrenfold::testing
