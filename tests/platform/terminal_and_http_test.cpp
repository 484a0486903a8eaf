#include "platform/http_client.h"
#include "platform/terminal_launcher.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

using namespace wrenfold::platform;
using wrenfold::testing::TempDir;

using namespace std::chrono_literals;

TEST(TerminalLauncher, OpensTheFirstTerminalFoundWithTheCommandInAShellThatStays)
{
    TempDir dir;
    // A stand-in terminal that records its arguments.
    wrenfold::testing::write_text_with_mode(
        (dir / "bin/xterm").string(), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$RECORD\"\n", std::filesystem::perms(0755));
    MapEnvironment environment { { "PATH", (dir / "bin").string() + ":/usr/bin:/bin" },
                                 { "RECORD", (dir / "args").string() } };
    DesktopTerminalLauncher launcher(environment);
    launcher.open({ "claude", "login" });
    for (int i = 0; i < 300 && wrenfold::testing::read_text((dir / "args").string()).empty(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(wrenfold::testing::read_text((dir / "args").string()),
              "-e\nbash\n-c\n\"$@\"; exec bash -i\nbash\nclaude\nlogin\n");

    EXPECT_EQ(terminal_command_line("/usr/bin/gnome-terminal", { "x" })[1], "--");
    MapEnvironment bare { { "PATH", (dir / "none").string() } };
    DesktopTerminalLauncher nothing(bare);
    EXPECT_THROW(nothing.open({ "claude", "login" }), std::runtime_error);
    EXPECT_THROW(start_detached({ (dir / "missing").string() }, {}), std::system_error);
}

TEST(CurlHttpClient, ReturnsErrorStatusesSendsHeadersAndHonoursTheTimeAndSizeLimits)
{
    httplib::Server server;
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
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(1ms);
    std::string base = "http://127.0.0.1:" + std::to_string(port);

    CurlHttpClient http;
    auto ok = http.get(base + "/models", { { "Authorization", "Bearer k" } }, 5s, 1024);
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body, "{\"data\":[]}");
    EXPECT_EQ(http.get(base + "/models", {}, 5s, 1024).status, 401);
    EXPECT_THROW(http.get(base + "/endless", {}, 20s, 1024 * 1024), std::runtime_error);
    EXPECT_THROW(http.get(base + "/large", {}, 5s, 2999), std::runtime_error);
    EXPECT_EQ(http.get(base + "/large", {}, 5s, 3000).body.size(), 3000u);
    EXPECT_THROW(http.get(base + "/slow", {}, 300ms, 1024), std::runtime_error);
    EXPECT_THROW(http.get("http://127.0.0.1:1/models", {}, 2s, 1024), std::runtime_error);

    server.stop();
    serving.join();
}
