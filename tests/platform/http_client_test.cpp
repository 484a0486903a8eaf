#include "platform/http_client.h"
#include "platform/platform_error.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

using namespace wrenfold::platform;

using namespace std::chrono_literals;

namespace {

// A server on loopback with one route for each way an answer can go wrong.
class CurlHttpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.Get("/models", [](const httplib::Request& request, httplib::Response& response) {
            if (request.get_header_value("Authorization") != "Bearer k")
                response.status = 401;
            response.set_content("{\"data\":[]}", "application/json");
        });
        // Streamed without a length, as a server that never stops would send it.
        server.Get("/endless", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/json", [](std::size_t, httplib::DataSink& sink) {
                std::string block(64 * 1024, ' ');
                return sink.write(block.data(), block.size());
            });
        });
        server.Get("/large", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(3000, 'x'), "text/plain");
        });
        server.Get("/slow", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(2s);
            response.set_content("late", "text/plain");
        });
        int port = server.bind_to_any_port("127.0.0.1");
        serving = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(1ms);
        base = "http://127.0.0.1:" + std::to_string(port);
    }

    void TearDown() override
    {
        server.stop();
        serving.join();
    }

    httplib::Server server;
    std::thread serving;
    std::string base;
    CurlHttpClient http;
};

}  // namespace

TEST_F(CurlHttpClientTest, SendsTheHeadersAndReturnsTheAnswer)
{
    auto ok = http.get(base + "/models", { { "Authorization", "Bearer k" } }, 5s, 1024);
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body, "{\"data\":[]}");
}

TEST_F(CurlHttpClientTest, ReturnsAnErrorStatusAsAnAnswer)
{
    EXPECT_EQ(http.get(base + "/models", {}, 5s, 1024).status, 401);
}

TEST_F(CurlHttpClientTest, AnAnswerLongerThanItsLimitIsRefused)
{
    EXPECT_THROW(http.get(base + "/endless", {}, 20s, 1024 * 1024), PlatformError);
    EXPECT_THROW(http.get(base + "/large", {}, 5s, 2999), PlatformError);
}

TEST_F(CurlHttpClientTest, AnAnswerAsLongAsItsLimitIsTaken)
{
    EXPECT_EQ(http.get(base + "/large", {}, 5s, 3000).body.size(), 3000u);
}

TEST_F(CurlHttpClientTest, ASlowServerIsAFailure)
{
    EXPECT_THROW(http.get(base + "/slow", {}, 300ms, 1024), PlatformError);
}

TEST_F(CurlHttpClientTest, AnAbsentServerIsAFailure)
{
    EXPECT_THROW(http.get("http://127.0.0.1:1/models", {}, 2s, 1024), PlatformError);
}
