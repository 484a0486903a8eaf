// Calendar names the assistant writes in another letter case than the
// calendar's own, in scripts beyond ASCII.
#include "app/bridge_table.h"
#include "support/fake_app.h"

#include "support/bridge_calls.h"

#include <gtest/gtest.h>

using wrenfold::AppBridge;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::FakeApp;

namespace {

Json calendar(const std::string& url, const std::string& name)
{
    return Json::object({ { "url", url }, { "name", name } });
}

// The assistant's actions take their payload as the one argument.
Json call(AppBridge& bridge, const std::string& method, const Json& payload)
{
    return wrenfold::testing::call(bridge, method, Json::array({ payload }));
}

}  // namespace

TEST(AssistantCalendarNames, MatchWhateverTheLetterCaseInAnyScript)
{
    FakeApp fake;
    fake.add("ann@example.com", Json::array({ calendar("https://p/home/", "Home") }));
    fake.add("Åsa@example.com",
             Json::array({ calendar("https://q/doctors/", "Ärzte"), calendar("https://q/other/", "Other") }));
    auto asa_server = fake.engines.engine("Åsa@example.com");
    AppBridge bridge(*fake.app);

    Json created = call(bridge, "claude_create_event",
                        Json::parse(R"({"summary": "Check-up", "start": "2025-10-02", "calendar": "ärzte"})"));
    EXPECT_EQ(created["url"], "https://q/doctors/new.ics") << created.dump();
    Json hinted =
        call(bridge, "claude_create_event",
             Json::parse(R"({"summary": "Tea", "start": "2025-10-02", "calendar": "OTHER", "account": "åsa"})"));
    EXPECT_EQ(hinted["url"], "https://q/other/new.ics") << hinted.dump();

    asa_server->put_events("https://q/doctors/", Json::array({ Json::parse(R"({"uid": "c-1", "summary": "Check-up",
        "start": "2025-10-02", "end": "2025-10-03", "all_day": true, "url": "https://q/doctors/c-1.ics", "etag": "\"1\""})") }));
    Json found = call(bridge, "claude_query_events",
                      Json::parse(R"({"start": "2025-10-01", "end": "2025-11-01", "calendar": "ÄRZTE"})"));
    EXPECT_EQ(found["count"], 1) << found.dump();

    const std::string url = "https://q/other/tea.ics";
    asa_server->put_stored_event(url, Json::parse(R"({"uid": "t-1", "summary": "Tea", "start": "2025-10-02",
        "end": "2025-10-03", "all_day": true, "etag": "\"2\""})"));
    Json moved = call(bridge, "claude_update_event", Json { { "url", url }, { "calendar", "ärzte" } });
    EXPECT_EQ(moved["moved"], true) << moved.dump();
    EXPECT_EQ(asa_server->calls().back().target, "https://q/other/tea.ics -> https://q/doctors/");
}
