// The cost of one sync cycle for an account with 16 calendars, against
// recorded iCloud-style answers: requests and bytes on the wire per cycle
// (counters), and the time the worker spends on a cycle (the benchmark's own
// figure; the network is not part of it).
#include "sync/sync_worker.h"

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

using namespace std::chrono_literals;
using namespace wrenfold;
using namespace wrenfold::sync;

const std::string kRoot = "https://caldav.icloud.com/";
const std::string kPrincipal = "https://caldav.icloud.com/123456789/principal/";
const std::string kHome = "https://p42-caldav.icloud.com/123456789/calendars/";
constexpr int kCalendars = 16;

std::string multistatus(const std::string& responses)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><multistatus xmlns="DAV:" )"
           R"(xmlns:C="urn:ietf:params:xml:ns:caldav" xmlns:CS="http://calendarserver.org/ns/" )"
           R"(xmlns:A="http://apple.com/ns/ical/">)" +
        responses + "</multistatus>";
}

// What iCloud answers for its calendar home, every calendar with the
// properties the worker asks for.
std::string home_answer(int changed_tag)
{
    std::string responses = "<response><href>/123456789/calendars/</href><propstat><prop><resourcetype><collection/>"
                            "</resourcetype><displayname>calendars</displayname></prop><status>HTTP/1.1 200 OK</status>"
                            "</propstat></response>";
    for (int i = 0; i < kCalendars; ++i) {
        std::string tag = "HwoQEgwAAC" + std::to_string(i) + "-" + std::to_string(i == 0 ? changed_tag : 1);
        responses += "<response><href>/123456789/calendars/" + std::to_string(10000 + i) +
            "-ABCD-4EF0-9A1B-C2D3E4F5A6B7/</href><propstat><prop><resourcetype><collection/><C:calendar/>"
            "</resourcetype><displayname>Calendar " +
            std::to_string(i) +
            "</displayname>"
            "<A:calendar-color symbolic-color=\"custom\">#1BADF8FF</A:calendar-color>"
            "<C:supported-calendar-component-set><C:comp name=\"VEVENT\"/></C:supported-calendar-component-set>"
            "<current-user-privilege-set><privilege><read/></privilege><privilege><write/></privilege>"
            "</current-user-privilege-set><CS:getctag>" +
            tag +
            "</CS:getctag>"
            "<sync-token>https://caldav.icloud.com/sync/" +
            tag +
            "</sync-token>"
            "</prop><status>HTTP/1.1 200 OK</status></propstat></response>";
    }
    return multistatus(responses);
}

class RecordedICloud final : public caldav::HttpTransport {
public:
    explicit RecordedICloud(std::atomic<int>& changed_tag)
        : m_changed_tag(changed_tag)
    {
    }

    caldav::HttpResponse perform(const caldav::HttpRequest& request) override
    {
        caldav::HttpResponse response { 207, { { "content-type", "text/xml; charset=UTF-8" } }, "" };
        if (request.url == kRoot)
            response.body = multistatus("<response><href>/</href><propstat><prop><current-user-principal><href>"
                                        "/123456789/principal/</href></current-user-principal></prop>"
                                        "<status>HTTP/1.1 200 OK</status></propstat></response>");
        else if (request.url == kPrincipal)
            response.body = multistatus("<response><href>/123456789/principal/</href><propstat><prop>"
                                        "<C:calendar-home-set><href>" +
                                        kHome +
                                        "</href></C:calendar-home-set>"
                                        "</prop><status>HTTP/1.1 200 OK</status></propstat></response>");
        else
            response.body = home_answer(m_changed_tag.load());
        return response;
    }

private:
    std::atomic<int>& m_changed_tag;
};

std::vector<Account> one_account()
{
    return parse_accounts(Json::array(
        { { { "id", "acc1" }, { "apple_id", "a@example.com" }, { "app_password", "xxxx-xxxx-xxxx-xxxx" } } }));
}

// Runs cycles 30 s apart; `change` says whether a calendar changes before each.
void run_cycles(benchmark::State& state, bool change)
{
    std::atomic<int> changed_tag { 1 };
    platform::LocalQueue reports;
    SyncWorker worker({ 30s, kRoot, [&] { return std::make_unique<RecordedICloud>(changed_tag); } }, reports);
    auto now = Clock::now();
    worker.run_cycle(one_account(), now);  // discovery and the first look
    TrafficCount before = worker.traffic();
    std::int64_t cycles = 0;
    for (auto _ : state) {
        if (change)
            ++changed_tag;
        now += 30s;
        worker.run_cycle(one_account(), now);
        while (reports.get(0ms)) { }
        ++cycles;
    }
    TrafficCount after = worker.traffic();
    auto per_cycle = [&](std::uint64_t total) { return static_cast<double>(total) / static_cast<double>(cycles); };
    state.counters["requests_per_cycle"] = per_cycle(after.requests - before.requests);
    state.counters["bytes_sent_per_cycle"] = per_cycle(after.bytes_sent - before.bytes_sent);
    state.counters["bytes_received_per_cycle"] = per_cycle(after.bytes_received - before.bytes_received);
}

void BM_IdleCycle16Calendars(benchmark::State& state)
{
    run_cycles(state, false);
}
BENCHMARK(BM_IdleCycle16Calendars)->Unit(benchmark::kMicrosecond);

void BM_OneChangedCalendarCycle16Calendars(benchmark::State& state)
{
    run_cycles(state, true);
}
BENCHMARK(BM_OneChangedCalendarCycle16Calendars)->Unit(benchmark::kMicrosecond);

}  // namespace
