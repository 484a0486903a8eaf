#include "core/atomic_store.h"

#include "core/random.h"
#include "core/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "core/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <regex>
#include <system_error>

namespace wrenfold {
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
[[noreturn]] void throw_last_error(const std::string& what, const fs::path& path)
{
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what + " " + utf8_text(path));
}

// A new file that no other program may open while it is written. Its
// permissions are the data folder's: on Windows a user's folder is private by
// its access list, not by mode bits.
void write_synced_file(const fs::path& path, std::string_view data)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw_last_error("open", path);
    std::unique_ptr<void, decltype(&CloseHandle)> owned(file, &CloseHandle);
    while (!data.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data.data(), chunk, &written, nullptr))
            throw_last_error("write", path);
        data.remove_prefix(written);
    }
    if (!FlushFileBuffers(file))
        throw_last_error("flush", path);
    // Closed here rather than on drop, so that a failing close is reported.
    if (!CloseHandle(owned.release()))
        throw_last_error("close", path);
}

void replace_file(const fs::path& temp, const fs::path& path)
{
    // Write-through: the call returns once the new name is on the disk, which
    // is what syncing the directory does on Linux. A file that another
    // program (a virus scanner, a backup, an editor) holds open cannot be
    // replaced until it lets go, which takes moments: the store is tried
    // again for a while rather than left behind the state in memory.
    constexpr int kAttempts = 200;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        DWORD error = GetLastError();
        if (attempt == kAttempts || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            throw_last_error("rename", temp);
        Sleep(5);
    }
}

void sync_directory(const fs::path&)
{
}
#else
[[noreturn]] void throw_errno(const std::string& what, const fs::path& path)
{
    throw std::system_error(errno, std::generic_category(), what + " " + utf8_text(path));
}

void write_all(int fd, std::string_view data, const fs::path& path)
{
    while (!data.empty()) {
        ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw_errno("write", path);
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

void write_synced_file(const fs::path& path, std::string_view data)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid())
        throw_errno("open", path);
    write_all(fd.get(), data, path);
    if (::fsync(fd.get()) != 0)
        throw_errno("fsync", path);
    // Closed here rather than on drop, so that a failing close is reported.
    if (::close(fd.release()) != 0)
        throw_errno("close", path);
}

void sync_directory(const fs::path& directory)
{
    UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        throw_errno("open", directory);
    if (::fsync(fd.get()) != 0)
        throw_errno("fsync", directory);
}

void replace_file(const fs::path& temp, const fs::path& path)
{
    if (::rename(temp.c_str(), path.c_str()) != 0)
        throw_errno("rename", temp);
}
#endif

}  // namespace

void atomic_write_json(const fs::path& path, const Json& value)
{
    atomic_write_text(path, dump_pretty(value));
}

void atomic_write_text(const fs::path& path, std::string_view text)
{
    // Appended to the path itself: a round trip through a narrow string
    // would lose a folder name outside the ANSI code page on Windows.
    fs::path temp = path;
    temp += "." + new_uuid_hex().substr(0, 8) + ".tmp";
    try {
        write_synced_file(temp, text);
        replace_file(temp, path);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw;
    }
    fs::path directory = path.parent_path();
    sync_directory(directory.empty() ? fs::path(".") : directory);
}

bool is_store_temp_name(const std::string& name)
{
    static const std::regex pattern(R"(.+\.json\.[0-9a-f]{8}\.tmp)");
    return std::regex_match(name, pattern);
}

void remove_stale_store_temps(const fs::path& directory)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        std::error_code ignored;
        if (entry.is_regular_file(ignored) && is_store_temp_name(utf8_text(entry.path().filename())))
            fs::remove(entry.path(), ignored);
    }
}

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::system_error(errno, std::generic_category(), "cannot open " + utf8_text(path));
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::system_error(errno, std::generic_category(), "cannot read " + utf8_text(path));
    return data;
}

void keep_unreadable_copy(const fs::path& path) noexcept
{
    try {
        fs::path copy = path;
        copy += ".unreadable";
        atomic_write_text(copy, read_file(path));
    } catch (...) {
    }
}

std::string load_error_text(const std::exception& error)
{
    std::string text = error.what();
    if (dynamic_cast<const Json::parse_error*>(&error))
        if (auto quoted = text.find("; last read: "); quoted != std::string::npos)
            text.erase(quoted);
    return text;
}

}  // namespace wrenfold
