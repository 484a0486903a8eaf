#include "platform/browser_host.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <mutex>
#include <vector>

using wrenfold::BridgeReply;
using wrenfold::Json;

namespace {

// Records the calls it gets; "fail" fails, "echo" answers its arguments.
class RecordingBridge final : public wrenfold::BridgeTarget {
public:
    bool has_method(std::string_view method) const override
    {
        return method == "echo" || method == "fail" || method == "_private";
    }
    BridgeReply call(std::string_view method, const Json& args) override
    {
        std::lock_guard lock(mutex);
        calls.emplace_back(method);
        if (method == "fail")
            return { BridgeReply::Status::Failed, {}, "it broke: 台灣" };
        return { BridgeReply::Status::Ok, args, {} };
    }
    std::mutex mutex;
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
    wrenfold::BrowserHost host { "<html>page</html>", "/nonexistent", bridge };
};

}  // namespace

TEST_F(BrowserHostTest, AnswersCallsWithTheRightToken)
{
    auto ok = post("echo", R"([1, "二", null])", host.token());
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(Json::parse(ok->body), Json::parse(R"({"result": [1, "二", null]})"));

    auto failed = post("fail", "[]", host.token());
    EXPECT_EQ(failed->status, 500);
    EXPECT_EQ(Json::parse(failed->body), Json::parse(R"({"error": "it broke: 台灣"})"));
}

TEST_F(BrowserHostTest, RefusesWithoutChangingAnything)
{
    std::string wrong = host.token();
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    EXPECT_EQ(post("echo", "[]", "")->status, 403);
    EXPECT_EQ(post("echo", "[]", wrong)->status, 403);
    EXPECT_EQ(post("echo", "[]", host.token(), "evil.example:" + std::to_string(host.port()))->status, 403);
    EXPECT_EQ(post("echo", "[]", host.token(), "localhost:" + std::to_string(host.port()))->status, 403);
    EXPECT_EQ(post("_private", "[]", host.token())->status, 404);
    EXPECT_EQ(post("nothing", "[]", host.token())->status, 404);
    EXPECT_EQ(post("echo", R"({"a": 1})", host.token())->status, 400);
    EXPECT_EQ(post("echo", "not json", host.token())->status, 400);
    std::lock_guard lock(bridge.mutex);
    EXPECT_TRUE(bridge.calls.empty());
}

TEST_F(BrowserHostTest, ServesThePageOnlyToItsOwnHostAndNeverAllowsOtherOrigins)
{
    httplib::Client client("127.0.0.1", host.port());
    auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<html>page</html>");

    auto rebound = client.Get("/", { { "Host", "attacker.example" } });
    EXPECT_EQ(rebound->status, 403);

    auto cross_site = client.Post("/api/echo",
                                  { { "Origin", "https://attacker.example" }, { "X-Wrenfold-Token", host.token() } },
                                  "[]", "application/json");
    EXPECT_FALSE(cross_site->has_header("Access-Control-Allow-Origin"));
    auto preflight = client.Options("/api/echo", { { "Origin", "https://attacker.example" } });
    EXPECT_FALSE(preflight->has_header("Access-Control-Allow-Origin"));
}

TEST(BrowserHostToken, IsFreshAnd256BitsAtEveryStart)
{
    RecordingBridge bridge;
    wrenfold::BrowserHost first("", "", bridge);
    wrenfold::BrowserHost second("", "", bridge);
    EXPECT_EQ(first.token().size(), 64u);
    EXPECT_EQ(first.token().find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(first.token(), second.token());
    EXPECT_TRUE(wrenfold::tokens_match("abc", "abc"));
    EXPECT_FALSE(wrenfold::tokens_match("abc", "abd"));
    EXPECT_FALSE(wrenfold::tokens_match("abc", "abcd"));
}
