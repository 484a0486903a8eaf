#include "platform/single_instance.h"

#include "core/wide_text.h"
#include "platform/win32/user_security.h"

#include <windows.h>

#include <algorithm>

namespace wrenfold::platform {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::wstring object_name(const fs::path& data_directory)
{
    return L"wrenfold-" + current_user_sid() + L"-" + to_wide(instance_key(data_directory));
}

std::wstring pipe_path(const std::string& name)
{
    return L"\\\\.\\pipe\\" + to_wide(name);
}

DWORD milliseconds_until(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::max<long long>(left, 0));
}

// One overlapped read or write that gives up at the deadline, or when `stop`
// is set; false then, or on any failure.
bool transfer(HANDLE pipe, bool writing, char* data, DWORD size, DWORD& done, Clock::time_point deadline,
              HANDLE stop = nullptr)
{
    OVERLAPPED overlapped {};
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    overlapped.hEvent = event.get();
    BOOL finished = writing ? ::WriteFile(pipe, data, size, nullptr, &overlapped)
                            : ::ReadFile(pipe, data, size, nullptr, &overlapped);
    if (!finished && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    HANDLE waits[2] = { event.get(), stop };
    DWORD woke = ::WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, milliseconds_until(deadline));
    if (woke != WAIT_OBJECT_0) {
        ::CancelIo(pipe);
        ::GetOverlappedResult(pipe, &overlapped, &done, TRUE);
        return false;
    }
    return ::GetOverlappedResult(pipe, &overlapped, &done, FALSE) && done > 0;
}

bool write_line(HANDLE pipe, std::string line, Clock::time_point deadline, HANDLE stop = nullptr)
{
    std::size_t sent = 0;
    while (sent < line.size()) {
        DWORD done = 0;
        if (!transfer(pipe, true, line.data() + sent, static_cast<DWORD>(line.size() - sent), done, deadline, stop))
            return false;
        sent += done;
    }
    return true;
}

std::optional<std::string> read_line(HANDLE pipe, Clock::time_point deadline, HANDLE stop = nullptr)
{
    std::string line;
    char c = 0;
    while (line.size() < kMaxRequestLine) {
        DWORD done = 0;
        if (!transfer(pipe, false, &c, 1, done, deadline, stop))
            return std::nullopt;
        if (c == '\n')
            return line;
        line += c;
    }
    return std::nullopt;
}

// Waits for one client on a fresh instance of the pipe and answers it.
// False when the pipe cannot be made or the server is asked to stop.
bool answer_one(const std::wstring& path, HANDLE stop, const std::function<std::string(std::string_view)>& answer)
{
    PrivateSecurity security;
    // The first instance flag refuses a pipe of that name made by anyone
    // else first; the DACL lets no other user open ours.
    UniqueHandle pipe(::CreateNamedPipeW(path.c_str(),
                                         PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                         1, 4096, 4096, 0, static_cast<SECURITY_ATTRIBUTES*>(security.get())));
    if (!pipe.valid())
        return false;
    OVERLAPPED overlapped {};
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    overlapped.hEvent = event.get();
    if (!::ConnectNamedPipe(pipe.get(), &overlapped)) {
        DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            HANDLE waits[2] = { event.get(), stop };
            if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                ::CancelIo(pipe.get());
                DWORD ignored = 0;
                ::GetOverlappedResult(pipe.get(), &overlapped, &ignored, TRUE);
                return false;
            }
        } else if (error != ERROR_PIPE_CONNECTED) {
            return true;  // that client went again; wait for the next
        }
    }
    ULONG client = 0;
    std::optional<std::string> request;
    if (::GetNamedPipeClientProcessId(pipe.get(), &client) && process_is_current_user(client) &&
        (request = read_line(pipe.get(), Clock::now() + 2s, stop))) {
        std::string reply;
        try {
            reply = answer(*request);
        } catch (...) {
        }
        if (write_line(pipe.get(), reply + "\n", Clock::now() + 2s, stop))
            ::FlushFileBuffers(pipe.get());
    }
    ::DisconnectNamedPipe(pipe.get());
    return true;
}

}  // namespace

fs::path instance_folder(const fs::path& data_directory)
{
    return data_directory;
}

std::unique_ptr<InstanceChannel> InstanceChannel::claim(const fs::path& data_directory)
{
    std::wstring name = object_name(data_directory);
    PrivateSecurity security;
    if (!security.get())
        return nullptr;
    // The system frees the mutex with its last handle, when the holder ends however it ends.
    UniqueHandle mutex(
        ::CreateMutexW(static_cast<SECURITY_ATTRIBUTES*>(security.get()), FALSE, (L"Local\\" + name).c_str()));
    if (!mutex.valid() || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return nullptr;
    return std::unique_ptr<InstanceChannel>(new InstanceChannel(std::move(mutex), from_wide(name)));
}

InstanceChannel::InstanceChannel(UniqueHandle mutex, std::string pipe_name)
    : m_mutex(std::move(mutex)),
      m_pipe_name(std::move(pipe_name))
{
}

InstanceChannel::~InstanceChannel()
{
    stop_serving();
}

void InstanceChannel::serve(std::function<std::string(std::string_view request)> answer)
{
    stop_serving();
    m_stop.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_stop.valid())
        return;
    m_server = std::thread([path = pipe_path(m_pipe_name), stop = m_stop.get(), answer = std::move(answer)] {
        while (::WaitForSingleObject(stop, 0) != WAIT_OBJECT_0 && answer_one(path, stop, answer)) { }
    });
}

void InstanceChannel::stop_serving()
{
    if (m_server.joinable()) {
        ::SetEvent(m_stop.get());
        m_server.join();
    }
    m_stop.reset();
}

std::optional<std::string> ask_running_instance(const fs::path& data_directory, std::chrono::milliseconds limit,
                                                std::string_view request)
{
    auto deadline = Clock::now() + limit;
    std::wstring path = pipe_path(from_wide(object_name(data_directory)));
    // The holder may still be starting, or answering another start.
    while (Clock::now() < deadline) {
        UniqueHandle pipe(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                        nullptr));
        if (pipe.valid()) {
            ULONG server = 0;
            if (!::GetNamedPipeServerProcessId(pipe.get(), &server) || !process_is_current_user(server))
                return std::nullopt;
            if (write_line(pipe.get(), std::string(request) + "\n", deadline))
                if (auto line = read_line(pipe.get(), std::max(deadline, Clock::now() + 100ms)))
                    return line;
        }
        std::this_thread::sleep_for(100ms);
    }
    return std::nullopt;
}

}  // namespace wrenfold::platform
