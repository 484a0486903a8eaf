// The queues and the event between processes: JSON lines on a pipe, an eventfd.
#include "platform/message_queues.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using namespace std::chrono_literals;
using namespace wrenfold;

namespace {

// Runs `body` in a child process and waits for it.
template <typename Body> void in_child_process(Body body)
{
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A queue whose writing end a child process uses; `raw_write` lets it write
// bytes past the queue.
struct QueueBetweenProcesses {
    QueueBetweenProcesses()
    {
        auto [read_end, write_end] = platform::make_queue_pipe();
        raw_write = write_end.get();
        reader = std::make_unique<platform::PipeQueue>(std::move(read_end), UniqueFd());
        writer = std::make_unique<platform::PipeQueue>(UniqueFd(), std::move(write_end));
    }

    std::unique_ptr<platform::PipeQueue> reader;
    std::unique_ptr<platform::PipeQueue> writer;
    int raw_write { -1 };
};

TEST(PipeQueue, CarriesJsonValuesBetweenProcessesInOrder)
{
    QueueBetweenProcesses queue;
    in_child_process([&] {
        queue.writer->put_nowait({ { "type", "calendars_changed" }, { "urls", { "https://c/1/" } } });
        queue.writer->put_nowait(nullptr);
        queue.writer->put_nowait("日曆");
    });
    EXPECT_EQ(queue.reader->get(1s), Json({ { "type", "calendars_changed" }, { "urls", { "https://c/1/" } } }));
    EXPECT_EQ(queue.reader->get(1s), Json(nullptr));
    EXPECT_EQ(queue.reader->get(1s), Json("日曆"));
    EXPECT_FALSE(queue.reader->get(50ms));
}

TEST(PipeQueue, SkipsABrokenLineAndJoinsALineThatArrivesInTwoWrites)
{
    QueueBetweenProcesses queue;
    in_child_process([&] {
        for (std::string piece : { "not json\n{\"half\": ", "1}\n" })
            (void)::write(queue.raw_write, piece.data(), piece.size());
    });
    EXPECT_EQ(queue.reader->get(1s), Json({ { "half", 1 } }));
}

TEST(PipeQueue, AFullPipeRefusesAtOnceAndLeavesOnlyWholeLines)
{
    auto [read_end, write_end] = platform::make_queue_pipe();
    platform::PipeQueue queue(std::move(read_end), std::move(write_end));
    const Json value = { { "urls", { std::string(3000, 'x') } } };
    int put = 0;
    try {
        for (; put < 1000; ++put)
            queue.put_nowait(value);
        FAIL() << "a pipe never filled up";
    } catch (const std::runtime_error&) {
    }
    int taken = 0;
    while (auto got = queue.get(0ms)) {
        EXPECT_EQ(*got, value);
        ++taken;
    }
    EXPECT_EQ(taken, put);
}

TEST(PipeQueue, SkipsALineThatNeverEndsAndGoesOnWithTheNext)
{
    // A broken peer writing without end must cost neither all our memory
    // nor minutes of reading before the next message.
    QueueBetweenProcesses queue;
    std::thread peer([&] {
        std::string endless = "[\"" + std::string(64 << 20, 'x') + "\"]\n";
        std::string next = "{\"type\":\"calendars_changed\"}\n";
        auto give_up = std::chrono::steady_clock::now() + 40s;
        for (const std::string* line : { &endless, &next }) {
            for (std::size_t done = 0; done < line->size();) {
                ssize_t wrote = ::write(queue.raw_write, line->data() + done, line->size() - done);
                if (wrote > 0)
                    done += static_cast<std::size_t>(wrote);
                else if (std::chrono::steady_clock::now() > give_up)
                    return;
                else
                    std::this_thread::sleep_for(1ms);
            }
        }
    });
    std::optional<Json> got;
    for (int i = 0; i < 300 && !got; ++i)
        got = queue.reader->get(100ms);
    peer.join();
    EXPECT_EQ(got, Json({ { "type", "calendars_changed" } }));
}

// A reading end whose writers are all gone.
platform::PipeQueue reader_without_writers()
{
    auto [read_end, write_end] = platform::make_queue_pipe();
    write_end.reset();
    return platform::PipeQueue(std::move(read_end), UniqueFd());
}

TEST(PipeQueue, AQueueWithoutWritersIsEmpty)
{
    EXPECT_FALSE(reader_without_writers().get(20ms));
}

TEST(PipeQueue, AReadingEndCannotPut)
{
    EXPECT_THROW(reader_without_writers().put_nowait(1), std::logic_error);
}

TEST(EventFdEvent, ASetInAnotherProcessIsSeenAndStays)
{
    platform::EventFdEvent event(platform::make_event_fd());
    EXPECT_FALSE(event.is_set());
    EXPECT_FALSE(event.wait(20ms));
    in_child_process([&] { event.set(); });
    EXPECT_TRUE(event.wait(1s));
    event.set();
    EXPECT_TRUE(event.is_set());
}

}  // namespace
