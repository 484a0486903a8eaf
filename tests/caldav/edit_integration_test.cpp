// Edits through the bridge, the application object and the real engine, on
// events that other calendar programs wrote, against Radicale and Xandikos.
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "support/bridge_calls.h"
#include "support/caldav_server.h"
#include "support/environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

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

// The properties of a stored object by where they stand: "VCALENDAR", or a
// VEVENT by its RECURRENCE-ID line ("" for the series); each name with its
// unfolded lines, sorted. VTIMEZONEs are left out (servers add them).
using Properties = std::map<std::string, std::vector<std::string>>;
std::map<std::string, Properties> stored_properties(std::string ics)
{
    for (size_t pos; (pos = ics.find("\r\n ")) != std::string::npos;)
        ics.erase(pos, 3);
    std::map<std::string, Properties> out;
    Properties event;
    std::string key;
    int depth = 0;
    for (size_t start = 0, end; (end = ics.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = ics.substr(start, end - start);
        std::string name = line.substr(0, line.find_first_of(";:"));
        if (name == "BEGIN" && ++depth == 2)
            event.clear(), key.clear();
        if (depth == 1 && name != "BEGIN")
            out["VCALENDAR"][name].push_back(line);
        if (depth >= 2 && line.rfind("BEGIN:VEVENT", 0) != 0 && line != "END:VEVENT")
            event[name].push_back(line);
        if (depth == 2 && name == "RECURRENCE-ID")
            key = line;
        if (name == "END" && depth-- == 2 && line == "END:VEVENT")
            out[key] = event;
    }
    for (auto& [where, properties] : out)
        for (auto& [name, lines] : properties)
            std::sort(lines.begin(), lines.end());
    return out;
}

// Each property of `before` that is not named in `edited` is stored as it
// was, parameters and all, and no property appears that was not asked for.
void expect_kept(const Properties& before, const Properties& after, const std::set<std::string>& edited)
{
    std::set<std::string> names;
    for (const auto* side : { &before, &after })
        for (const auto& [name, lines] : *side)
            names.insert(name);
    for (const auto& name : names) {
        if (edited.count(name) || name == "DTSTAMP" || name == "LAST-MODIFIED" || name == "SEQUENCE")
            continue;
        auto was = before.find(name);
        auto is = after.find(name);
        EXPECT_EQ(is == after.end() ? std::vector<std::string> {} : is->second,
                  was == before.end() ? std::vector<std::string> {} : was->second)
            << name;
    }
}

// A weekly series in Berlin on four Mondays from March 3, 2025 (16:00 in
// the test's home zone, Taipei), with other lines of its own.
std::string series_with(const std::string& uid, const std::string& lines, const std::string& calendar_lines = "")
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Calendar//EN\r\n" + calendar_lines +
        "BEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTAMP:20250101T000000Z\r\nSEQUENCE:4\r\n"
        "DTSTART;TZID=Europe/Berlin:20250303T090000\r\nDTEND;TZID=Europe/Berlin:20250303T100000\r\n"
        "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;COUNT=8\r\nSUMMARY;LANGUAGE=de:Besprechung\r\n"
        "DESCRIPTION:Notizen\r\nLOCATION;LANGUAGE=de:Raum 1\r\n" +
        lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

// An override of the series above, on the Wednesday March 5 or 12.
std::string override_on(const std::string& uid, const std::string& day, const std::string& summary)
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20250101T000000Z\r\nSEQUENCE:4\r\n" +
        "RECURRENCE-ID;TZID=Europe/Berlin:202503" + day + "T090000\r\nDTSTART;TZID=Europe/Berlin:202503" + day +
        "T140000\r\nDTEND;TZID=Europe/Berlin:202503" + day + "T150000\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\n";
}

std::string with_override(std::string ics, const std::string& event)
{
    return ics.insert(ics.rfind("END:VCALENDAR"), event);
}

const std::string kOccurrence = "RECURRENCE-ID;TZID=Europe/Berlin:20250310T090000";

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
        wrenfold::testing::set_environment("HOME", (folders.path() / "home").string());
        wrenfold::testing::set_environment("XDG_DATA_HOME", (folders.path() / "xdg").string());
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
        wrenfold::testing::set_environment("WRENFOLD_CALDAV_URL", server.root_url());
        Json added = call("add_account", Json::array({ server.user(), password }));
        wrenfold::testing::unset_environment("WRENFOLD_CALDAV_URL");
        EXPECT_EQ(added["ok"], true) << added.dump();
        return added["account"]["id"];
    }

    Json call(const std::string& method, const Json& args)
    {
        BridgeReply reply = bridge->call(method, args);
        if (reply.status != BridgeReply::Status::Ok)
            throw std::runtime_error(method + " failed: " + reply.error);
        return wrenfold::testing::reply_result(reply);
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

    // Stores `ics` at a new URL of alice's work calendar; answers the URL, or
    // "" when the server refused the object (Radicale checks what it stores).
    std::string put_object(const std::string& name, const std::string& ics)
    {
        std::string url = alice_work + name + ".ics";
        return alice->put_resource(url, ics) / 100 == 2 ? url : "";
    }
    void expect_ok(const std::string& method, const Json& args)
    {
        Json answer = call(method, args);
        EXPECT_EQ(answer["ok"], true) << method << " " << answer.dump();
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

TEST_P(EditsOnServers, LinesAnEditDoesNotTouchAreStoredAsTheyWere)
{
    struct Shape {
        const char* name;
        std::string lines;
        std::string calendar_lines;
        Json fields;
        Properties changed;  // what the edit of the series writes
    };
    const Json title = { { "summary", "Meeting" } };
    const Properties new_title { { "SUMMARY", { "SUMMARY;LANGUAGE=de:Meeting" } } };
    const std::string renderings = "X-ALT-DESC;FMTTYPE=text/html:<p>Notizen; mit, Zeichen</p>\r\n"
                                   "X-APPLE-STRUCTURED-LOCATION;VALUE=URI;X-TITLE=Raum 1:geo:52.5,13.4\r\n";
    const Shape shapes[] = {
        { "values libical cannot read", "GEO:abc\r\nPRIORITY:high\r\nX-A-LINE-WITHOUT-A-COLON\r\n", "", title,
          new_title },
        { "an empty calendar description", "", "X-WR-CALDESC:\r\n", title, new_title },
        { "list-valued parameters",
          "ATTENDEE;DELEGATED-TO=\"mailto:bob@example.com\",\"mailto:carol@example.com\":mailto:ann@example.com\r\n"
          "CONFERENCE;VALUE=URI;FEATURE=AUDIO,VIDEO:https://meet.example.com/x\r\n",
          "", title, new_title },
        { "other programs' X- values",
          "X-MICROSOFT-LOCATIONS:[{\"DisplayName\":\"Raum 1, HQ\",\"Uri\":\"a;b\"}]\r\n"
          "X-LONG-VALUE:a line that another program folded after forty\r\n  octets and did not escape, at all\r\n",
          "", title, new_title },
        { "new notes",
          renderings,
          "",
          { { "description", "Neu" } },
          { { "DESCRIPTION", { "DESCRIPTION:Neu" } }, { "X-ALT-DESC", {} } } },
        { "a new place",
          renderings,
          "",
          { { "location", "Raum 2" } },
          { { "LOCATION", { "LOCATION;LANGUAGE=de:Raum 2" } }, { "X-APPLE-STRUCTURED-LOCATION", {} } } },
    };
    int n = 0;
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        std::string uid = "shape-" + std::to_string(++n);
        std::string url = put_object(uid, series_with(uid, shape.lines, shape.calendar_lines));
        if (url.empty()) {  // only a server that checks objects may refuse it, as iCloud does not
            EXPECT_EQ(GetParam(), CalDavServerKind::Radicale);
            continue;
        }
        std::string stored = alice->get_resource(url);
        auto before = stored_properties(stored);

        // The series edited as a whole: what changed is written, nothing else.
        expect_ok("update_event", Json::array({ alice_id, url, "", shape.fields }));
        stored = alice->get_resource(url);
        auto after = stored_properties(stored);
        std::set<std::string> edited;
        for (const auto& [name, lines] : shape.changed) {
            edited.insert(name);
            EXPECT_EQ(after[""][name], lines) << name;
        }
        expect_kept(before[""], after[""], edited);
        expect_kept(before["VCALENDAR"], after["VCALENDAR"], {});
        if (GetParam() == CalDavServerKind::Exact && edited.size() == 1) {
            EXPECT_NE(stored.find(shape.lines), std::string::npos) << stored;
        }

        // One occurrence retitled: its override is a copy of the series as stored.
        Json one = { { "summary", "Einmal" }, { "recurrence_id", "2025-03-10T16:00:00" }, { "scope", "this" } };
        expect_ok("update_event", Json::array({ alice_id, url, "", one }));
        auto copied = stored_properties(alice->get_resource(url));
        expect_kept(after[""], copied[""], {});
        EXPECT_EQ(copied[kOccurrence]["SUMMARY"], std::vector<std::string> { "SUMMARY;LANGUAGE=de:Einmal" });
        expect_kept(after[""], copied[kOccurrence], { "SUMMARY", "DTSTART", "DTEND", "RRULE", "RECURRENCE-ID" });
    }
}

TEST_P(EditsOnServers, SequenceRisesOnlyWhereATimeOrTheRuleChanged)
{
    const std::string moved = "RECURRENCE-ID;TZID=Europe/Berlin:20250312T090000";
    const Json occurrence = { { "recurrence_id", "2025-03-10T16:00:00" } };
    struct Edit {
        const char* name;
        Json fields;  // null: the occurrence is deleted
        std::map<std::string, std::string> sequences;
    };
    const Edit edits[] = {
        { "the series retitled", { { "summary", "Meeting" } }, { { "", "4" }, { moved, "4" } } },
        { "one occurrence retitled",
          { { "summary", "Einmal" }, { "recurrence_id", "2025-03-10T16:00:00" }, { "scope", "this" } },
          { { "", "4" }, { moved, "4" }, { kOccurrence, "4" } } },
        { "one occurrence moved",
          { { "recurrence_id", "2025-03-10T16:00:00" },
            { "scope", "this" },
            { "start", "2025-03-10T18:00:00" },
            { "end", "2025-03-10T19:00:00" } },
          { { "", "4" }, { moved, "4" }, { kOccurrence, "5" } } },
        { "the series moved",
          { { "recurrence_id", "2025-03-10T16:00:00" },
            { "scope", "all" },
            { "start", "2025-03-10T17:00:00" },
            { "end", "2025-03-10T18:00:00" } },
          { { "", "5" }, { "RECURRENCE-ID;TZID=Europe/Berlin:20250312T100000", "5" } } },
        { "one occurrence deleted", nullptr, { { "", "5" }, { moved, "4" } } },
    };
    int n = 0;
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.name);
        std::string uid = "sequence-" + std::to_string(++n);
        std::string url = put_object(uid, with_override(series_with(uid, ""), override_on(uid, "12", "Nachmittag")));
        ASSERT_FALSE(url.empty());
        if (edit.fields.is_null())
            expect_ok("delete_event", Json::array({ alice_id, url, "", "2025-03-10T16:00:00" }));
        else
            expect_ok("update_event", Json::array({ alice_id, url, "", edit.fields }));
        std::map<std::string, std::string> sequences;
        for (const auto& [where, properties] : stored_properties(alice->get_resource(url)))
            if (where != "VCALENDAR")
                sequences[where] = properties.at("SEQUENCE").at(0).substr(9);
        EXPECT_EQ(sequences, edit.sequences);
    }
}

TEST_P(EditsOnServers, ANewRuleDropsTheExceptionsItNoLongerProduces)
{
    const std::string kept = "RECURRENCE-ID;TZID=Europe/Berlin:20250310T090000";
    std::string ics = series_with("rule-1",
                                  "EXDATE;TZID=Europe/Berlin:20250305T090000\r\n"
                                  "EXDATE;TZID=Europe/Berlin:20250317T090000\r\n");
    std::string monday = override_on("rule-1", "12", "Mittwoch");
    monday.replace(monday.find("20250312T090000"), 15, "20250310T090000");
    std::string url =
        put_object("rule-1", with_override(with_override(ics, override_on("rule-1", "12", "Mittwoch")), monday));
    ASSERT_FALSE(url.empty());
    auto before = stored_properties(alice->get_resource(url));
    ASSERT_EQ(before.size(), 4u);

    // Mondays only: the Wednesday's exclusion and override name no occurrence any more.
    expect_ok("update_event", Json::array({ alice_id, url, "", Json { { "rrule", "FREQ=WEEKLY;BYDAY=MO;COUNT=4" } } }));
    auto after = stored_properties(alice->get_resource(url));
    EXPECT_EQ(after[""]["EXDATE"], std::vector<std::string> { "EXDATE;TZID=Europe/Berlin:20250317T090000" });
    EXPECT_EQ(after.count("RECURRENCE-ID;TZID=Europe/Berlin:20250312T090000"), 0u);
    expect_kept(before[kept], after[kept], {});
    expect_kept(before[""], after[""], { "RRULE", "EXDATE" });
}

TEST_P(EditsOnServers, ASeriesMovedFromAnOverrideTravelsAsStored)
{
    std::string ics = with_override(series_with("travel-1", ""), override_on("travel-1", "12", "Nachmittag"));
    std::string url = put_object("travel-1", ics);
    ASSERT_FALSE(url.empty());
    auto before = stored_properties(alice->get_resource(url));
    // What the editor sends when the series is moved from the override: its
    // texts as the override shows them, no times.
    Json fields = { { "uid", "travel-1" }, { "recurrence_id", "2025-03-12T16:00:00" },
                    { "scope", "all" },    { "summary", "Nachmittag" },
                    { "location", "" },    { "description", "" } };
    Json inside = call("move_event", Json::array({ alice_id, url, "", alice_id, alice_home, fields }));
    ASSERT_EQ(inside["ok"], true) << inside.dump();
    Json across =
        call("move_event", Json::array({ alice_id, inside["url"], inside["etag"], bob_id, bob_work, fields }));
    ASSERT_EQ(across["ok"], true) << across.dump();
    auto after = stored_properties(bob->get_resource(across["url"]));
    for (const auto& [where, properties] : before)
        expect_kept(properties, after[where], {});
}

INSTANTIATE_TEST_SUITE_P(Servers, EditsOnServers,
                         ::testing::Values(CalDavServerKind::Radicale, CalDavServerKind::Xandikos,
                                           CalDavServerKind::Exact),
                         [](const auto& server) { return std::string(wrenfold::testing::server_name(server.param)); });

}  // namespace
