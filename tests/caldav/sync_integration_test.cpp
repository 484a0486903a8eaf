// Incremental sync against real Radicale and Xandikos servers on loopback,
// with the requests that reached the server counted.
#include "caldav/curl_transport.h"
#include "caldav/icloud_caldav.h"
#include "support/caldav_server.h"
#include "support/counting_transport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace wrenfold::caldav {
namespace {

using testing::CalDavServerKind;
using testing::CalDavTestServer;
using testing::CountingTransport;

std::string event_ics(const std::string& uid, const std::string& summary)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:20250310T090000Z\r\nDTEND:20250310T100000Z\r\nSUMMARY:" + summary +
        "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

class SyncAgainstServer : public ::testing::TestWithParam<CalDavServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::server_installed(GetParam())) << testing::server_name(GetParam()) << " missing";
        server = std::make_unique<CalDavTestServer>(GetParam());
        log = std::make_shared<CountingTransport::Log>();
        engine =
            std::make_unique<ICloudCalDAV>(server->user(), server->password(), "Asia/Taipei", server->root_url(),
                                           std::make_unique<CountingTransport>(std::make_unique<CurlTransport>(), log));
        calendar = server->create_calendar("work", "Work");
        for (const char* name : { "a", "b", "c" })
            ASSERT_EQ(server->put_resource(calendar + name + ".ics", event_ics(name, name)) / 100, 2);
        engine->discover();  // the account's home, once, outside the counts
        log->take();
    }

    // Applies a delta to what is known, as the store does.
    static void apply(SyncKnown& known, const SyncDelta& delta)
    {
        for (const auto& object : delta.changed)
            known.etags[object.url] = object.etag;
        for (const auto& url : delta.deleted)
            known.etags.erase(url);
        known.sync_token = delta.sync_token;
    }

    // Another client: one added, one changed, one deleted.
    void change_elsewhere()
    {
        ASSERT_EQ(server->put_resource(calendar + "d.ics", event_ics("d", "added")) / 100, 2);
        ASSERT_EQ(server->put_resource(calendar + "a.ics", event_ics("a", "changed")) / 100, 2);
        engine->delete_event(calendar + "b.ics", std::nullopt);
        log->take();
    }

    static std::vector<std::string> urls(const std::vector<SyncedObject>& objects)
    {
        std::vector<std::string> found;
        for (const auto& o : objects)
            found.push_back(o.url);
        std::sort(found.begin(), found.end());
        return found;
    }

    std::unique_ptr<CalDavTestServer> server;
    std::shared_ptr<CountingTransport::Log> log;
    std::unique_ptr<ICloudCalDAV> engine;
    std::string calendar;
};

TEST_P(SyncAgainstServer, TokenSyncFetchesOnlyWhatAnotherClientChanged)
{
    SyncKnown known;
    SyncDelta first = engine->sync_calendar(calendar, known);
    EXPECT_EQ(urls(first.changed),
              (std::vector<std::string> { calendar + "a.ics", calendar + "b.ics", calendar + "c.ics" }));
    EXPECT_FALSE(first.sync_token.empty());
    EXPECT_EQ(log->take(),
              (std::vector<std::string> { "PROPFIND propfind", "REPORT calendar-query", "REPORT calendar-multiget" }));
    apply(known, first);

    SyncDelta unchanged = engine->sync_calendar(calendar, known);
    EXPECT_TRUE(unchanged.changed.empty());
    EXPECT_TRUE(unchanged.deleted.empty());
    EXPECT_EQ(log->take(), (std::vector<std::string> { "REPORT sync-collection" }));
    apply(known, unchanged);

    change_elsewhere();
    SyncDelta delta = engine->sync_calendar(calendar, known);
    EXPECT_EQ(urls(delta.changed), (std::vector<std::string> { calendar + "a.ics", calendar + "d.ics" }));
    for (const auto& object : delta.changed)
        if (object.url == calendar + "a.ics")
            EXPECT_NE(object.ics.find("changed"), std::string::npos);
    EXPECT_EQ(delta.deleted, (std::vector<std::string> { calendar + "b.ics" }));
    EXPECT_FALSE(delta.full_listing);
    EXPECT_EQ(log->take(), (std::vector<std::string> { "REPORT sync-collection", "REPORT calendar-multiget" }));
}

TEST_P(SyncAgainstServer, RefusedOrMissingTokenComparesEtagsAndFindsTheSameChanges)
{
    SyncKnown known;
    apply(known, engine->sync_calendar(calendar, known));
    change_elsewhere();
    for (std::string token : { "", "http://invalid.example/sync/999" }) {
        SCOPED_TRACE(token);
        SyncKnown stale = known;
        stale.sync_token = token;
        SyncDelta delta = engine->sync_calendar(calendar, stale);
        EXPECT_TRUE(delta.full_listing);
        EXPECT_EQ(urls(delta.changed), (std::vector<std::string> { calendar + "a.ics", calendar + "d.ics" }));
        EXPECT_EQ(delta.deleted, (std::vector<std::string> { calendar + "b.ics" }));
        EXPECT_FALSE(delta.sync_token.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncAgainstServer,
                         ::testing::Values(CalDavServerKind::Radicale, CalDavServerKind::Xandikos),
                         [](const auto& info) { return std::string(testing::server_name(info.param)); });

}  // namespace
}  // namespace wrenfold::caldav
