#include "platform/child_process.h"

#include "core/wide_text.h"
#include "platform/command_lookup.h"
#include "platform/utf8.h"
#include "platform/win32/process_launch.h"

#include <windows.h>

#include <condition_variable>
#include <system_error>
#include <thread>

namespace wrenfold::platform {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// Anonymous pipes cannot be waited on with a time-out, so each output is
// drained by a thread of its own and the input is written by a third; the
// owner waits on what they collected.
struct ChildProcess::Streams {
    UniqueHandle input;
    std::mutex lock;
    std::condition_variable changed;
    std::string bytes[2];
    bool ended[2] { false, false };
    bool too_much { false };
    std::size_t limit { 0 };
    std::thread readers[2];
    std::thread writer;
    std::string pending_input;

    void drain(std::size_t index, UniqueHandle pipe)
    {
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(pipe.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
            std::lock_guard guard(lock);
            if (bytes[index].size() + got > limit) {
                too_much = true;
                break;
            }
            bytes[index].append(buffer, got);
        }
        std::lock_guard guard(lock);
        ended[index] = true;
        changed.notify_all();
    }

    void join()
    {
        for (auto* thread : { &readers[0], &readers[1], &writer }) {
            if (thread->joinable())
                thread->join();
        }
    }
};

std::shared_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& environment,
                                                  const ChildOptions& options)
{
    if (argv.empty() || argv.front().empty())
        throw std::invalid_argument("empty command line");
    ChildPipes pipes = make_child_pipes();
    LaunchRequest request;
    request.argv = argv;
    request.environment = environment;
    request.working_directory = options.working_directory;
    request.creation_flags = CREATE_NO_WINDOW;
    request.inherited = { pipes.child_input.get(), pipes.child_output.get(), pipes.child_error.get() };
    LaunchedProcess launched = launch_process(request);
    pipes.child_input.reset();
    pipes.child_output.reset();
    pipes.child_error.reset();

    std::shared_ptr<ChildProcess> child(new ChildProcess());
    child->m_pid = static_cast<pid_t>(launched.id);
    child->m_process = std::move(launched.process);
    child->m_job = std::move(launched.job);
    child->m_output_limit = options.output_limit;
    if (options.end_with_starter)
        end_job_with_this_process(child->m_job.get());
    auto streams = std::make_shared<Streams>();
    streams->limit = options.output_limit;
    streams->input = std::move(pipes.our_input);
    streams->readers[0] = std::thread(&Streams::drain, streams.get(), 0, std::move(pipes.our_output));
    streams->readers[1] = std::thread(&Streams::drain, streams.get(), 1, std::move(pipes.our_error));
    child->m_streams = std::move(streams);
    return child;
}

ChildProcess::~ChildProcess()
{
    kill_tree();
    // Once every process of the job is gone the pipes break and the threads end.
    ::WaitForSingleObject(m_process.get(), 5000);
    if (m_streams) {
        m_streams->input.reset();
        m_streams->join();
    }
}

bool ChildProcess::try_reap()
{
    std::lock_guard guard(m_lock);
    if (m_reaped)
        return true;
    if (::WaitForSingleObject(m_process.get(), 0) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.get(), &code);
    m_exit_code = static_cast<int>(code);
    m_reaped = true;
    return true;
}

bool ChildProcess::has_exited()
{
    return try_reap();
}

void ChildProcess::kill_tree()
{
    // The job holds the child and everything it started, even what outlived
    // its parent; ending the job ends them all.
    ::TerminateJobObject(m_job.get(), 1);
}

std::optional<ProcessResult> ChildProcess::communicate(std::string_view input, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    Streams& streams = *m_streams;
    if (streams.input.valid() && !streams.writer.joinable()) {
        if (input.empty()) {
            streams.input.reset();
        } else {
            streams.pending_input.assign(input);
            streams.writer = std::thread([&streams] {
                const std::string& data = streams.pending_input;
                std::size_t done = 0;
                DWORD written = 0;
                while (done < data.size() &&
                       ::WriteFile(streams.input.get(), data.data() + done,
                                   static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20)), &written,
                                   nullptr))
                    done += written;
                streams.input.reset();  // done, or the child stopped reading
            });
        }
    }
    {
        std::unique_lock guard(streams.lock);
        streams.changed.wait_until(guard, deadline,
                                   [&] { return streams.too_much || (streams.ended[0] && streams.ended[1]); });
        if (streams.too_much) {
            guard.unlock();
            end_for_too_much_output();
        }
        if (!(streams.ended[0] && streams.ended[1]))
            return std::nullopt;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (::WaitForSingleObject(m_process.get(), static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0))) !=
            WAIT_OBJECT_0 ||
        !try_reap())
        return std::nullopt;
    if (streams.writer.joinable())
        streams.writer.join();
    std::lock_guard guard(m_lock);
    return ProcessResult { m_exit_code, decode_utf8_replacing(streams.bytes[0]),
                           decode_utf8_replacing(streams.bytes[1]) };
}

void ChildProcess::end_for_too_much_output()
{
    kill_tree();
    ::WaitForSingleObject(m_process.get(), 2000);
    try_reap();
    {
        std::lock_guard guard(m_streams->lock);
        m_streams->bytes[0].clear();
        m_streams->bytes[1].clear();
    }
    throw ProcessOutputTooLarge("the output passed " + std::to_string(m_output_limit / (1024 * 1024)) + " MB");
}

}  // namespace wrenfold::platform
