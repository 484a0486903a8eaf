#include "platform/single_instance.h"

#include "core/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wrenfold::platform {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A folder of this user's that no one else can enter: made 0700 when missing,
// taken as it is only when it is a real folder (no link) of ours with no
// rights for anyone else.
bool make_private_folder(const fs::path& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info { };
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & 077) == 0;
}

// The socket's address through an open descriptor of its folder, so that a
// long folder path still fits in sun_path.
sockaddr_un socket_address(int folder_fd, const std::string& name, socklen_t& length)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::string path = "/proc/self/fd/" + std::to_string(folder_fd) + "/" + name;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size() + 1, sizeof address.sun_path - 1));
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return address;
}

std::string socket_file_name(const fs::path& data_directory)
{
    return "instance-" + instance_key(data_directory) + ".sock";
}

std::string lock_file_name(const fs::path& data_directory)
{
    return "instance-" + instance_key(data_directory) + ".lock";
}

UniqueFd open_folder(const fs::path& folder)
{
    return UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool peer_is_same_user(int fd)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

bool wait_readable(int fd, std::chrono::milliseconds limit)
{
    pollfd entry { fd, POLLIN, 0 };
    return ::poll(&entry, 1, static_cast<int>(limit.count())) == 1;
}

void write_all(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t written = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

std::optional<std::string> read_line(int fd, std::chrono::milliseconds limit)
{
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + limit;
    char c = 0;
    while (line.size() < kMaxRequestLine) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= 0ms || !wait_readable(fd, left) || ::read(fd, &c, 1) != 1)
            return std::nullopt;
        if (c == '\n')
            return line;
        line += c;
    }
    return std::nullopt;
}

}  // namespace

fs::path instance_folder(const fs::path& data_directory)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') {
        fs::path folder = fs::path(runtime) / "wrenfold";
        if (make_private_folder(folder))
            return folder;
    }
    std::error_code ignored;
    fs::create_directories(data_directory, ignored);
    fs::permissions(data_directory, fs::perms::owner_all, fs::perm_options::replace, ignored);
    return data_directory;
}

std::unique_ptr<InstanceChannel> InstanceChannel::claim(const fs::path& data_directory)
{
    UniqueFd folder = open_folder(instance_folder(data_directory));
    if (!folder.valid())
        return nullptr;
    // The lock says who holds the directory; the kernel lets it go when the
    // holder ends, however it ends. A socket file left by an ended holder is
    // then taken over.
    UniqueFd lock(::openat(folder.get(), lock_file_name(data_directory).c_str(),
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.valid() || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    std::string socket_name = socket_file_name(data_directory);
    ::unlinkat(folder.get(), socket_name.c_str(), 0);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return nullptr;
    socklen_t length = 0;
    sockaddr_un address = socket_address(folder.get(), socket_name, length);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd.get(), 8) != 0)
        return nullptr;
    return std::unique_ptr<InstanceChannel>(new InstanceChannel(fd.release(), std::move(lock)));
}

InstanceChannel::InstanceChannel(int socket_fd, UniqueFd lock)
    : m_socket(socket_fd),
      m_lock(std::move(lock))
{
}

InstanceChannel::~InstanceChannel()
{
    stop_serving();
    ::close(m_socket);
}

void InstanceChannel::serve(std::function<std::string(std::string_view request)> answer)
{
    stop_serving();
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        return;
    m_server = std::thread([this, answer = std::move(answer), wake = m_wake[0]] {
        while (true) {
            pollfd entries[2] = { { m_socket, POLLIN, 0 }, { wake, POLLIN, 0 } };
            if (::poll(entries, 2, -1) < 0 && errno != EINTR)
                return;
            if (entries[1].revents)
                return;
            if (!(entries[0].revents & POLLIN))
                continue;
            UniqueFd client(::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC));
            if (client.get() < 0 || !peer_is_same_user(client.get()))
                continue;
            auto request = read_line(client.get(), 2s);
            if (!request)
                continue;
            std::string reply;
            try {
                reply = answer(*request);
            } catch (...) {
            }
            write_all(client.get(), reply + "\n");
        }
    });
}

void InstanceChannel::stop_serving()
{
    if (m_server.joinable()) {
        char byte = 0;
        [[maybe_unused]] auto ignored = ::write(m_wake[1], &byte, 1);
        m_server.join();
    }
    for (int& end : m_wake) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

std::optional<std::string> ask_running_instance(const fs::path& data_directory, std::chrono::milliseconds limit,
                                                std::string_view request)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    UniqueFd folder = open_folder(instance_folder(data_directory));
    if (!folder.valid())
        return std::nullopt;
    socklen_t length = 0;
    sockaddr_un address = socket_address(folder.get(), socket_file_name(data_directory), length);
    // The holder may still be starting; it answers once it serves.
    while (std::chrono::steady_clock::now() < deadline) {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (fd.get() < 0)
            return std::nullopt;
        if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), length) == 0) {
            if (!peer_is_same_user(fd.get()))
                return std::nullopt;
            write_all(fd.get(), std::string(request) + "\n");
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (auto line = read_line(fd.get(), std::max(left, 100ms)))
                return line;
        }
        std::this_thread::sleep_for(100ms);
    }
    return std::nullopt;
}

}  // namespace wrenfold::platform
