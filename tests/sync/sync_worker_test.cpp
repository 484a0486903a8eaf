// The sync worker's change detection on recorded iCloud-style answers.
#include "sync/metered_transport.h"
#include "sync/reports.h"
#include "sync/sync_worker.h"
#include "sync/worker_process.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using namespace wrenfold;
using namespace wrenfold::sync;

namespace {

const std::string kRoot = "https://caldav.icloud.com/";
const std::string kPrincipal = "https://caldav.icloud.com/123/principal/";
const std::string kHome = "https://p42-caldav.icloud.com/123/calendars/";

caldav::HttpResponse multistatus(const std::string& responses)
{
    return { 207,
             { { "content-type", "text/xml" } },
             R"(<?xml version="1.0"?><multistatus xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav" )"
             R"(xmlns:CS="http://calendarserver.org/ns/" xmlns:A="http://apple.com/ns/ical/">)" +
                 responses + "</multistatus>" };
}

struct RecordedCalendar {
    std::string path;
    std::string name;
    std::string ctag;
    std::string color = "#FF0000";
};

std::string calendar_response(const RecordedCalendar& calendar)
{
    return "<response><href>/123/calendars/" + calendar.path +
        "/</href><propstat><prop>"
        "<resourcetype><collection/><C:calendar/></resourcetype><displayname>" +
        calendar.name +
        "</displayname>"
        "<A:calendar-color>" +
        calendar.color +
        "</A:calendar-color>"
        "<C:supported-calendar-component-set><C:comp name=\"VEVENT\"/></C:supported-calendar-component-set>"
        "<CS:getctag>" +
        calendar.ctag +
        "</CS:getctag>"
        "</prop><status>HTTP/1.1 200 OK</status></propstat></response>";
}

// The server of one account, answering from what the test set last.
struct RecordedServer {
    std::mutex lock;
    caldav::HttpResponse home_answer;
    std::chrono::milliseconds home_delay { 0 };  // how long the calendar home takes to answer
    std::vector<caldav::HttpRequest> requests;

    void calendars(const std::vector<RecordedCalendar>& list)
    {
        std::string responses = "<response><href>/123/calendars/</href><propstat><prop><resourcetype><collection/>"
                                "</resourcetype></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
        for (const auto& calendar : list)
            responses += calendar_response(calendar);
        answer(multistatus(responses));
    }
    void answer(caldav::HttpResponse response)
    {
        std::lock_guard guard(lock);
        home_answer = std::move(response);
    }
    caldav::HttpResponse perform(const caldav::HttpRequest& request)
    {
        std::lock_guard guard(lock);
        requests.push_back(request);
        if (request.url == kRoot)
            return multistatus("<response><href>/</href><propstat><prop><current-user-principal><href>/123/principal/"
                               "</href></current-user-principal></prop><status>HTTP/1.1 200 OK</status></propstat>"
                               "</response>");
        if (request.url == kPrincipal)
            return multistatus("<response><href>/123/principal/</href><propstat><prop><C:calendar-home-set><href>" +
                               kHome +
                               "</href></C:calendar-home-set></prop><status>HTTP/1.1 200 OK</status>"
                               "</propstat></response>");
        if (request.url == kHome) {
            std::this_thread::sleep_for(home_delay);
            return home_answer;
        }
        return { 404, {}, "" };
    }
};

class ServerTransport final : public caldav::HttpTransport {
public:
    explicit ServerTransport(std::shared_ptr<RecordedServer> server)
        : m_server(std::move(server))
    {
    }
    caldav::HttpResponse perform(const caldav::HttpRequest& request) override { return m_server->perform(request); }

private:
    std::shared_ptr<RecordedServer> m_server;
};

class SyncWorkerTest : public ::testing::Test {
protected:
    SyncWorkerTest()
        : worker({ 30s, kRoot, [this] { return std::make_unique<ServerTransport>(server); } }, reports)
    {
        server->calendars({ { "home", "Home", "1" }, { "work", "Work", "1" } });
    }

    std::vector<wrenfold::Account> accounts() const
    {
        return wrenfold::parse_accounts(
            Json::array({ { { "id", "acc1" }, { "apple_id", "a@example.com" }, { "app_password", "sekrit-pw" } } }));
    }

    // Runs one cycle `after` the start and answers the reports it sent.
    std::vector<Json> cycle(std::chrono::seconds after)
    {
        next = worker.run_cycle(accounts(), start + after);
        std::vector<Json> sent;
        while (auto message = reports.get(0ms))
            sent.push_back(*message);
        return sent;
    }

    std::shared_ptr<RecordedServer> server = std::make_shared<RecordedServer>();
    platform::LocalQueue reports;
    SyncWorker worker;
    Clock::time_point start = Clock::now();
    Clock::time_point next;
};

TEST_F(SyncWorkerTest, ReportsChangedCalendarsAndListsWithOneRequestPerLook)
{
    EXPECT_TRUE(cycle(0s).empty());  // the first look only records
    std::size_t after_discovery = server->requests.size();
    EXPECT_TRUE(cycle(30s).empty());
    EXPECT_EQ(server->requests.size(), after_discovery + 1);
    EXPECT_EQ(server->requests.back().method, "PROPFIND");
    EXPECT_EQ(server->requests.back().url, kHome);

    server->calendars({ { "home", "Home", "2" }, { "work", "Work", "1" } });
    auto sent = cycle(60s);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0],
              Json({ { "type", "calendars_changed" },
                     { "urls", { kHome + "home/" } },
                     { "list_changed_accounts", Json::array() } }));

    server->calendars({ { "home", "Home", "2" }, { "work", "Work", "1" }, { "new", "New", "1" } });
    sent = cycle(90s);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["list_changed_accounts"], Json({ "acc1" }));
    EXPECT_EQ(sent[0]["urls"], Json::array());

    server->calendars({ { "home", "Home", "2" }, { "new", "New", "1", "#00FF00" } });
    sent = cycle(120s);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["list_changed_accounts"], Json({ "acc1" }));

    // Not due yet: nothing is asked.
    std::size_t asked = server->requests.size();
    EXPECT_TRUE(cycle(125s).empty());
    EXPECT_EQ(server->requests.size(), asked);
    EXPECT_EQ(next, start + 150s);
}

TEST_F(SyncWorkerTest, FailuresAreReportedOnceBackedOffAndRecoveryMarksEveryCalendar)
{
    cycle(0s);
    auto asked = [&] { return server->requests.size(); };
    server->answer({ 207, {}, "<multistatus xmlns='DAV:'><response>" });
    ::testing::internal::CaptureStdout();
    auto sent = cycle(30s);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["type"], "sync_error");
    EXPECT_EQ(sent[0]["account_id"], "acc1");
    EXPECT_FALSE(sent[0]["error"].get<std::string>().empty());

    server->answer({ 401, {}, "" });
    EXPECT_TRUE(cycle(60s).empty());  // still failing: not reported again
    std::size_t before_wait = asked();
    EXPECT_TRUE(cycle(90s).empty());  // the wait doubled to 60 s
    EXPECT_EQ(asked(), before_wait);

    server->answer({ 503, { { "retry-after", "600" } }, "" });
    EXPECT_TRUE(cycle(120s).empty());
    before_wait = asked();
    EXPECT_TRUE(cycle(700s).empty());  // the server's wish beats the backoff
    EXPECT_EQ(asked(), before_wait);
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.find("sekrit-pw"), std::string::npos);
    EXPECT_TRUE(printed.starts_with("[sync] ")) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;

    server->calendars({ { "home", "Home", "1" }, { "work", "Work", "1" } });
    sent = cycle(720s);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["urls"], Json({ kHome + "home/", kHome + "work/" }));
    EXPECT_EQ(sent[0]["list_changed_accounts"], Json::array());
    EXPECT_TRUE(cycle(750s).empty());

    // A second outage is news again.
    server->answer({ 500, {}, "" });
    sent = cycle(780s);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["type"], "sync_error");
}

TEST_F(SyncWorkerTest, AWorkerStartedAgainReportsEveryCalendarOnceForWhatChangedMeanwhile)
{
    SyncWorker restarted({ 30s, kRoot, [this] { return std::make_unique<ServerTransport>(server); }, true }, reports);
    restarted.run_cycle(accounts(), start);
    auto sent = reports.get(0ms);
    ASSERT_TRUE(sent);
    EXPECT_EQ((*sent)["urls"], Json({ kHome + "home/", kHome + "work/" }));
    EXPECT_EQ((*sent)["list_changed_accounts"], Json::array());

    restarted.run_cycle(accounts(), start + 30s);
    EXPECT_FALSE(reports.get(0ms));
    // An account added later was read whole by the application when it was added.
    auto with_another = accounts();
    with_another.push_back(with_another.front());
    with_another.back().id = "acc2";
    restarted.run_cycle(with_another, start + 60s);
    EXPECT_FALSE(reports.get(0ms));
}

TEST_F(SyncWorkerTest, TheNextLookCountsFromTheEndOfASlowOne)
{
    // A server that takes a second or more must not be asked again the
    // moment it has answered.
    server->home_delay = 1100ms;
    cycle(0s);
    std::size_t asked = server->requests.size();
    EXPECT_TRUE(cycle(30s).empty());
    EXPECT_EQ(server->requests.size(), asked);
    EXPECT_EQ(next, start + 31s);
    cycle(31s);
    EXPECT_EQ(server->requests.size(), asked + 1);

    server->answer({ 500, {}, "" });
    cycle(62s);  // fails after a second: the wait counts from then
    asked = server->requests.size();
    EXPECT_TRUE(cycle(92s).empty());
    EXPECT_EQ(server->requests.size(), asked);
}

TEST(WatchableAccounts, NeedAnIdAnAppleIdAndAPassword)
{
    Json document = Json::parse(R"({"accounts": [
        {"id": "ok", "apple_id": "a@example.com", "app_password": "pw", "calendars": [{"url": "u"}]},
        {"id": "", "apple_id": "b@example.com", "app_password": "pw"},
        {"id": "nopw", "apple_id": "c@example.com"},
        {"id": "noapple", "apple_id": 5, "app_password": "pw"},
        "junk"]})");
    auto accounts = watchable_accounts(document);
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0].id, "ok");
    EXPECT_EQ(accounts[0].app_password, "pw");
    for (const char* unreadable : { R"([1])", R"({"accounts": {"id": "x"}})", R"({"other": []})" })
        EXPECT_TRUE(watchable_accounts(Json::parse(unreadable)).empty()) << unreadable;
}

}  // namespace
