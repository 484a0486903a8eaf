// What the page lists for objects written the way other calendar programs
// write them: through the bridge, the application object and the real engine,
// against Radicale. Expected times are worked out here without the
// iCalendar library: by hand, or with fixed UTC offsets.
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "support/bridge_calls.h"
#include "support/caldav_server.h"
#include "support/environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

using namespace wrenfold;
using namespace std::chrono;
using wrenfold::testing::CalDavServerKind;
using wrenfold::testing::CalDavTestServer;
using wrenfold::testing::TempDir;

namespace {

std::string object(const std::string& events)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Calendar//EN\r\n" + events + "END:VCALENDAR\r\n";
}

std::string date_text(sys_days day)
{
    year_month_day date(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

// Wall-clock text of an instant at a fixed offset from UTC.
std::string wall_at(sys_seconds instant, minutes offset)
{
    sys_seconds wall = instant + offset;
    sys_days day = floor<days>(wall);
    hh_mm_ss time(wall - day);
    char text[16];
    std::snprintf(text, sizeof text, "T%02d:%02d:%02d", static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return date_text(day) + text;
}

// Every 5 hours since 2016-01-01 00:00 in Kathmandu (+05:45 all along), as
// "recurrence_id start end summary" lines of one Taipei (+08:00) day.
std::vector<std::string> every_fifth_hour_in_kathmandu(sys_days taipei_day)
{
    const sys_seconds first = sys_days { year { 2016 } / 1 / 1 } - hours(5) - minutes(45);
    const sys_seconds from = taipei_day - hours(8), to = from + days(1);
    std::vector<std::string> lines;
    for (sys_seconds t = first + (from - first) / hours(5) * hours(5); t < to; t += hours(5)) {
        if (t < from)
            continue;
        std::string start = wall_at(t, hours(8));
        lines.push_back(start + " " + start + " " + wall_at(t + minutes(30), hours(8)) + " Shift");
    }
    return lines;
}

struct ListingCase {
    const char* name;
    std::string ics;
    std::vector<std::string> expected;  // sorted "recurrence_id start end summary" lines of the range
    const char* from = "2025-03-10";
    const char* to = "2025-03-17";
    // Radicale refuses RDATE periods and overrides without their series; Xandikos filters a range by the first RRULE
    // only.
    CalDavServerKind server = CalDavServerKind::Radicale;
};

std::vector<ListingCase> listing_cases()
{
    return {
        { "every_rrule",
          object("BEGIN:VEVENT\r\nUID:two-rules\r\nDTSTAMP:20240101T000000Z\r\n"
                 "DTSTART;TZID=Asia/Taipei:20250101T090000\r\nDTEND;TZID=Asia/Taipei:20250101T100000\r\n"
                 "RRULE:FREQ=MONTHLY;BYMONTHDAY=1\r\nRRULE:FREQ=MONTHLY;BYMONTHDAY=15\r\n"
                 "SUMMARY:Pay\r\nEND:VEVENT\r\n"),
          { "2025-03-15T09:00:00 2025-03-15T09:00:00 2025-03-15T10:00:00 Pay" } },
        { "rdate_period_keeps_its_own_length",
          object("BEGIN:VEVENT\r\nUID:period\r\nDTSTAMP:20240101T000000Z\r\n"
                 "DTSTART;TZID=Asia/Taipei:20250310T090000\r\nDTEND;TZID=Asia/Taipei:20250310T093000\r\n"
                 "RDATE;VALUE=PERIOD:20250312T020000Z/20250312T060000Z\r\n"
                 "RDATE;VALUE=PERIOD:20250314T010000Z/PT2H\r\nSUMMARY:Lab\r\nEND:VEVENT\r\n"),
          { "2025-03-10T09:00:00 2025-03-10T09:00:00 2025-03-10T09:30:00 Lab",
            "2025-03-12T10:00:00 2025-03-12T10:00:00 2025-03-12T14:00:00 Lab",
            "2025-03-14T09:00:00 2025-03-14T09:00:00 2025-03-14T11:00:00 Lab" },
          "2025-03-10",
          "2025-03-17",
          CalDavServerKind::Xandikos },
        { "windows_zone_name_without_vtimezone",
          object("BEGIN:VEVENT\r\nUID:tokyo\r\nDTSTAMP:20240101T000000Z\r\n"
                 "DTSTART;TZID=Tokyo Standard Time:20250311T100000\r\n"
                 "DTEND;TZID=Tokyo Standard Time:20250311T110000\r\nSUMMARY:Tokyo call\r\nEND:VEVENT\r\n"),
          { " 2025-03-11T09:00:00 2025-03-11T10:00:00 Tokyo call" } },
        { "spring_forward_gap_keeps_the_length",
          // Berlin skips 02:00-03:00 on March 30: that day's 02:30 is 03:30 CEST (01:30 UTC).
          object("BEGIN:VEVENT\r\nUID:gap\r\nDTSTAMP:20240101T000000Z\r\n"
                 "DTSTART;TZID=Europe/Berlin:20250329T023000\r\nDTEND;TZID=Europe/Berlin:20250329T031500\r\n"
                 "RRULE:FREQ=DAILY;COUNT=2\r\nSUMMARY:Night job\r\nEND:VEVENT\r\n"),
          // Taipei is 7 hours ahead of Berlin in winter, 6 in summer.
          { "2025-03-29T09:30:00 2025-03-29T09:30:00 2025-03-29T10:15:00 Night job",
            "2025-03-30T09:30:00 2025-03-30T09:30:00 2025-03-30T10:15:00 Night job" },
          "2025-03-29",
          "2025-04-01" },
        { "this_and_future_override",
          object("BEGIN:VEVENT\r\nUID:range\r\nDTSTAMP:20240101T000000Z\r\n"
                 "DTSTART;TZID=Asia/Taipei:20250303T090000\r\nDTEND;TZID=Asia/Taipei:20250303T100000\r\n"
                 "RRULE:FREQ=DAILY;COUNT=12\r\nSUMMARY:Standup\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:range\r\nDTSTAMP:20240101T000000Z\r\n"
                 "RECURRENCE-ID;RANGE=THISANDFUTURE;TZID=Asia/Taipei:20250312T090000\r\n"
                 "DTSTART;TZID=Asia/Taipei:20250312T113000\r\nDTEND;TZID=Asia/Taipei:20250312T114500\r\n"
                 "SUMMARY:Standup (later)\r\nEND:VEVENT\r\n"),
          { "2025-03-10T09:00:00 2025-03-10T09:00:00 2025-03-10T10:00:00 Standup",
            "2025-03-11T09:00:00 2025-03-11T09:00:00 2025-03-11T10:00:00 Standup",
            "2025-03-12T09:00:00 2025-03-12T11:30:00 2025-03-12T11:45:00 Standup (later)",
            "2025-03-13T09:00:00 2025-03-13T11:30:00 2025-03-13T11:45:00 Standup (later)",
            "2025-03-14T09:00:00 2025-03-14T11:30:00 2025-03-14T11:45:00 Standup (later)" } },
        { "overrides_without_their_series",
          object("BEGIN:VEVENT\r\nUID:invited\r\nDTSTAMP:20240101T000000Z\r\n"
                 "RECURRENCE-ID;TZID=Asia/Taipei:20250310T090000\r\n"
                 "DTSTART;TZID=Asia/Taipei:20250310T090000\r\nDTEND;TZID=Asia/Taipei:20250310T100000\r\n"
                 "SUMMARY:Review 1\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:invited\r\nDTSTAMP:20240101T000000Z\r\n"
                 "RECURRENCE-ID;TZID=Asia/Taipei:20250311T090000\r\n"
                 "DTSTART;TZID=Asia/Taipei:20250312T150000\r\nDTEND;TZID=Asia/Taipei:20250312T160000\r\n"
                 "SUMMARY:Review 2\r\nEND:VEVENT\r\n"),
          { "2025-03-10T09:00:00 2025-03-10T09:00:00 2025-03-10T10:00:00 Review 1",
            "2025-03-11T09:00:00 2025-03-12T15:00:00 2025-03-12T16:00:00 Review 2" },
          "2025-03-10",
          "2025-03-17",
          CalDavServerKind::Xandikos },
    };
}

class ListingOnServers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folders = std::make_unique<TempDir>();
        wrenfold::testing::set_environment("HOME", (folders->path() / "home").string());
        wrenfold::testing::set_environment("XDG_DATA_HOME", (folders->path() / "xdg").string());
        app =
            std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {},
                                          AppEnvironment { { folders->path() / "data", folders->path() / "module" } });
        bridge = std::make_unique<AppBridge>(*app);
        for (CalDavServerKind kind :
             { CalDavServerKind::Radicale, CalDavServerKind::Xandikos, CalDavServerKind::Exact }) {
            ASSERT_TRUE(wrenfold::testing::server_installed(kind));
            auto& server = servers[kind];
            server = std::make_unique<CalDavTestServer>(
                kind, std::string(wrenfold::testing::server_name(kind)) + "@example.com");
            calendars[kind] = server->create_calendar("work", "Work");
            wrenfold::testing::set_environment("WRENFOLD_CALDAV_URL", server->root_url());
            Json added =
                wrenfold::testing::call(*bridge, "add_account", Json::array({ server->user(), server->password() }));
            wrenfold::testing::unset_environment("WRENFOLD_CALDAV_URL");
            ASSERT_EQ(added["ok"], true) << added.dump();
        }
    }
    static void TearDownTestSuite()
    {
        bridge.reset();
        app.reset();
        servers.clear();
        folders.reset();
    }

    // "recurrence_id start end summary" of every listed occurrence of `url`, sorted.
    static std::vector<std::string> listed(const std::string& url, const char* from, const char* to)
    {
        // Objects put on the server by another client reach the local copy
        // at its next sync.
        wrenfold::testing::call(*bridge, "sync_now");
        Json answer = wrenfold::testing::call(*bridge, "get_events", Json::array({ from, to }));
        EXPECT_EQ(answer["errors"], Json::array()) << answer.dump();
        std::vector<std::string> lines;
        for (const Json& e : answer["events"])
            if (e.value("url", "") == url)
                lines.push_back(e.value("recurrence_id", "") + " " + e.value("start", "") + " " + e.value("end", "") +
                                " " + e.value("summary", ""));
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    static Json edit(const std::string& method, const Json& args)
    {
        Json answer = wrenfold::testing::call(*bridge, method, args);
        EXPECT_EQ(answer["ok"], true) << method << " " << answer.dump();
        return answer;
    }
    static std::string account_of(CalDavServerKind kind)
    {
        Json accounts = wrenfold::testing::call(*bridge, "list_accounts");
        for (const Json& account : accounts["accounts"])
            if (account.value("apple_id", "") == servers[kind]->user())
                return account.value("id", "");
        return "";
    }

    static inline std::unique_ptr<TempDir> folders;
    static inline std::map<CalDavServerKind, std::unique_ptr<CalDavTestServer>> servers;
    static inline std::map<CalDavServerKind, std::string> calendars;
    static inline std::unique_ptr<WrenfoldApp> app;
    static inline std::unique_ptr<AppBridge> bridge;
};

TEST_F(ListingOnServers, ObjectsOfOtherProgramsListEveryOccurrenceAsWritten)
{
    for (const ListingCase& row : listing_cases()) {
        std::string url = calendars[row.server] + row.name + ".ics";
        ASSERT_EQ(servers[row.server]->put_resource(url, row.ics) / 100, 2) << row.name;
        EXPECT_EQ(listed(url, row.from, row.to), row.expected) << row.name;
    }
}

TEST_F(ListingOnServers, SubDailyRulesYearsOldStayOnTheirIntervalGrid)
{
    std::string url = calendars[CalDavServerKind::Radicale] + "kathmandu.ics";
    ASSERT_EQ(servers[CalDavServerKind::Radicale]->put_resource(
                  url,
                  object("BEGIN:VEVENT\r\nUID:shift\r\nDTSTAMP:20160101T000000Z\r\n"
                         "DTSTART;TZID=Asia/Kathmandu:20160101T000000\r\n"
                         "DURATION:PT30M\r\nRRULE:FREQ=HOURLY;INTERVAL=5\r\n"
                         "SUMMARY:Shift\r\nEND:VEVENT\r\n")) /
                  100,
              2);
    for (sys_days day : { sys_days { year { 2025 } / 3 / 10 }, sys_days { year { 2026 } / 7 / 1 } }) {
        std::string from = date_text(day), to = date_text(day + days(1));
        EXPECT_EQ(listed(url, from.c_str(), to.c_str()), every_fifth_hour_in_kathmandu(day)) << from;
    }
}

// Edits of the shapes above, on a server that stores what it is sent, as
// iCloud does: each lands on the event it came from and keeps what the
// object says about the other occurrences.
TEST_F(ListingOnServers, EditsLandOnTheEventTheyCameFromAndKeepTheRest)
{
    const CalDavServerKind exact = CalDavServerKind::Exact;
    const std::string account = account_of(exact);
    std::map<std::string, std::string> url_of;
    for (const ListingCase& row : listing_cases()) {
        url_of[row.name] = calendars[exact] + row.name + ".ics";
        ASSERT_EQ(servers[exact]->put_resource(url_of[row.name], row.ics) / 100, 2) << row.name;
    }

    // Overrides without their series: a drag of the second moves only it; deleting both deletes the object.
    const std::string invited = url_of["overrides_without_their_series"];
    edit("update_event",
         Json::array({ account, invited, "",
                       Json { { "recurrence_id", "2025-03-11T09:00:00" },
                              { "start", "2025-03-13T15:00:00" },
                              { "end", "2025-03-13T16:00:00" } } }));
    EXPECT_EQ(listed(invited, "2025-03-10", "2025-03-17"),
              (std::vector<std::string> { "2025-03-10T09:00:00 2025-03-10T09:00:00 2025-03-10T10:00:00 Review 1",
                                          "2025-03-11T09:00:00 2025-03-13T15:00:00 2025-03-13T16:00:00 Review 2" }));
    edit("delete_event", Json::array({ account, invited, nullptr, "2025-03-10T09:00:00" }));
    EXPECT_EQ(listed(invited, "2025-03-10", "2025-03-17"),
              (std::vector<std::string> { "2025-03-11T09:00:00 2025-03-13T15:00:00 2025-03-13T16:00:00 Review 2" }));
    edit("delete_event", Json::array({ account, invited, nullptr, "2025-03-11T09:00:00" }));
    EXPECT_THROW(servers[exact]->get_resource(invited), std::runtime_error);

    // The occurrence of a this-and-future override deleted: the later days keep their change.
    const std::string range = url_of["this_and_future_override"];
    edit("delete_event", Json::array({ account, range, nullptr, "2025-03-12T09:00:00" }));
    EXPECT_EQ(
        listed(range, "2025-03-11", "2025-03-15"),
        (std::vector<std::string> { "2025-03-11T09:00:00 2025-03-11T09:00:00 2025-03-11T10:00:00 Standup",
                                    "2025-03-13T09:00:00 2025-03-13T11:30:00 2025-03-13T11:45:00 Standup (later)",
                                    "2025-03-14T09:00:00 2025-03-14T11:30:00 2025-03-14T11:45:00 Standup (later)" }));

    // All-day for all events, asked from the 15th of the month: every occurrence becomes its own day.
    const std::string rules = url_of["every_rrule"];
    edit("update_event",
         Json::array({ account, rules, "",
                       Json { { "recurrence_id", "2025-03-15T09:00:00" },
                              { "scope", "all" },
                              { "all_day", true },
                              { "start", "2025-03-15" },
                              { "end", "2025-03-16" } } }));
    EXPECT_EQ(
        listed(rules, "2025-03-01", "2025-04-02"),
        (std::vector<std::string> { "2025-03-01 2025-03-01 2025-03-02 Pay", "2025-03-15 2025-03-15 2025-03-16 Pay",
                                    "2025-04-01 2025-04-01 2025-04-02 Pay" }));
}

TEST_F(ListingOnServers, ThisAndFollowingEndsTheSeriesAndStartsANewOneWithTheLaterExceptions)
{
    const CalDavServerKind exact = CalDavServerKind::Exact;
    const std::string url = calendars[exact] + "weekly-sync.ics";
    auto timed = [](const char* name, const char* wall) {
        return std::string(name) + ";TZID=Asia/Taipei:" + wall + "\r\n";
    };
    const std::string ics =
        object("BEGIN:VEVENT\r\nUID:weekly-sync\r\nDTSTAMP:20240101T000000Z\r\n" + timed("DTSTART", "20250303T090000") +
               timed("DTEND", "20250303T100000") + "RRULE:FREQ=WEEKLY;COUNT=6\r\n" +
               timed("EXDATE", "20250310T090000") + timed("EXDATE", "20250331T090000") +
               "SUMMARY:Sync\r\nEND:VEVENT\r\n"
               "BEGIN:VEVENT\r\nUID:weekly-sync\r\nDTSTAMP:20240101T000000Z\r\n" +
               timed("RECURRENCE-ID", "20250303T090000") + timed("DTSTART", "20250303T130000") +
               timed("DTEND", "20250303T140000") + "SUMMARY:Sync early\r\nEND:VEVENT\r\n" +
               "BEGIN:VEVENT\r\nUID:weekly-sync\r\nDTSTAMP:20240101T000000Z\r\n" +
               timed("RECURRENCE-ID", "20250324T090000") + timed("DTSTART", "20250324T150000") +
               timed("DTEND", "20250324T160000") + "SUMMARY:Sync moved\r\nEND:VEVENT\r\n");
    ASSERT_EQ(servers[exact]->put_resource(url, ics) / 100, 2);

    Json split = edit(
        "update_event",
        Json::array(
            { account_of(exact), url, "",
              Json { { "recurrence_id", "2025-03-17T09:00:00" }, { "scope", "future" }, { "summary", "Sync v2" } } }));
    const std::string later = split.value("url", "");
    ASSERT_NE(later, url);
    EXPECT_EQ(listed(url, "2025-03-01", "2025-05-01"),
              (std::vector<std::string> { "2025-03-03T09:00:00 2025-03-03T13:00:00 2025-03-03T14:00:00 Sync early" }));
    EXPECT_EQ(listed(later, "2025-03-01", "2025-05-01"),
              (std::vector<std::string> { "2025-03-17T09:00:00 2025-03-17T09:00:00 2025-03-17T10:00:00 Sync v2",
                                          "2025-03-24T09:00:00 2025-03-24T15:00:00 2025-03-24T16:00:00 Sync moved",
                                          "2025-04-07T09:00:00 2025-04-07T09:00:00 2025-04-07T10:00:00 Sync v2" }));
    // The series' rule now ends before the 17th; the new one counts what is left and has its own UID.
    const std::string earlier_text = servers[exact]->get_resource(url);
    const std::string later_text = servers[exact]->get_resource(later);
    EXPECT_NE(earlier_text.find("RRULE:FREQ=WEEKLY;UNTIL=20250317T005959Z"), std::string::npos) << earlier_text;
    EXPECT_NE(later_text.find("RRULE:FREQ=WEEKLY;COUNT=4"), std::string::npos) << later_text;
    EXPECT_EQ(later_text.find("UID:weekly-sync\r\n"), std::string::npos) << later_text;
    EXPECT_EQ(later_text.find("20250310T090000"), std::string::npos) << later_text;
}

}  // namespace
