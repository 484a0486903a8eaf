// The page's event answer, written as text from the local copy: whatever an
// event holds, it must read back as what parsing its iCalendar text gives.
#include "app/bridge_table.h"
#include "caldav/ical_events.h"
#include "calendar/calendar_rules.h"
#include "support/app_fixture.h"
#include "support/sync_only_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace wrenfold {
namespace {

const std::string kWork = "https://caldav.example/work/";
const std::string kHome = "https://caldav.example/home/";

std::string calendar_of(const std::string& events)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + events + "END:VCALENDAR\r\n";
}

std::string vevent(const std::string& uid, const std::string& lines)
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20250101T000000Z\r\n" + lines + "END:VEVENT\r\n";
}

// Objects whose reading has caught faults before: all-day, across midnight,
// floating, in a zone of their own, texts that need escaping (quotes,
// backslashes, control characters, line separators, bytes that are no
// UTF-8), alarms, a series with a moved occurrence, and events at the
// edges of the range.
const std::vector<std::pair<std::string, std::string>> kObjects = {
    { "all-day", vevent("d", "DTSTART;VALUE=DATE:20250305\r\nDTEND;VALUE=DATE:20250307\r\nSUMMARY:Trip\r\n") },
    { "midnight", vevent("m", "DTSTART:20250310T150000Z\r\nDTEND:20250310T180000Z\r\nSUMMARY:Late\r\n") },
    { "floating", vevent("f", "DTSTART:20250312T090000\r\nDTEND:20250312T100000\r\nSUMMARY:Floating\r\n") },
    { "zoned",
      vevent("z",
             "DTSTART;TZID=Europe/Paris:20250314T090000\r\nDTEND;TZID=Europe/Paris:20250314T100000\r\n"
             "SUMMARY:Paris\r\n") },
    { "texts",
      vevent("t",
             "DTSTART:20250316T010000Z\r\nDURATION:PT1H\r\nSUMMARY:會議 🎉 \"quoted\" back\\\\slash\r\n"
             "LOCATION:tab\there\x01\x1f \xe2\x80\xa8 line\r\nDESCRIPTION:one\\ntwo \xff\xfe broken\r\n") },
    { "alarms",
      vevent("a",
             "DTSTART:20250318T010000Z\r\nDTEND:20250318T020000Z\r\nSUMMARY:Alarmed\r\n"
             "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT30M\r\nDESCRIPTION:x\r\nEND:VALARM\r\n"
             "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20250317T230000Z\r\n"
             "DESCRIPTION:y\r\nEND:VALARM\r\n") },
    { "series",
      vevent("s",
             "DTSTART:20250303T020000Z\r\nDTEND:20250303T030000Z\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n"
             "SUMMARY:Weekly\r\n") +
          vevent("s",
                 "RECURRENCE-ID:20250310T020000Z\r\nDTSTART:20250311T040000Z\r\nDTEND:20250311T050000Z\r\n"
                 "SUMMARY:Weekly moved\r\n") },
    { "from-before", vevent("b", "DTSTART:20250227T010000Z\r\nDTEND:20250302T010000Z\r\nSUMMARY:Long\r\n") },
    { "after", vevent("x", "DTSTART:20250420T010000Z\r\nDTEND:20250420T020000Z\r\nSUMMARY:Later\r\n") },
    { "instant-at-end", vevent("i", "DTSTART:20250331T160000Z\r\nSUMMARY:Midnight mark\r\n") },
};

// A server that can be synced with, holding kObjects in each calendar; a
// calendar set failing refuses its syncs.
class StoredServer final : public testing::SyncOnlyEngine {
public:
    caldav::SyncDelta sync_calendar(const std::string& calendar_url, const caldav::SyncKnown& known) override
    {
        if (calendar_url == failing)
            throw caldav::NetworkError("could not connect");
        caldav::SyncDelta delta { {}, {}, "token-1", false };
        if (known.sync_token == "token-1")
            return delta;
        for (const auto& [name, events] : kObjects)
            delta.changed.push_back({ calendar_url + name + ".ics", "\"e-" + name + "\"", calendar_of(events) });
        return delta;
    }

    std::string failing;
};

struct StoredCalendars {
    testing::AppFolders folders;
    std::shared_ptr<StoredServer> server = std::make_shared<StoredServer>();

    std::unique_ptr<WrenfoldApp> start(const std::string& home_tzid)
    {
        Json account = { { "id", "acc" },
                         { "apple_id", "a@example.com" },
                         { "app_password", "pw" },
                         { "home_tzid", home_tzid },
                         { "calendars",
                           { { { "url", kWork }, { "name", "Work" }, { "color", "#123456" } },
                             { { "url", kHome }, { "name", "Home \"quoted\"" }, { "read_only", true } } } } };
        folders.store_accounts(Json::object({ { "accounts", Json::array({ account }) } }).dump());
        AppEnvironment environment = folders.environment();
        environment.make_engine = [engine = server](const std::string&, const std::string&,
                                                    const std::optional<std::string>&) { return engine; };
        return std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, std::move(environment));
    }
};

// What the events of March read from the iCalendar texts themselves, tagged
// as the answer tags them, as the wire carries them (text that is no UTF-8
// replaced).
std::vector<Json> parsed_march(WrenfoldApp& app, const std::string& home_tzid, const std::string& stale_url)
{
    icaltimezone* zone = caldav::home_zone_for(home_tzid);
    caldav::TimeRange range { caldav::home_midnight(std::chrono::year { 2025 } / 3 / 1, zone),
                              caldav::home_midnight(std::chrono::year { 2025 } / 4 / 1, zone) };
    std::vector<Json> events;
    for (const FetchTask& task : event_fetch_tasks(app.accounts_snapshot(), true)) {
        for (const auto& [name, text] : kObjects) {
            std::vector<caldav::EventRecord> records;
            caldav::IcalPtr parsed = caldav::parse_calendar(calendar_of(text));
            caldav::ResourceRef ref { task.calendar.url + name + ".ics", "\"e-" + name + "\"" };
            caldav::expand_resource(parsed.get(), ref, range, zone, records);
            for (const caldav::EventRecord& record : records) {
                Json event = tagged_event(record, task.account, task.calendar);
                if (task.calendar.url == stale_url)
                    event["stale"] = true;
                events.push_back(parse_json(dump_compact(event)));
            }
        }
    }
    return events;
}

std::vector<Json> sorted(std::vector<Json> events)
{
    std::sort(events.begin(), events.end(), [](const Json& a, const Json& b) { return a.dump() < b.dump(); });
    return events;
}

// The calendars' events of an answer in a set order, holidays left out.
std::vector<Json> calendar_events(const Json& answer)
{
    std::vector<Json> events;
    for (const Json& event : answer["events"])
        if (event["calendar_url"] != "local:tw_holidays")
            events.push_back(event);
    return sorted(std::move(events));
}

// The bridge's answer for March, parsed strictly.
Json bridge_march(WrenfoldApp& app)
{
    AppBridge bridge(app);
    BridgeReply reply = bridge.call("get_events", Json::array({ "2025-03-01", "2025-04-01", true }));
    EXPECT_EQ(reply.status, BridgeReply::Status::Ok) << reply.error;
    return parse_json(take_result_text(reply));
}

TEST(EventAnswer, ReadsBackAsTheParsedICalendarFromRecordsOfEitherZoneAndFromTheJsonPath)
{
    StoredCalendars calendars;
    auto app = calendars.start("Asia/Taipei");
    app->get_events("2025-01-01", "2025-01-02", true);  // the first sync of both calendars
    calendars.server->failing = kHome;
    app->sync_now();

    Json answer = bridge_march(*app);
    std::vector<Json> expected = sorted(parsed_march(*app, "Asia/Taipei", kHome));
    ASSERT_EQ(expected.size(), 2u * 11u) << "each calendar: seven events and the series' four occurrences";
    EXPECT_EQ(calendar_events(answer), expected);
    EXPECT_EQ(answer["ok"], true);
    EXPECT_EQ(answer["stale_calendars"], Json::array({ kHome }));
    EXPECT_EQ(answer["errors"], Json::parse(R"([{"calendar": "Home \"quoted\"", "error": "could not connect",
                                                 "stale": true}])"));
    EXPECT_EQ(answer["superseded"], false);
    EXPECT_EQ(answer["refresh_token"], app->get_runtime_state()["refresh_token"]);
    EXPECT_EQ(calendar_events(app->get_events("2025-03-01", "2025-04-01", true)), expected);

    // The records were made for Taipei: in New York the events read anew,
    // and the records then made for New York answer the same.
    app.reset();
    app = calendars.start("America/New_York");
    expected = sorted(parsed_march(*app, "America/New_York", kHome));
    EXPECT_EQ(calendar_events(bridge_march(*app)), expected);
    EXPECT_EQ(calendar_events(bridge_march(*app)), expected);
}

}  // namespace
}  // namespace wrenfold
