#include "platform/message_queues.h"
#include "platform/win32/process_launch.h"
#include "windows_test_main.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

using namespace std::chrono_literals;
using wrenfold::Json;
using wrenfold::platform::UniqueHandle;

namespace {

UniqueHandle inheritable(void* handle)
{
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    return UniqueHandle(copy);
}

std::string number_of(const UniqueHandle& handle)
{
    return std::to_string(reinterpret_cast<std::intptr_t>(handle.get()));
}

}  // namespace

// A child handed the writing end of a queue and the event as inherited
// handles, as the application hands them to the sync worker: its values
// arrive whole and in order (one longer than a pipe read), it sees the event
// set by the parent, and once it is gone the queue reads as empty.
TEST(WindowsQueues, AChildWritesThroughInheritedHandlesAndEndsOnTheEvent)
{
    auto [read_end, write_end] = wrenfold::platform::make_queue_pipe();
    wrenfold::platform::HandleEvent end(wrenfold::platform::make_event_handle());
    UniqueHandle child_write = inheritable(write_end.get());
    UniqueHandle child_event = inheritable(end.handle());
    write_end.reset();
    wrenfold::platform::PipeQueue queue(std::move(read_end), UniqueHandle());

    wrenfold::platform::LaunchRequest request;
    request.argv = { wrenfold::test::this_program(), "--queue-child", number_of(child_write), number_of(child_event) };
    request.inherit_environment = true;
    request.creation_flags = CREATE_NO_WINDOW;
    request.also_inherited = { child_write.get(), child_event.get() };
    auto child = wrenfold::platform::launch_process(request);
    child_write.reset();
    child_event.reset();

    std::string long_text(6000, 'w');
    EXPECT_EQ(queue.get(20s), Json({ { "n", 1 } }));
    EXPECT_EQ(queue.get(20s), Json({ { "text", long_text + "週" } }));
    EXPECT_EQ(queue.get(20s), Json(nullptr));
    EXPECT_FALSE(end.is_set());
    end.set();
    ASSERT_EQ(WaitForSingleObject(child.process.get(), 20000), WAIT_OBJECT_0);
    DWORD status = 99;
    GetExitCodeProcess(child.process.get(), &status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(queue.get(200ms), std::nullopt);
}

namespace wrenfold::test {

int run_queue_child(const std::string& write_handle, const std::string& event_handle)
{
    auto handle_of = [](const std::string& number) {
        return UniqueHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(std::stoll(number))));
    };
    platform::PipeQueue queue(UniqueHandle(), handle_of(write_handle));
    platform::HandleEvent end(handle_of(event_handle));
    queue.put_nowait(Json({ { "n", 1 } }));
    queue.put_nowait(Json({ { "text", std::string(6000, 'w') + "週" } }));
    queue.put_nowait(nullptr);
    return end.wait(20s) ? 0 : 4;
}

}  // namespace wrenfold::test
