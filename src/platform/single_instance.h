#pragma once

#include "core/unique_fd.h"
#ifdef _WIN32
#include "platform/win32/unique_handle.h"
#endif

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace wrenfold::platform {

// One application process per data directory. The first start takes a lock
// named after the directory (the kernel frees it when the process ends,
// however it ends) and listens on a Unix socket beside it, both in a folder
// only this user can enter, so that no one else can take the name first; a
// later start finds the lock taken and talks to the holder instead of opening
// the stores a second time.
class InstanceChannel {
public:
    // The claim, or nothing when another process holds the directory.
    static std::unique_ptr<InstanceChannel> claim(const std::filesystem::path& data_directory);
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    // Answers each later start, on a thread of its own, with one line made
    // by `answer` from the start's request line (run on that thread). Only
    // processes of the same user are answered. Serving again replaces the answer.
    void serve(std::function<std::string(std::string_view request)> answer);
    void stop_serving();

private:
#ifdef _WIN32
    InstanceChannel(UniqueHandle mutex, std::string pipe_name);
    UniqueHandle m_mutex;
    std::string m_pipe_name;
    UniqueHandle m_stop;  // set to end the server thread
#else
    InstanceChannel(int socket_fd, UniqueFd lock);
    int m_socket { -1 };
    UniqueFd m_lock;
    int m_wake[2] { -1, -1 };
#endif
    std::thread m_server;
};

// A short name for a data directory (a hash of its full path), the same in
// every process that names it.
std::string instance_key(const std::filesystem::path& data_directory);

// What a later start asks, one line: "show" (come forward), or "open"
// followed by a file's full path to show for import. The path travels as
// hex of its bytes, so that no name (a newline in it, bytes that are not
// UTF-8) can break the line.
inline constexpr std::string_view kShowRequest = "show";
inline constexpr std::size_t kMaxRequestLine = 4096;
// Nothing when the path makes a line longer than the holder reads.
std::optional<std::string> open_request(const std::filesystem::path& file);
// The file an "open" request names; nothing for "show", for anything
// unknown (asked to come forward only) and for a path that is not absolute.
std::optional<std::filesystem::path> file_to_open(std::string_view request);

// What the running instance answers a later start.
inline std::string window_shown_answer()
{
    return "shown";
}
inline constexpr std::string_view kAddressAnswerPrefix = "address ";
inline std::string address_answer(const std::string& address)
{
    return std::string(kAddressAnswerPrefix) + address;
}

// A file the running instance would not open, and why.
inline constexpr std::string_view kRefusedAnswerPrefix = "refused ";

// The folder of the lock and socket of a data directory: $XDG_RUNTIME_DIR/wrenfold
// (0700) when XDG_RUNTIME_DIR is set, else the data directory itself (0700).
// Windows keeps neither in a folder: the lock is a mutex and the channel a
// pipe, both named after the user's SID and the directory and open to that
// user alone; there this is the data directory.
std::filesystem::path instance_folder(const std::filesystem::path& data_directory);

// Sends `request` to the process that holds `data_directory`; its answer
// line, or nothing when no process of this user answered within `limit`.
std::optional<std::string> ask_running_instance(const std::filesystem::path& data_directory,
                                                std::chrono::milliseconds limit,
                                                std::string_view request = kShowRequest);

}  // namespace wrenfold::platform
