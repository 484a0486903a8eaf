#include "core/private_folder.h"

#include "core/random.h"
#include "core/utf8_path.h"

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <system_error>
#include <vector>

namespace wrenfold {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void throw_error(DWORD code, const std::string& what)
{
    throw std::system_error(static_cast<int>(code), std::system_category(), what);
}

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// The security identifier of the user this process runs as.
std::vector<BYTE> current_user()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        throw_error(GetLastError(), "OpenProcessToken");
    std::unique_ptr<void, decltype(&CloseHandle)> owned(token, &CloseHandle);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        throw_error(GetLastError(), "GetTokenInformation");
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer.data());
    DWORD sid_size = GetLengthSid(user->User.Sid);
    std::vector<BYTE> sid(sid_size);
    CopySid(sid_size, sid.data(), user->User.Sid);
    return sid;
}

// Owned by the user, one entry granting the user everything (inherited by
// what is made inside), and protected: nothing comes from the parent.
std::unique_ptr<void, LocalFreer> private_descriptor()
{
    std::vector<BYTE> sid = current_user();
    LPWSTR sid_text = nullptr;
    if (!ConvertSidToStringSidW(sid.data(), &sid_text))
        throw_error(GetLastError(), "ConvertSidToStringSidW");
    std::wstring user(sid_text);
    LocalFree(sid_text);
    std::wstring sddl = L"O:" + user + L"D:P(A;OICI;FA;;;" + user + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        throw_error(GetLastError(), "ConvertStringSecurityDescriptorToSecurityDescriptorW");
    return std::unique_ptr<void, LocalFreer>(descriptor);
}

// The user, and the system and administrators, who can enter any folder
// whatever its access list says.
bool may_enter_any_folder(PSID sid, std::vector<BYTE>& user)
{
    if (EqualSid(sid, user.data()))
        return true;
    for (WELL_KNOWN_SID_TYPE kind : { WinLocalSystemSid, WinBuiltinAdministratorsSid }) {
        BYTE known[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof known;
        if (CreateWellKnownSid(kind, nullptr, known, &size) && EqualSid(sid, known))
            return true;
    }
    return false;
}

void restrict_existing(const fs::path& folder)
{
    auto descriptor = private_descriptor();
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted);
    std::wstring name = folder.wstring();
    DWORD status = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, dacl, nullptr);
    if (status != ERROR_SUCCESS)
        throw_error(status, "SetNamedSecurityInfoW " + utf8_text(folder));
}

}  // namespace

void make_private_directories(const fs::path& folder)
{
    if (!fs::exists(folder)) {
        fs::create_directories(folder.parent_path());
        std::error_code ignored;
        try {
            make_private_folder(folder);
            return;
        } catch (const std::system_error&) {
            if (!fs::is_directory(folder, ignored))  // not made at the same moment by another process
                throw;
        }
    }
    restrict_existing(folder);
}

fs::path make_private_temp_folder(const fs::path& parent, const std::string& prefix)
{
    for (int attempt = 0;; ++attempt) {
        fs::path folder = parent / (prefix + random_hex(4));
        try {
            make_private_folder(folder);
            return folder;
        } catch (const std::system_error& error) {
            if (error.code().value() != ERROR_ALREADY_EXISTS || attempt == 20)
                throw;
        }
    }
}

void make_private_folder(const fs::path& folder)
{
    auto descriptor = private_descriptor();
    SECURITY_ATTRIBUTES attributes { sizeof attributes, descriptor.get(), FALSE };
    if (!CreateDirectoryW(folder.c_str(), &attributes))
        throw_error(GetLastError(), utf8_text(folder));
}

bool is_private_folder_of_ours(const fs::path& folder)
{
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring name = folder.wstring();
    if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    std::unique_ptr<void, LocalFreer> owned(descriptor);
    std::vector<BYTE> user = current_user();
    if (!owner || !EqualSid(owner, user.data()) || !dacl)
        return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry))
            return false;
        auto* header = static_cast<ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;  // a denial closes, never opens
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!may_enter_any_folder(reinterpret_cast<PSID>(&allowed->SidStart), user))
            return false;
    }
    return true;
}

}  // namespace wrenfold
