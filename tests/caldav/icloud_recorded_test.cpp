// The engine on recorded iCloud-style answers, through a scripted transport.
#include "caldav/icloud_caldav.h"
#include "support/json_engine.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

namespace wrenfold::caldav {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

// Answers by method and URL; remembers every request it was given.
class ScriptedTransport : public HttpTransport {
public:
    struct Log {
        std::mutex lock;
        std::vector<HttpRequest> requests;
        std::map<std::string, HttpResponse> answers;  // "METHOD url"
        // Requests the server carries out (the resource is gone afterwards)
        // but whose answer is lost on the way back.
        std::set<std::string> unanswered;
        // Answers given once each, in order, before the standing ones.
        std::map<std::string, std::vector<HttpResponse>> once;
    };
    explicit ScriptedTransport(std::shared_ptr<Log> log)
        : m_log(std::move(log))
    {
    }
    HttpResponse perform(const HttpRequest& request) override
    {
        std::lock_guard guard(m_log->lock);
        m_log->requests.push_back(request);
        if (m_log->unanswered.count(request.method + " " + request.url)) {
            m_log->answers.erase("GET " + request.url);
            throw CalDavError("network error: timed out");
        }
        if (auto& queued = m_log->once[request.method + " " + request.url]; !queued.empty()) {
            HttpResponse next = queued.front();
            queued.erase(queued.begin());
            return next;
        }
        auto it = m_log->answers.find(request.method + " " + request.url);
        if (it == m_log->answers.end())
            return HttpResponse { 404, {}, "" };
        return it->second;
    }

private:
    std::shared_ptr<Log> m_log;
};

const char* kRoot = "https://caldav.icloud.com/";
const char* kHome = "https://p42-caldav.icloud.com:443/123456789/calendars/";

HttpResponse multistatus(const std::string& responses)
{
    return { 207,
             { { "content-type", "text/xml" } },
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<multistatus xmlns=\"DAV:\">" + responses +
                 "</multistatus>" };
}

std::string calendar_response(const std::string& href, const std::string& name, const std::string& color,
                              const std::string& comps, const std::string& privileges, const std::string& type)
{
    return "<response><href>" + href +
        "</href><propstat><prop>"
        "<resourcetype><collection/>" +
        type +
        "</resourcetype>"
        "<displayname>" +
        name +
        "</displayname>"
        "<calendar-color xmlns=\"http://apple.com/ns/ical/\" symbolic-color=\"red\">" +
        color +
        "</calendar-color>"
        "<B:supported-calendar-component-set xmlns:B=\"urn:ietf:params:xml:ns:caldav\">" +
        comps +
        "</B:supported-calendar-component-set>"
        "<current-user-privilege-set>" +
        privileges +
        "</current-user-privilege-set>"
        "</prop><status>HTTP/1.1 200 OK</status></propstat></response>";
}

class RecordedICloudTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& answers = log->answers;
        answers[std::string("PROPFIND ") + kRoot] = multistatus(
            "<response><href>/</href><propstat><prop><current-user-principal><href>/123456789/principal/</href>"
            "</current-user-principal></prop><status>HTTP/1.1 200 OK</status></propstat></response>");
        answers["PROPFIND https://caldav.icloud.com/123456789/principal/"] =
            multistatus("<response><href>/123456789/principal/</href><propstat><prop>"
                        "<calendar-home-set xmlns=\"urn:ietf:params:xml:ns:caldav\"><href xmlns=\"DAV:\">" +
                        std::string(kHome) +
                        "</href></calendar-home-set></prop><status>HTTP/1.1 200 OK</status></propstat></response>");
        const std::string write = "<privilege><read/></privilege><privilege><write/></privilege>";
        const std::string read =
            "<privilege><read/></privilege><privilege><read-current-user-privilege-set/></privilege>";
        const std::string vevent = "<B:comp name=\"VEVENT\"/>";
        const std::string caltype = "<calendar xmlns=\"urn:ietf:params:xml:ns:caldav\"/>";
        answers["PROPFIND https://p42-caldav.icloud.com/123456789/calendars/"] = multistatus(
            "<response><href>/123456789/calendars/</href><propstat><prop><resourcetype><collection/></resourcetype>"
            "</prop><status>HTTP/1.1 200 OK</status></propstat></response>" +
            calendar_response("/123456789/calendars/home/", "Home", "#FF2968FF", vevent, write, caltype) +
            calendar_response("/123456789/calendars/shared%20one/", "", "#1badf8", vevent + "<B:comp name=\"VTODO\"/>",
                              read, caltype) +
            calendar_response("/123456789/calendars/tasks/", "Reminders", "#00FF00FF", "<B:comp name=\"VTODO\"/>",
                              write, caltype) +
            calendar_response("/123456789/calendars/inbox/", "Inbox", "", vevent, write,
                              "<schedule-inbox xmlns=\"urn:ietf:params:xml:ns:caldav\"/>") +
            calendar_response("/123456789/calendars/notification/", "Notifications", "", "", write,
                              "<notification xmlns=\"http://calendarserver.org/ns/\"/>"));
        engine = std::make_unique<wrenfold::testing::JsonEngine>(
            std::make_unique<ICloudCalDAV>("alice@example.com", "abcd-efgh-ijkl-mnop", "Asia/Taipei", kRoot,
                                           std::make_unique<ScriptedTransport>(log)));
    }
    std::shared_ptr<ScriptedTransport::Log> log = std::make_shared<ScriptedTransport::Log>();
    std::unique_ptr<wrenfold::testing::JsonEngine> engine;
};

TEST_F(RecordedICloudTest, DiscoveryFollowsTheHomeToItsOwnHost)
{
    Json calendars = engine->discover();
    ASSERT_EQ(calendars.size(), 2u) << calendars.dump();
    EXPECT_EQ(calendars[0]["url"], "https://p42-caldav.icloud.com/123456789/calendars/home/");
    EXPECT_EQ(calendars[0]["name"], "Home");
    EXPECT_EQ(calendars[0]["color"], "#FF2968");
    EXPECT_EQ(calendars[0]["read_only"], false);
    EXPECT_EQ(calendars[1]["url"], "https://p42-caldav.icloud.com/123456789/calendars/shared%20one/");
    EXPECT_EQ(calendars[1]["name"], "shared one");
    EXPECT_EQ(calendars[1]["color"], "#1BADF8");
    EXPECT_EQ(calendars[1]["read_only"], true);
    for (const auto& request : log->requests) {
        ASSERT_TRUE(request.credentials);
        EXPECT_EQ(request.credentials->user, "alice@example.com");
    }
}

TEST_F(RecordedICloudTest, CredentialsStayWithTheAccountsHosts)
{
    // Before any discovery the engine learns its hosts, then refuses the stranger.
    EXPECT_THROW(engine->get_event("https://evil.example.com/123456789/calendars/home/x.ics"), CalDavError);
    for (const auto& request : log->requests)
        EXPECT_EQ(request.url.find("evil"), std::string::npos);
    size_t sent = log->requests.size();
    EXPECT_THROW(engine->get_event("http://p42-caldav.icloud.com/123456789/calendars/home/x.ics"), CalDavError);
    EXPECT_THROW(engine->get_event("https://p42-caldav.icloud.com:8443/x.ics"), CalDavError);
    EXPECT_EQ(log->requests.size(), sent);

    // A redirect elsewhere is not followed with the password.
    log->answers["GET https://p42-caldav.icloud.com/123456789/calendars/home/r.ics"] =
        HttpResponse { 302, { { "location", "https://collector.example.net/steal" } }, "" };
    EXPECT_THROW(engine->get_event("https://p42-caldav.icloud.com/123456789/calendars/home/r.ics"), CalDavError);
    for (const auto& request : log->requests)
        EXPECT_EQ(request.url.find("collector"), std::string::npos);
}

TEST_F(RecordedICloudTest, ReadsSloppyICloudEvents)
{
    std::string ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Apple Inc.//iOS 17.0//EN\r\nCALSCALE:GREGORIAN\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nBEGIN:STANDARD\r\nDTSTART:20071104T020000\r\n"
        "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
        "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\nUID:sloppy-1\r\nDTSTAMP:20250101T000000Z\r\nDTSTAMP:20250102T000000Z\r\n"
        "DTSTART;TZID=America/New_York:20250310T200000\r\nDURATION:PT90M\r\n"
        "SUMMARY:Call with \r\n New York\r\nX-APPLE-TRAVEL-ADVISORY-BEHAVIOR:AUTOMATIC\r\n"
        "X-APPLE-STRUCTURED-LOCATION;VALUE=URI;X-TITLE=Office:geo:40.7,-74.0\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    std::string allday =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:allday-1\r\nDTSTAMP:20250101T000000Z\r\n"
        "DTSTART;VALUE=DATE:20250311\r\nDTEND;VALUE=DATE:20250313\r\nSUMMARY:Trip\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:floating-1\r\nDTSTAMP:20250101T000000Z\r\n"
        "DTSTART:20250312T080000\r\nSUMMARY:Floating\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    auto item = [](const std::string& href, const std::string& etag, const std::string& data) {
        return "<response><href>" + href + "</href><propstat><prop><getetag>" + etag +
            "</getetag><C:calendar-data xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><![CDATA[" + data +
            "]]></C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
    };
    log->answers["REPORT https://p42-caldav.icloud.com/123456789/calendars/home/"] =
        multistatus(item("/123456789/calendars/home/sloppy-1.ics", "\"C=1@U=abc\"", ics) +
                    item("/123456789/calendars/home/allday-1.ics", "\"C=2@U=abc\"", allday));
    Json events =
        engine->list_events("https://p42-caldav.icloud.com/123456789/calendars/home/",
                            { year { 2025 }, month { 3 }, day { 11 } }, { year { 2025 }, month { 3 }, day { 13 } });
    ASSERT_EQ(events.size(), 3u) << events.dump(1);
    EXPECT_EQ(events[0]["summary"], "Call with New York");
    EXPECT_EQ(events[0]["start"], "2025-03-11T08:00:00");  // 20:00 EDT is 08:00 in Taipei
    EXPECT_EQ(events[0]["end"], "2025-03-11T09:30:00");
    EXPECT_EQ(events[0]["etag"], "\"C=1@U=abc\"");
    EXPECT_EQ(events[0]["url"], "https://p42-caldav.icloud.com/123456789/calendars/home/sloppy-1.ics");
    EXPECT_EQ(events[1]["start"], "2025-03-11");
    EXPECT_EQ(events[1]["end"], "2025-03-13");
    EXPECT_EQ(events[1]["all_day"], true);
    EXPECT_EQ(events[2]["start"], "2025-03-12T08:00:00");
    EXPECT_EQ(events[2]["end"], "2025-03-12T08:00:00");
}

TEST_F(RecordedICloudTest, ServerFailuresBecomeErrors)
{
    const std::string calendar = "https://p42-caldav.icloud.com/123456789/calendars/home/";
    log->answers["REPORT " + calendar] = HttpResponse { 207, {}, "<multistatus xmlns=\"DAV:\"><response><href>" };
    EXPECT_THROW(engine->list_events(calendar, { year { 2025 }, month { 3 }, day { 1 } },
                                     { year { 2025 }, month { 4 }, day { 1 } }),
                 CalDavError);
    log->answers["REPORT " + calendar] = HttpResponse { 503, {}, "" };
    try {
        engine->list_events(calendar, { year { 2025 }, month { 3 }, day { 1 } },
                            { year { 2025 }, month { 4 }, day { 1 } });
        FAIL();
    } catch (const CalDavError& error) {
        EXPECT_NE(std::string(error.what()).find("503"), std::string::npos);
        EXPECT_EQ(std::string(error.what()).find("abcd-efgh"), std::string::npos);
    }
    // Fields of a wrong type fail the call before anything is sent.
    size_t sent = log->requests.size();
    EXPECT_THROW(engine->create_event(calendar, { { "summary", 5 }, { "start", "2025-03-01" } }), CalDavError);
    EXPECT_THROW(engine->create_event(calendar, { { "start", "2025-03-01" }, { "all_day", "yes" } }), CalDavError);
    EXPECT_THROW(engine->create_event(calendar, Json::array()), CalDavError);
    EXPECT_THROW(engine->create_event(calendar, { { "start", "next tuesday" } }), CalDavError);
    EXPECT_EQ(log->requests.size(), sent);
}

}  // namespace
}  // namespace wrenfold::caldav

namespace wrenfold::caldav {
namespace {

TEST_F(RecordedICloudTest, AHomeThatMovedIsFoundAgainOnce)
{
    ASSERT_EQ(engine->discover().size(), 2u);
    // The account moved to another home on another host: the old home answers 404.
    const std::string old_home = "PROPFIND https://p42-caldav.icloud.com/123456789/calendars/";
    HttpResponse moved_home;
    {
        std::lock_guard guard(log->lock);
        moved_home = log->answers[old_home];
        log->answers.erase(old_home);
        log->answers["PROPFIND https://caldav.icloud.com/123456789/principal/"] =
            multistatus("<response><href>/123456789/principal/</href><propstat><prop>"
                        "<calendar-home-set xmlns=\"urn:ietf:params:xml:ns:caldav\"><href xmlns=\"DAV:\">"
                        "https://p07-caldav.icloud.com/123456789/calendars/</href></calendar-home-set></prop>"
                        "<status>HTTP/1.1 200 OK</status></propstat></response>");
        log->answers["PROPFIND https://p07-caldav.icloud.com/123456789/calendars/"] = moved_home;
    }
    Json calendars = engine->discover();
    ASSERT_EQ(calendars.size(), 2u) << calendars.dump();
    EXPECT_EQ(calendars[0]["url"], "https://p07-caldav.icloud.com/123456789/calendars/home/");
    // Its events are edited on the new home; the old one is no longer an account's address.
    EXPECT_THROW(engine->delete_event("https://p42-caldav.icloud.com/123456789/calendars/home/x.ics", std::nullopt),
                 CalDavError);

    // A home that stays gone is an error after one more discovery, not a loop.
    {
        std::lock_guard guard(log->lock);
        log->answers.erase("PROPFIND https://p07-caldav.icloud.com/123456789/calendars/");
        log->requests.clear();
    }
    EXPECT_THROW(engine->discover(), CalDavError);
    std::lock_guard guard(log->lock);
    EXPECT_EQ(log->requests.size(), 4u);  // the home, the root, the principal, the home again
}

TEST_F(RecordedICloudTest, EditsAddressOnlyEventsInsideTheAccountsCalendars)
{
    const std::string calendar = "https://p42-caldav.icloud.com/123456789/calendars/home/";
    ASSERT_EQ(engine->discover().size(), 2u);
    {
        std::lock_guard guard(log->lock);
        log->requests.clear();
    }
    for (const std::string& url : { calendar, std::string(kHome), calendar + "../", calendar + "%2e%2e/x.ics",
                                    std::string("https://p42-caldav.icloud.com/123456789/principal/x.ics"),
                                    calendar + "a/b.ics", std::string(kRoot) }) {
        EXPECT_THROW(engine->delete_event(url, std::nullopt), CalDavError) << url;
        EXPECT_THROW(engine->update_event(url, "", { { "summary", "x" } }), CalDavError) << url;
        EXPECT_THROW(engine->delete_occurrence(url, "2025-03-03T09:00:00", std::nullopt), CalDavError) << url;
        if (url != calendar) {
            EXPECT_THROW(engine->move_event(calendar + "e.ics", url, {}, ""), CalDavError) << url;
        }
    }
    std::lock_guard guard(log->lock);
    EXPECT_TRUE(log->requests.empty());
}

TEST_F(RecordedICloudTest, AMoveKeepsTheMovedCopyUnlessTheOriginalIsStillThere)
{
    const std::string home = "https://p42-caldav.icloud.com/123456789/calendars/home/";
    const std::string work = "https://p42-caldav.icloud.com/123456789/calendars/work/";
    const std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:e\r\nDTSTAMP:20250101T000000Z\r\n"
                            "DTSTART;VALUE=DATE:20250301\r\nSUMMARY:Trip\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    auto deletes_of = [&](const std::string& url) {
        std::lock_guard guard(log->lock);
        return std::count_if(log->requests.begin(), log->requests.end(),
                             [&](const HttpRequest& r) { return r.method == "DELETE" && r.url == url; });
    };
    log->answers["PUT " + work + "e.ics"] = HttpResponse { 201, { { "etag", "\"w1\"" } }, "" };
    log->answers["DELETE " + work + "e.ics"] = HttpResponse { 204, {}, "" };

    // The delete of the original went through but its answer was lost: the
    // copy is all that is left of the event and stays.
    log->answers["GET " + home + "e.ics"] = HttpResponse { 200, { { "etag", "\"h1\"" } }, ics };
    log->unanswered.insert("DELETE " + home + "e.ics");
    Json moved = engine->move_event(home + "e.ics", work, {}, "\"h1\"");
    EXPECT_EQ(moved["url"], work + "e.ics");
    EXPECT_EQ(deletes_of(work + "e.ics"), 0);

    // The original was changed elsewhere and is still there: the copy goes again.
    log->unanswered.clear();
    log->answers["GET " + home + "e.ics"] = HttpResponse { 200, { { "etag", "\"h2\"" } }, ics };
    log->answers["DELETE " + home + "e.ics"] = HttpResponse { 412, {}, "" };
    EXPECT_THROW(engine->move_event(home + "e.ics", work, {}, "\"h1\""), CalDavError);
    EXPECT_EQ(deletes_of(work + "e.ics"), 1);

    // The delete failed and whether the original is still there cannot be
    // told (its GET fails): taking the copy back could lose the event.
    log->answers["DELETE " + home + "e.ics"] = HttpResponse { 500, {}, "" };
    for (int status : { 503, 500 }) {
        log->once["GET " + home + "e.ics"] = { HttpResponse { 200, { { "etag", "\"h2\"" } }, ics },
                                               HttpResponse { status, {}, "" } };
        EXPECT_THROW(engine->move_event(home + "e.ics", work, {}, ""), CalDavError) << status;
        EXPECT_EQ(deletes_of(work + "e.ics"), 1) << status;
    }
}

TEST_F(RecordedICloudTest, DeletesNameTheVersionTheCallerSaw)
{
    const std::string url = "https://p42-caldav.icloud.com/123456789/calendars/home/e.ics";
    auto if_match_of_last_delete = [&]() -> std::optional<std::string> {
        std::lock_guard guard(log->lock);
        for (auto r = log->requests.rbegin(); r != log->requests.rend(); ++r)
            if (r->method == "DELETE")
                for (const auto& [name, value] : r->headers)
                    if (name == "If-Match")
                        return value;
        return std::nullopt;
    };
    log->answers["DELETE " + url] = HttpResponse { 204, {}, "" };
    engine->delete_event(url, "\"e1\"");
    EXPECT_EQ(if_match_of_last_delete(), "\"e1\"");
    log->answers["DELETE " + url] = HttpResponse { 412, {}, "" };
    try {
        engine->delete_event(url, "\"e0\"");
        ADD_FAILURE() << "a delete of a version changed elsewhere was reported done";
    } catch (const CalDavError& error) {
        EXPECT_NE(std::string(error.what()).find("changed elsewhere"), std::string::npos) << error.what();
    }
    {
        std::lock_guard guard(log->lock);
        log->requests.clear();
    }
    log->answers["DELETE " + url] = HttpResponse { 204, {}, "" };
    engine->delete_event(url, std::nullopt);
    EXPECT_EQ(if_match_of_last_delete(), std::nullopt);
}

TEST_F(RecordedICloudTest, AWriteDoneIsNotReportedAsFailedForWantOfItsETag)
{
    // The server stores the object but names no ETag, and cannot be asked
    // for one: the write still happened, and a move must finish.
    const std::string home = "https://p42-caldav.icloud.com/123456789/calendars/home/";
    const std::string work = "https://p42-caldav.icloud.com/123456789/calendars/work/";
    const std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:e\r\nDTSTAMP:20250101T000000Z\r\n"
                            "DTSTART;VALUE=DATE:20250301\r\nSUMMARY:Trip\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    log->answers["GET " + home + "e.ics"] = HttpResponse { 200, { { "etag", "\"h1\"" } }, ics };
    log->answers["PUT " + work + "e.ics"] = HttpResponse { 201, {}, "" };
    log->answers["DELETE " + home + "e.ics"] = HttpResponse { 204, {}, "" };
    Json moved = engine->move_event(home + "e.ics", work, {}, "\"h1\"");
    EXPECT_EQ(moved["url"], work + "e.ics");
    {
        std::lock_guard guard(log->lock);
        EXPECT_EQ(log->requests.back().method, "DELETE");
        EXPECT_EQ(log->requests.back().url, home + "e.ics");
    }
    log->answers["PUT " + home + "new.ics"] = HttpResponse { 201, {}, "" };
    Json created = engine->create_event(home, { { "uid", "new" }, { "start", "2025-03-01" } });
    EXPECT_EQ(created["url"], home + "new.ics");
}

}  // namespace
}  // namespace wrenfold::caldav
