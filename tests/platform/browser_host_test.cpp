#include "platform/browser_host.h"

#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "core/unique_fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using wrenfold::BridgeReply;
using wrenfold::Json;

namespace {

// Records the calls it gets; "fail" fails, "echo" answers its arguments.
class RecordingBridge final : public wrenfold::BridgeTarget {
public:
    bool has_method(std::string_view method) const override
    {
        return method == "echo" || method == "fail" || method == "_private" || method == "wait";
    }
    BridgeReply call(std::string_view method, const Json& args) override
    {
        std::unique_lock lock(mutex);
        calls.emplace_back(method);
        // "wait" stands for a long call (an account check, a chat turn): it
        // answers only once the test releases it.
        if (method == "wait") {
            ++waiting;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
            return { BridgeReply::Status::Ok, args, {}, {} };
        }
        if (method == "fail")
            return { BridgeReply::Status::Failed, {}, "it broke: 台灣", {} };
        // Answered as written JSON text, as a month of events is; "wait"
        // answers a tree.
        return { BridgeReply::Status::Ok, {}, {}, wrenfold::dump_compact(args) };
    }
    void release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    int waiting { 0 };
    bool released { false };
    std::vector<std::string> calls;
};

class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override { host.start(0); }

    httplib::Result post(const std::string& method, const std::string& body, const std::string& token,
                         const std::string& host_header = "")
    {
        httplib::Client client("127.0.0.1", host.port());
        httplib::Headers headers { { "X-Wrenfold-Token", token } };
        if (!host_header.empty())
            headers.emplace("Host", host_header);
        return client.Post(("/api/" + method).c_str(), headers, body, "application/json");
    }

    RecordingBridge bridge;
    wrenfold::platform::BrowserHost host { "<html>page</html>", "/nonexistent", bridge };
};

}  // namespace

TEST_F(BrowserHostTest, AnswersACallWithTheRightTokenWithItsResult)
{
    auto ok = post("echo", R"([1, "二", null])", host.token());
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(Json::parse(ok->body), Json::parse(R"({"result": [1, "二", null]})"));
}

TEST_F(BrowserHostTest, AnswersAFailedCallWithStatus500AndItsText)
{
    auto failed = post("fail", "[]", host.token());
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 500);
    EXPECT_EQ(Json::parse(failed->body), Json::parse(R"({"error": "it broke: 台灣"})"));
}

TEST_F(BrowserHostTest, RefusesWithoutChangingAnything)
{
    std::string wrong = host.token();
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    const std::string port = std::to_string(host.port());
    struct Case {
        const char* refused;
        std::string method;
        std::string body;
        std::string token;
        std::string host_header;
        int status;
    };
    const Case cases[] = {
        { "no token", "echo", "[]", "", "", 403 },
        { "a wrong token", "echo", "[]", wrong, "", 403 },
        { "another host name", "echo", "[]", host.token(), "evil.example:" + port, 403 },
        { "localhost by name", "echo", "[]", host.token(), "localhost:" + port, 403 },
        { "a private method", "_private", "[]", host.token(), "", 404 },
        { "an unknown method", "nothing", "[]", host.token(), "", 404 },
        { "arguments that are no list", "echo", R"({"a": 1})", host.token(), "", 400 },
        { "arguments that are no JSON", "echo", "not json", host.token(), "", 400 },
    };
    for (const auto& refusal : cases) {
        SCOPED_TRACE(refusal.refused);
        EXPECT_EQ(post(refusal.method, refusal.body, refusal.token, refusal.host_header)->status, refusal.status);
    }
    std::lock_guard lock(bridge.mutex);
    EXPECT_TRUE(bridge.calls.empty());
}

TEST_F(BrowserHostTest, ServesThePageToItsOwnHost)
{
    httplib::Client client("127.0.0.1", host.port());
    auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<html>page</html>");
}

TEST_F(BrowserHostTest, RefusesThePageToAnotherHostName)
{
    httplib::Client client("127.0.0.1", host.port());
    auto rebound = client.Get("/", { { "Host", "attacker.example" } });
    EXPECT_EQ(rebound->status, 403);
}

TEST_F(BrowserHostTest, NeverAllowsOtherOrigins)
{
    httplib::Client client("127.0.0.1", host.port());
    auto cross_site =
        client.Post("/api/echo", { { "Origin", "https://attacker.example" }, { "X-Wrenfold-Token", host.token() } },
                    "[]", "application/json");
    EXPECT_FALSE(cross_site->has_header("Access-Control-Allow-Origin"));
    auto preflight = client.Options("/api/echo", { { "Origin", "https://attacker.example" } });
    EXPECT_FALSE(preflight->has_header("Access-Control-Allow-Origin"));
}

TEST(BrowserHostToken, IsFreshAnd256BitsAtEveryStart)
{
    RecordingBridge bridge;
    wrenfold::platform::BrowserHost first("", "", bridge);
    wrenfold::platform::BrowserHost second("", "", bridge);
    EXPECT_EQ(first.token().size(), 64u);
    EXPECT_EQ(first.token().find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(first.token(), second.token());
}

TEST(TokensMatch, OnlyWhenEqualInFullLength)
{
    EXPECT_TRUE(wrenfold::platform::tokens_match("abc", "abc"));
    EXPECT_FALSE(wrenfold::platform::tokens_match("abc", "abd"));
    EXPECT_FALSE(wrenfold::platform::tokens_match("abc", "abcd"));
}

TEST_F(BrowserHostTest, RefusesNestingDeepEnoughToOverflowAStackAndStillAnswers)
{
    std::string deep = std::string(60000, '[') + std::string(60000, ']');
    auto refused = post("echo", deep, host.token());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);

    std::string nested_objects = "[";
    for (int i = 0; i < 600; ++i)
        nested_objects += "{\"k\": ";
    nested_objects += "1" + std::string(600, '}') + "]";
    EXPECT_EQ(post("echo", nested_objects, host.token())->status, 400);

    EXPECT_EQ(post("echo", "[]", host.token())->status, 200);
}

TEST_F(BrowserHostTest, AcceptsReasonableNestingAndBracketsInsideStrings)
{
    std::string fine = std::string(100, '[') + R"("]]]]]]\"[[[[")" + std::string(100, ']');
    auto accepted = post("echo", fine, host.token());
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->status, 200);
}

TEST_F(BrowserHostTest, PollsAnswerWhileLongCallsAndIdleConnectionsHoldTheirThreads)
{
    // Idle keep-alive connections, as a browser keeps them open.
    std::vector<std::unique_ptr<httplib::Client>> idle;
    for (int i = 0; i < 8; ++i) {
        idle.push_back(std::make_unique<httplib::Client>("127.0.0.1", host.port()));
        idle.back()->set_keep_alive(true);
        ASSERT_EQ(idle.back()->Get("/")->status, 200);
    }
    // The long calls start one after another: the listener's backlog is short,
    // and sixteen connections at once would only test TCP's retry timers.
    std::vector<std::future<httplib::Result>> long_calls;
    // Declared after the calls, so that a failed assertion releases them
    // before their futures are waited for.
    struct ReleaseOnExit {
        RecordingBridge& bridge;
        ~ReleaseOnExit() { bridge.release(); }
    } release_on_exit { bridge };
    for (int i = 0; i < 16; ++i) {
        long_calls.push_back(std::async(std::launch::async, [&] {
            httplib::Client client("127.0.0.1", host.port());
            client.set_read_timeout(60, 0);
            return client.Post("/api/wait", { { "X-Wrenfold-Token", host.token() } }, "[]", "application/json");
        }));
        std::unique_lock lock(bridge.mutex);
        ASSERT_TRUE(bridge.changed.wait_for(lock, std::chrono::seconds(30), [&] { return bridge.waiting == i + 1; }));
    }

    httplib::Client poller("127.0.0.1", host.port());
    poller.set_read_timeout(10, 0);
    poller.set_connection_timeout(10, 0);
    auto poll = poller.Post("/api/echo", { { "X-Wrenfold-Token", host.token() } }, "[7]", "application/json");
    bridge.release();
    ASSERT_TRUE(poll) << "the poll got no answer while the long calls ran";
    EXPECT_EQ(poll->body, R"({"result":[7]})");
    for (auto& call : long_calls)
        EXPECT_EQ(call.get()->status, 200);
}

TEST_F(BrowserHostTest, ClientsThatNeverFinishARequestStarveNoCallAndAreEndedAtTheDeadline)
{
    // More connections than the host has workers, each sending a header byte
    // every second and never the end of the head.
    std::vector<wrenfold::UniqueFd> slow;
    for (int i = 0; i < 70; ++i) {
        wrenfold::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(host.port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(host.port()) + "\r\nX-Slow: ";
        ::send(fd.get(), head.data(), head.size(), MSG_NOSIGNAL);
        slow.push_back(std::move(fd));
    }
    std::atomic<bool> stop { false };
    std::thread trickle([&] {
        for (int second = 0; second < 30 && !stop; ++second) {
            for (auto& fd : slow)
                ::send(fd.get(), "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });
    struct StopOnExit {
        std::atomic<bool>& stop;
        std::thread& thread;
        ~StopOnExit()
        {
            stop = true;
            thread.join();
        }
    } stop_on_exit { stop, trickle };
    std::this_thread::sleep_for(std::chrono::seconds(2));

    auto call = post("echo", "[7]", host.token());
    ASSERT_TRUE(call) << "a real call got no answer while slow clients held the host";
    EXPECT_EQ(call->body, R"({"result":[7]})");

    // Still sending, yet every slow connection is ended once the deadline passes.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    int ended = 0;
    for (auto& fd : slow) {
        char buffer[512];
        pollfd entry { fd.get(), POLLIN, 0 };
        auto left = [&] {
            auto rest =
                std::chrono::duration_cast<std::chrono::milliseconds>(give_up - std::chrono::steady_clock::now());
            return static_cast<int>(std::max<long long>(0, rest.count()));
        };
        while (::poll(&entry, 1, left()) == 1) {
            if (::recv(fd.get(), buffer, sizeof buffer, MSG_DONTWAIT) <= 0) {
                ++ended;
                break;
            }
        }
    }
    EXPECT_EQ(ended, 70);
}

namespace {

// A host whose page folder holds a changed index.html and a script.
class BrowserHostPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        wrenfold::testing::write_text(folder / "index.html", "<html>changed on disk</html>");
        wrenfold::testing::write_text(folder / "app.js", "export {};");
        host.start(0);
    }

    httplib::Result get(const char* path)
    {
        httplib::Client client("127.0.0.1", host.port());
        return client.Get(path);
    }

    wrenfold::testing::TempDir folder;
    RecordingBridge bridge;
    wrenfold::platform::BrowserHost host { "<html>read at start</html>", folder.path(), bridge };
};

}  // namespace

TEST_F(BrowserHostPage, ServesThePageReadAtStartNotTheOneOnDisk)
{
    for (const char* page : { "/", "/index.html" }) {
        SCOPED_TRACE(page);
        auto served = get(page);
        ASSERT_TRUE(served);
        EXPECT_EQ(served->body, "<html>read at start</html>");
    }
}

TEST_F(BrowserHostPage, ServesItsAssetsFromTheFolderUncompressed)
{
    // A browser asks for compressed answers; over loopback they are sent as they are.
    httplib::Client client("127.0.0.1", host.port());
    client.set_decompress(false);
    auto script = client.Get("/app.js", { { "Accept-Encoding", "br, gzip, deflate" } });
    ASSERT_TRUE(script);
    EXPECT_EQ(script->status, 200);
    EXPECT_FALSE(script->has_header("Content-Encoding"));
    EXPECT_EQ(script->body, "export {};");
}

TEST_F(BrowserHostPage, ServesNothingFromOutsideItsFolder)
{
    // A link in the folder that points elsewhere, as a package or a user may
    // leave one, must not hand out what it points at.
    wrenfold::testing::TempDir elsewhere;
    wrenfold::testing::write_text(elsewhere / "accounts.json", "{\"app_password\": \"secret\"}");
    std::filesystem::create_symlink(elsewhere / "accounts.json", folder / "linked.json");
    std::filesystem::create_directory_symlink(elsewhere.path(), folder / "linked");
    for (const char* path : { "/linked.json", "/linked/accounts.json", "/../accounts.json", "/%2e%2e/accounts.json" }) {
        SCOPED_TRACE(path);
        auto served = get(path);
        ASSERT_TRUE(served);
        EXPECT_EQ(served->status, 404);
        EXPECT_EQ(served->body.find("secret"), std::string::npos);
    }
}

TEST(BrowserHostStop, EndsTheHostAtAnyMomentEvenBeforeItsListenerRuns)
{
    // A stop right after start races the listener thread's first step; a
    // stop that missed it would leave the join below waiting forever.
    auto stopped_every_time = std::async(std::launch::async, [] {
        RecordingBridge bridge;
        for (int round = 0; round < 200; ++round) {
            wrenfold::platform::BrowserHost host("", "", bridge);
            host.start(0);
            int port = host.port();
            host.stop();
            httplib::Client client("127.0.0.1", port);
            client.set_connection_timeout(std::chrono::seconds(1));
            if (client.Get("/"))
                return false;
        }
        return true;
    });
    if (stopped_every_time.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "a stop right after start did not end the host";
        std::_Exit(1);  // the stuck thread cannot be joined
    }
    EXPECT_TRUE(stopped_every_time.get()) << "the port still answered after stop";
}
