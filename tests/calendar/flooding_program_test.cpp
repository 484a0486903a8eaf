// A shared calendar full of rules that repeat every minute or second, seen
// through the program as the user runs it, against Radicale on loopback.
#include "support/caldav_server.h"
#include "support/running_program.h"
#include "support/temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using wrenfold::testing::CalDavServerKind;
using wrenfold::testing::CalDavTestServer;
using wrenfold::testing::RunningProgram;
using wrenfold::testing::TempDir;

namespace {

std::string series_ics(const std::string& uid, const std::string& freq)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//flood//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:20250305T000000Z\r\nDURATION:PT1S\r\nRRULE:FREQ=" + freq +
        "\r\nSUMMARY:" + uid + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(FloodingCalendar, IsAnErrorOfItsOwnWhileTheOthersShowAndTheAnswerStaysSmall)
{
    ASSERT_TRUE(wrenfold::testing::server_installed(CalDavServerKind::Radicale));
    CalDavTestServer server(CalDavServerKind::Radicale);
    std::string flood = server.create_calendar("flood", "Shared flood");
    std::string work = server.create_calendar("work", "Work");
    for (int i = 0; i < 25; ++i) {
        std::string uid = (i < 5 ? "minutely-" : "secondly-") + std::to_string(i);
        ASSERT_EQ(server.put_resource(flood + uid + ".ics", series_ics(uid, i < 5 ? "MINUTELY" : "SECONDLY")), 201);
    }
    ASSERT_EQ(server.put_resource(work + "weekly.ics", series_ics("weekly", "WEEKLY")), 201);

    TempDir home;
    RunningProgram program(
        WRENFOLD_BINARY, { "--browser", "--no-open" },
        { { "HOME", home.path().string() }, { "XDG_DATA_HOME", "" }, { "WRENFOLD_CALDAV_URL", server.root_url() } });
    auto address = wrenfold::testing::read_address(program, 20s);
    ASSERT_TRUE(address);
    auto call = [&](const std::string& method, const Json& args) {
        auto response = wrenfold::testing::post_bridge_call(*address, method, args.dump(), 60s);
        EXPECT_TRUE(response && response->status == 200) << method;
        return response ? response->body : std::string("{}");
    };
    ASSERT_EQ(Json::parse(call("add_account", { server.user(), server.password() }))["result"]["ok"], true);

    for (const char* language : { "en", "zh-Hant" }) {
        call("set_language", { language });
        std::string body = call("get_events", { "2025-03-01", "2025-04-01" });
        EXPECT_LT(body.size(), 1u << 20) << language;
        Json result = Json::parse(body)["result"];
        ASSERT_EQ(result["errors"].size(), 1u) << result["errors"].dump();
        EXPECT_EQ(result["errors"][0]["calendar"], "Shared flood");
        std::string expected = language == std::string("en") ? "too many occurrences" : "重複次數過多";
        EXPECT_NE(result["errors"][0]["error"].get<std::string>().find(expected), std::string::npos)
            << result["errors"].dump();
        int weekly = 0;
        for (const Json& event : result["events"]) {
            EXPECT_NE(event["calendar_url"], flood);
            weekly += event.value("summary", "") == "weekly";
        }
        EXPECT_EQ(weekly, 4) << language;  // March 2025: the 5th, 12th, 19th and 26th
    }
    program.send_signal(SIGTERM);
    program.wait(10s);
}

}  // namespace
