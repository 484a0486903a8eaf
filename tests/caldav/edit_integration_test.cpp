// Edits through the bridge, the application object and the real engine, on
// events that other calendar programs wrote, against Radicale and Xandikos.
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "support/caldav_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace wrenfold;
using wrenfold::testing::CalDavServerKind;
using wrenfold::testing::CalDavTestServer;
using wrenfold::testing::TempDir;

namespace {

// Berlin, weekly on Monday and Wednesday across the change to summer time,
// one date excluded, one occurrence moved, with what other programs add.
const char* const kForeignSeries =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Calendar//EN\r\n"
    "BEGIN:VEVENT\r\nUID:foreign-series-1\r\nDTSTAMP:20250101T000000Z\r\nSEQUENCE:4\r\n"
    "DTSTART;TZID=Europe/Berlin:20250303T090000\r\nDTEND;TZID=Europe/Berlin:20250303T100000\r\n"
    "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20250416T070000Z\r\n"
    "EXDATE;TZID=Europe/Berlin:20250331T090000\r\n"
    "SUMMARY;LANGUAGE=de:Besprechung\r\nLOCATION:\r\nCATEGORIES:work,weekly\r\n"
    "ORGANIZER;CN=Ann:mailto:ann@example.com\r\n"
    "ATTENDEE;CN=Bob;PARTSTAT=ACCEPTED:mailto:bob@example.com\r\nX-OTHER-APP-COLOR;X-P=1:teal\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:foreign-series-1\r\nDTSTAMP:20250101T000000Z\r\n"
    "RECURRENCE-ID;TZID=Europe/Berlin:20250312T090000\r\n"
    "DTSTART;TZID=Europe/Berlin:20250312T140000\r\nDTEND;TZID=Europe/Berlin:20250312T150000\r\n"
    "SUMMARY:Besprechung (Nachmittag)\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

// The object without its VTIMEZONEs (servers add the ones it names).
std::string events_only(std::string ics)
{
    for (size_t begin; (begin = ics.find("BEGIN:VTIMEZONE")) != std::string::npos;) {
        size_t end = ics.find("END:VTIMEZONE\r\n", begin);
        ics.erase(begin, end == std::string::npos ? std::string::npos : end + 15 - begin);
    }
    return ics;
}

// The series' own VEVENT, without its overrides.
std::string master_only(std::string ics)
{
    ics = events_only(ics);
    for (size_t begin = 0; (begin = ics.find("BEGIN:VEVENT", begin)) != std::string::npos;) {
        size_t end = ics.find("END:VEVENT\r\n", begin) + 12;
        std::string event = ics.substr(begin, end - begin);
        if (event.find("RECURRENCE-ID") == std::string::npos)
            return event;
        begin = end;
    }
    return {};
}

// The unfolded lines of the VEVENTs of a stored object that start with `name`.
std::vector<std::string> property_lines(std::string ics, const std::string& name)
{
    for (size_t pos; (pos = ics.find("\r\n ")) != std::string::npos;)
        ics.erase(pos, 3);
    ics = "\n" + events_only(ics);
    std::vector<std::string> found;
    size_t pos = 0;
    while ((pos = ics.find("\n" + name, pos)) != std::string::npos) {
        size_t end = ics.find('\r', pos);
        std::string line = ics.substr(pos + 1, end - pos - 1);
        if (line.size() > name.size() && (line[name.size()] == ':' || line[name.size()] == ';'))
            found.push_back(line);
        pos = end;
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Lines kept as written. Not the RRULE: Xandikos writes its parts in an
// order of its own; the listings compare what it says.
const char* const kKeptProperties[] = { "DTSTART",    "DTEND",     "EXDATE",   "RECURRENCE-ID",
                                        "CATEGORIES", "ORGANIZER", "ATTENDEE", "X-OTHER-APP-COLOR",
                                        "TRIGGER",    "UID",       "ACTION" };

// A listed time of March or April 2025, one day later.
std::string a_day_later(const std::string& time)
{
    int day = std::stoi(time.substr(8, 2)) + 1;
    std::string month = time.substr(5, 2);
    if (month == "03" && day == 32)
        return "2025-04-01" + time.substr(10);
    return time.substr(0, 8) + (day < 10 ? "0" : "") + std::to_string(day) + time.substr(10);
}

// Occurrence lines ("recurrence_id start end summary") all one day later, sorted.
std::vector<std::string> a_day_later(const std::vector<std::string>& lines)
{
    std::vector<std::string> moved;
    for (const auto& line : lines)
        moved.push_back(a_day_later(line.substr(0, 19)) + " " + a_day_later(line.substr(20, 19)) + " " +
                        a_day_later(line.substr(40, 19)) + line.substr(59));
    std::sort(moved.begin(), moved.end());
    return moved;
}

class EditsOnServers : public ::testing::TestWithParam<CalDavServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wrenfold::testing::server_installed(GetParam())) << wrenfold::testing::server_name(GetParam());
        alice = std::make_unique<CalDavTestServer>(GetParam(), "alice@example.com", "alice-secret");
        bob = std::make_unique<CalDavTestServer>(GetParam(), "bob@example.com", "bob-secret");
        alice_work = alice->create_calendar("work", "Work");
        alice_home = alice->create_calendar("home", "Home");
        bob_work = bob->create_calendar("work", "Work");
        ::setenv("HOME", (folders.path() / "home").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (folders.path() / "xdg").c_str(), 1);
        app = std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {},
                                            AppEnvironment { { folders.path() / "data", folders.path() / "module" } });
        bridge = std::make_unique<AppBridge>(*app);
        alice_id = add_account(*alice, "alice-secret");
        bob_id = add_account(*bob, "bob-secret");
        event_url = alice_work + "foreign-series-1.ics";
        ASSERT_EQ(alice->put_resource(event_url, kForeignSeries) / 100, 2);
    }

    std::string add_account(const CalDavTestServer& server, const std::string& password)
    {
        ::setenv("WRENFOLD_CALDAV_URL", server.root_url().c_str(), 1);
        Json added = call("add_account", Json::array({ server.user(), password }));
        ::unsetenv("WRENFOLD_CALDAV_URL");
        EXPECT_EQ(added["ok"], true) << added.dump();
        return added["account"]["id"];
    }

    Json call(const std::string& method, const Json& args)
    {
        BridgeReply reply = bridge->call(method, args);
        if (reply.status != BridgeReply::Status::Ok)
            throw std::runtime_error(method + " failed: " + reply.error);
        return reply.result;
    }

    // Every occurrence of March and April: "recurrence_id start end summary", sorted.
    std::vector<std::string> occurrences(const std::string& url)
    {
        Json listed = call("get_events", Json::array({ "2025-03-01", "2025-05-01" }));
        EXPECT_TRUE(listed["errors"].empty()) << listed.dump();
        std::vector<std::string> out;
        for (const auto& e : listed["events"]) {
            if (e.value("url", "") == url)
                out.push_back(e["recurrence_id"].get<std::string>() + " " + e["start"].get<std::string>() + " " +
                              e["end"].get<std::string>() + " " + e["summary"].get<std::string>());
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    Json first_listed(const std::string& url)
    {
        Json listed = call("get_events", Json::array({ "2025-03-01", "2025-05-01" }));
        for (const auto& e : listed["events"]) {
            if (e.value("url", "") == url && e["start"] == "2025-03-03T16:00:00")
                return e;
        }
        return Json();
    }

    TempDir folders;
    std::unique_ptr<CalDavTestServer> alice, bob;
    std::string alice_work, alice_home, bob_work, alice_id, bob_id, event_url;
    std::unique_ptr<WrenfoldApp> app;
    std::unique_ptr<AppBridge> bridge;
};

TEST_P(EditsOnServers, TitleOccurrenceSeriesAndDeleteEditsKeepTheRestOfTheEvent)
{
    const auto before = occurrences(event_url);
    ASSERT_EQ(before.size(), 13u) << ::testing::PrintToString(before);
    Json first = first_listed(event_url);
    ASSERT_TRUE(first.is_object());

    // The page's title edit: the whole event, with its times as listed.
    Json fields = { { "summary", "Meeting" }, { "start", first["start"] }, { "end", first["end"] },
                    { "all_day", false },     { "location", "" },          { "rrule", first["rrule"] } };
    Json renamed = call("update_event", Json::array({ alice_id, event_url, first["etag"], fields }));
    ASSERT_EQ(renamed["ok"], true) << renamed.dump();
    std::vector<std::string> expected = before;
    for (auto& line : expected) {
        if (line.ends_with(" Besprechung"))
            line.replace(line.size() - 11, 11, "Meeting");
    }
    EXPECT_EQ(occurrences(event_url), expected);
    std::string stored = alice->get_resource(event_url);
    for (const char* name : kKeptProperties)
        EXPECT_EQ(property_lines(stored, name), property_lines(std::string(kForeignSeries), name)) << name << "\n"
                                                                                                   << stored;
    EXPECT_EQ(property_lines(master_only(stored), "SUMMARY"),
              std::vector<std::string> { "SUMMARY;LANGUAGE=de:Meeting" });
    EXPECT_EQ(stored.find("X-LIC-ERROR"), std::string::npos) << stored;

    // One occurrence moved by two hours; only it changes.
    Json one = { { "summary", "Meeting" },
                 { "recurrence_id", "2025-03-19T16:00:00" },
                 { "scope", "this" },
                 { "start", "2025-03-19T18:00:00" },
                 { "end", "2025-03-19T19:00:00" } };
    ASSERT_EQ(call("update_event", Json::array({ alice_id, event_url, "", one }))["ok"], true);
    std::replace(expected.begin(), expected.end(),
                 std::string("2025-03-19T16:00:00 2025-03-19T16:00:00 2025-03-19T17:00:00 Meeting"),
                 std::string("2025-03-19T16:00:00 2025-03-19T18:00:00 2025-03-19T19:00:00 Meeting"));
    EXPECT_EQ(occurrences(event_url), expected);

    // The whole series a day later, from an occurrence after the change to summer time.
    Json all = { { "recurrence_id", "2025-04-07T15:00:00" },
                 { "scope", "all" },
                 { "start", "2025-04-08T15:00:00" },
                 { "end", "2025-04-08T16:00:00" } };
    ASSERT_EQ(call("update_event", Json::array({ alice_id, event_url, "", all }))["ok"], true);
    std::vector<std::string> moved = a_day_later(expected);
    EXPECT_EQ(occurrences(event_url), moved);
    stored = alice->get_resource(event_url);
    EXPECT_EQ(property_lines(stored, "RRULE"),
              std::vector<std::string> { "RRULE:FREQ=WEEKLY;UNTIL=20250417T070000Z;BYDAY=TU,TH" });
    // The series keeps what it had; the new override is a full copy of the occurrence, alarm and attendees too.
    for (const char* name : { "ATTENDEE", "ORGANIZER", "CATEGORIES", "TRIGGER", "X-OTHER-APP-COLOR" }) {
        EXPECT_EQ(property_lines(master_only(stored), name),
                  property_lines(master_only(std::string(kForeignSeries)), name))
            << name;
        EXPECT_EQ(property_lines(stored, name).size(),
                  2 * property_lines(master_only(std::string(kForeignSeries)), name).size());
    }

    // One occurrence deleted, then the moved one: both gone, nothing else.
    for (const char* id : { "2025-04-15T15:00:00", "2025-03-20T16:00:00" }) {
        Json gone = call("delete_event", Json::array({ alice_id, event_url, nullptr, id }));
        ASSERT_EQ(gone["ok"], true) << gone.dump();
        std::erase_if(moved, [&](const std::string& line) { return line.starts_with(id); });
    }
    EXPECT_EQ(occurrences(event_url), moved);
    EXPECT_EQ(property_lines(alice->get_resource(event_url), "RECURRENCE-ID").size(), 1u);
}

TEST_P(EditsOnServers, OnlyEventsAreEditedAndMovesCarryTheWholeObject)
{
    // The calendar, the home, the principal, dot segments: refused, and the calendar is still there.
    std::string home = alice->home_url();
    for (const std::string& url : { alice_work, home, alice->root_url(), alice_work + "../work/",
                                    alice_work + "%2E%2E/", alice_home + "../work/foreign-series-1.ics" }) {
        Json refused = call("delete_event", Json::array({ alice_id, url }));
        EXPECT_EQ(refused["ok"], false) << url;
        EXPECT_EQ(call("update_event", Json::array({ alice_id, url, "", Json { { "summary", "x" } } }))["ok"], false);
    }
    ASSERT_EQ(occurrences(event_url).size(), 13u);

    // Within the account, then to the other account: every property comes along, the UID too.
    Json fields = { { "uid", "foreign-series-1" }, { "summary", "Besprechung" } };
    Json inside = call("move_event", Json::array({ alice_id, event_url, "", alice_id, alice_home, fields }));
    ASSERT_EQ(inside["ok"], true) << inside.dump();
    Json across =
        call("move_event", Json::array({ alice_id, inside["url"], inside["etag"], bob_id, bob_work, fields }));
    ASSERT_EQ(across["ok"], true) << across.dump();
    std::string stored = bob->get_resource(across["url"]);
    for (const char* name : kKeptProperties)
        EXPECT_EQ(property_lines(stored, name), property_lines(std::string(kForeignSeries), name)) << name << "\n"
                                                                                                   << stored;
    EXPECT_EQ(property_lines(stored, "SUMMARY"), property_lines(std::string(kForeignSeries), "SUMMARY"));
    EXPECT_EQ(occurrences(across["url"]).size(), 13u);
    EXPECT_TRUE(occurrences(event_url).empty());
    EXPECT_TRUE(occurrences(inside["url"]).empty());
}

TEST_P(EditsOnServers, ASeriesMovedFromOneOfItsOccurrencesKeepsItsFirstDay)
{
    const auto before = occurrences(event_url);
    ASSERT_EQ(before.size(), 13u) << ::testing::PrintToString(before);

    // Opened at an April occurrence, a day later and into the other calendar of the account.
    Json inside_fields = { { "recurrence_id", "2025-04-07T15:00:00" },
                           { "scope", "all" },
                           { "start", "2025-04-08T15:00:00" },
                           { "end", "2025-04-08T16:00:00" } };
    Json inside = call("move_event", Json::array({ alice_id, event_url, "", alice_id, alice_home, inside_fields }));
    ASSERT_EQ(inside["ok"], true) << inside.dump();
    EXPECT_EQ(occurrences(inside["url"]), a_day_later(before));

    // And from there, another day later, to the other account.
    Json across_fields = { { "recurrence_id", "2025-04-08T15:00:00" },
                           { "scope", "all" },
                           { "start", "2025-04-09T15:00:00" },
                           { "end", "2025-04-09T16:00:00" } };
    Json across =
        call("move_event", Json::array({ alice_id, inside["url"], inside["etag"], bob_id, bob_work, across_fields }));
    ASSERT_EQ(across["ok"], true) << across.dump();
    EXPECT_EQ(occurrences(across["url"]), a_day_later(a_day_later(before)));
    EXPECT_TRUE(occurrences(inside["url"]).empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, EditsOnServers,
                         ::testing::Values(CalDavServerKind::Radicale, CalDavServerKind::Xandikos,
                                           CalDavServerKind::Exact),
                         [](const auto& server) { return std::string(wrenfold::testing::server_name(server.param)); });

}  // namespace
