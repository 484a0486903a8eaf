// The launcher on Windows, where there is no fork: the application runs in
// this process, and the sync worker is this program again, started hidden in
// a job that ends it when this process ends, however that ends.
#include "shell/launcher.h"

#include "core/log.h"
#include "core/wide_text.h"
#include "platform/environment.h"
#include "platform/win32/process_launch.h"
#include "sync/worker_process.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace wrenfold {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRestartSpacing = 60s;
constexpr DWORD kWorkerGraceMs = 3000;  // after the application ended

std::filesystem::path this_program()
{
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// An inheritable copy of `handle`, for one child.
platform::UniqueHandle inheritable(void* handle)
{
    HANDLE copy = nullptr;
    HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, handle, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return {};
    return platform::UniqueHandle(copy);
}

int handle_number(const platform::UniqueHandle& handle)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle.get()));
}

class Launcher {
public:
    explicit Launcher(const ApplicationEntry& application)
        : m_application(application)
    {
    }

    int run()
    {
        auto [receipt_read, receipt_write] = platform::make_queue_pipe();
        auto [end_read, end_write] = platform::make_queue_pipe();
        m_receipt_write = std::move(receipt_write);
        m_end_read = std::move(end_read);
        auto end_event = std::make_shared<platform::HandleEvent>(platform::make_event_handle());
        m_event = end_event;
        auto end_queue = std::make_shared<platform::PipeQueue>(platform::UniqueHandle(), std::move(end_write));
        auto receipt = std::make_shared<platform::PipeQueue>(std::move(receipt_read), inheritable_copy_for_us());
        m_program = this_program();

        start_worker(false);
        std::thread keeper([this] { keep_worker_running(); });
        int status = 1;
        try {
            status = m_application({ { "get_receipt", receipt }, { "end", end_queue } }, { { "end", end_event } });
        } catch (...) {
        }
        // A failed application gave no end signals of its own: give them.
        try {
            end_event->set();
            end_queue->put_nowait(nullptr);
        } catch (...) {
        }
        {
            std::lock_guard lock(m_lock);
            m_application_ended = true;
        }
        m_changed.notify_all();
        keeper.join();
        end_worker();
        return status;
    }

private:
    // The application holds both ends of "get_receipt", so that it can wake its own reader.
    platform::UniqueHandle inheritable_copy_for_us()
    {
        HANDLE copy = nullptr;
        HANDLE self = ::GetCurrentProcess();
        ::DuplicateHandle(self, m_receipt_write.get(), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return platform::UniqueHandle(copy);
    }

    void start_worker(bool restarted)
    {
        try {
            platform::UniqueHandle event = inheritable(m_event->handle());
            platform::UniqueHandle end_queue = inheritable(m_end_read.get());
            platform::UniqueHandle receipt = inheritable(m_receipt_write.get());
            sync::WorkerHandoff handoff { handle_number(event), handle_number(end_queue), handle_number(receipt) };
            platform::LaunchRequest request;
            request.argv = { from_wide(m_program.wstring()) };
            request.environment = platform::ProcessEnvironment().snapshot();
            request.environment.push_back(std::string(sync::kWorkerMarker) + "=" + sync::handoff_text(handoff));
            if (restarted)
                request.environment.push_back(std::string(sync::kWorkerRestartMarker) + "=1");
            request.creation_flags = CREATE_NO_WINDOW;
            request.also_inherited = { event.get(), end_queue.get(), receipt.get() };
            auto launched = platform::launch_process(request);
            platform::end_job_with_this_process(launched.job.get());
            std::lock_guard lock(m_lock);
            m_worker = std::move(launched);
        } catch (const std::exception& error) {
            log_line("[sync]", std::string("the sync worker cannot be started: ") + error.what());
        }
    }

    // Starts a worker that died while the application runs again, at most once a minute.
    void keep_worker_running()
    {
        std::optional<Clock::time_point> last_restart;
        std::unique_lock lock(m_lock);
        while (!m_application_ended) {
            HANDLE worker = m_worker.process.get();
            lock.unlock();
            bool died = worker && ::WaitForSingleObject(worker, 200) == WAIT_OBJECT_0;
            if (!worker)
                std::this_thread::sleep_for(200ms);
            lock.lock();
            if (m_application_ended || (!died && worker))
                continue;
            // A worker that ended on the end event is not started again.
            if (m_event->is_set()) {
                m_worker = {};
                m_changed.wait(lock, [this] { return m_application_ended; });
                break;
            }
            if (died) {
                DWORD code = 0;
                ::GetExitCodeProcess(worker, &code);
                log_line("[sync]",
                         "the sync worker exited with status " + std::to_string(code) + "; it will be started again");
                m_worker = {};
            }
            auto now = Clock::now();
            auto at = last_restart ? std::max(now, *last_restart + kRestartSpacing) : now;
            if (m_changed.wait_until(lock, at, [this] { return m_application_ended; }))
                break;
            last_restart = Clock::now();
            lock.unlock();
            start_worker(true);
            lock.lock();
        }
    }

    // The worker ends by itself on the end event; one that does not is ended with its job.
    void end_worker()
    {
        std::lock_guard lock(m_lock);
        if (!m_worker.process.valid())
            return;
        if (::WaitForSingleObject(m_worker.process.get(), kWorkerGraceMs) != WAIT_OBJECT_0 && m_worker.job.valid())
            ::TerminateJobObject(m_worker.job.get(), 1);
        m_worker = {};
    }

    const ApplicationEntry& m_application;
    std::filesystem::path m_program;
    platform::UniqueHandle m_receipt_write, m_end_read;
    std::shared_ptr<platform::HandleEvent> m_event;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_application_ended { false };
    platform::LaunchedProcess m_worker;
};

}  // namespace

int run_launcher(const ApplicationEntry& application)
{
    return Launcher(application).run();
}

}  // namespace wrenfold
