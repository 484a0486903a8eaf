// Incremental sync against scripted server answers: which requests it makes
// and what it concludes from answers real servers give.
#include "caldav/calendar_sync.h"
#include "caldav/engine.h"

#include <gtest/gtest.h>

#include <deque>

namespace wrenfold::caldav {
namespace {

const std::string kCal = "http://127.0.0.1:5232/alice/work/";

struct Exchange {
    std::string method;
    std::string depth;
    std::string body;
};

// Answers requests in order from a script and keeps what was asked.
struct ScriptedServer {
    std::deque<HttpResponse> answers;
    std::vector<Exchange> asked;

    CollectionRequest request()
    {
        return [this](const std::string& method, const std::string& depth, const std::string& body) {
            asked.push_back({ method, depth, body });
            if (answers.empty())
                throw CalDavError("unexpected request " + method);
            HttpResponse answer = answers.front();
            answers.pop_front();
            return answer;
        };
    }
};

HttpResponse multistatus(const std::string& responses, const std::string& token = "")
{
    std::string body = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" "
                       "xmlns:c=\"urn:ietf:params:xml:ns:caldav\">" +
        responses;
    if (!token.empty())
        body += "<d:sync-token>" + token + "</d:sync-token>";
    return { 207, {}, body + "</d:multistatus>" };
}

std::string member(const std::string& href, const std::string& etag, const std::string& data = "")
{
    std::string props = "<d:getetag>" + etag + "</d:getetag>";
    if (!data.empty())
        props += "<c:calendar-data>" + data + "</c:calendar-data>";
    return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props +
        "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}

std::string gone(const std::string& href)
{
    return "<d:response><d:href>" + href + "</d:href><d:status>HTTP/1.1 404 Not Found</d:status></d:response>";
}

HttpResponse token_propfind(const std::string& token)
{
    return multistatus("<d:response><d:href>/alice/work/</d:href><d:propstat><d:prop><d:sync-token>" + token +
                       "</d:sync-token></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>");
}

const std::string kIcs = "BEGIN:VCALENDAR\nEND:VCALENDAR";

TEST(CalendarSync, TokenChangesFetchOnlyWhatChangedAndFollowTruncation)
{
    ScriptedServer server;
    // First answer cut short (507 on the collection, RFC 6578 §3.6), the rest from its token.
    server.answers.push_back(multistatus(member("/alice/work/a.ics", "\"a2\"") +
                                             member("/alice/work/same.ics", "\"s1\"") +
                                             "<d:response><d:href>/alice/work/</d:href><d:status>HTTP/1.1 507 "
                                             "Insufficient Storage</d:status></d:response>",
                                         "tok-2"));
    server.answers.push_back(multistatus(gone("/alice/work/old.ics") + gone("/alice/work/never-known.ics") +
                                             member("http://evil.example/x.ics", "\"e\""),
                                         "tok-3"));
    server.answers.push_back(multistatus(member("/alice/work/a.ics", "\"a3\"", kIcs)));
    SyncKnown known {
        "tok-1", { { kCal + "a.ics", "\"a1\"" }, { kCal + "same.ics", "\"s1\"" }, { kCal + "old.ics", "\"o\"" } }
    };

    SyncDelta delta = sync_calendar(server.request(), kCal, known);

    ASSERT_EQ(server.asked.size(), 3u);
    EXPECT_EQ(server.asked[0].depth, "0");
    EXPECT_NE(server.asked[0].body.find("<d:sync-token>tok-1</d:sync-token>"), std::string::npos);
    EXPECT_NE(server.asked[1].body.find("tok-2"), std::string::npos);
    EXPECT_NE(server.asked[2].body.find("<d:href>/alice/work/a.ics</d:href>"), std::string::npos);
    EXPECT_EQ(server.asked[2].body.find("same.ics"), std::string::npos);
    ASSERT_EQ(delta.changed.size(), 1u);
    EXPECT_EQ(delta.changed[0].url, kCal + "a.ics");
    EXPECT_EQ(delta.changed[0].etag, "\"a3\"");
    EXPECT_EQ(delta.deleted, (std::vector<std::string> { kCal + "old.ics" }));
    EXPECT_EQ(delta.sync_token, "tok-3");
    EXPECT_FALSE(delta.full_listing);
}

TEST(CalendarSync, RefusedOrUnsupportedTokenFallsBackToComparingEtags)
{
    struct Case {
        HttpResponse refusal;
        bool asks_new_token;
    };
    const Case cases[] = {
        { { 403, {}, "<d:error xmlns:d=\"DAV:\"><d:valid-sync-token/></d:error>" }, true },
        { { 409, {}, "<error xmlns=\"DAV:\"><valid-sync-token/></error>" }, true },
        { { 501, {}, "" }, false },
        { { 403, {}, "<d:error xmlns:d=\"DAV:\"><d:supported-report/></d:error>" }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal.status);
        ScriptedServer server;
        server.answers.push_back(c.refusal);
        if (c.asks_new_token)
            server.answers.push_back(token_propfind("fresh"));
        server.answers.push_back(
            multistatus(member("/alice/work/kept.ics", "\"k\"") + member("/alice/work/new.ics", "\"n\"")));
        server.answers.push_back(multistatus(member("/alice/work/new.ics", "\"n\"", kIcs)));
        SyncKnown known { "stale", { { kCal + "kept.ics", "\"k\"" }, { kCal + "removed.ics", "\"r\"" } } };

        SyncDelta delta = sync_calendar(server.request(), kCal, known);
        EXPECT_TRUE(server.answers.empty());
        EXPECT_TRUE(delta.full_listing);
        EXPECT_EQ(delta.sync_token, c.asks_new_token ? "fresh" : "");
        ASSERT_EQ(delta.changed.size(), 1u);
        EXPECT_EQ(delta.changed[0].url, kCal + "new.ics");
        EXPECT_EQ(delta.deleted, (std::vector<std::string> { kCal + "removed.ics" }));
    }
}

TEST(CalendarSync, FirstSyncListsThenFetchesInBatches)
{
    ScriptedServer server;
    server.answers.push_back(token_propfind("t0"));
    std::string listing;
    for (int i = 0; i < 150; ++i)
        listing += member("/alice/work/e" + std::to_string(i) + ".ics", "\"1\"");
    server.answers.push_back(multistatus(listing));
    // Each batch's answer holds every object: what was not asked for is not taken.
    std::string data;
    for (int i = 0; i < 150; ++i)
        data += member("/alice/work/e" + std::to_string(i) + ".ics", "\"1\"", kIcs);
    for (int batch = 0; batch < 2; ++batch)
        server.answers.push_back(multistatus(data));
    SyncDelta delta = sync_calendar(server.request(), kCal, {});
    EXPECT_EQ(delta.changed.size(), 150u);
    EXPECT_EQ(delta.sync_token, "t0");
    EXPECT_EQ(server.asked.size(), 4u);
}

TEST(CalendarSync, AnswersThatCannotBeTrustedFailTheWholeSync)
{
    const std::vector<std::vector<HttpResponse>> scripts = {
        { { 207, {}, "<html>proxy error</html>" } },
        { multistatus(member("/alice/work/a.ics", "\"2\"")) },                         // no sync-token in a sync answer
        { multistatus(member("/alice/work/a.ics", "\"2\""), "t2"), multistatus("") },  // object left out
        { multistatus(member("/alice/work/a.ics", "\"2\""), "t2"),
          multistatus(member("/alice/work/a.ics", "\"2\"")) },  // object without data
        { { 401, {}, "" } },
        { { 503, {}, "" } },
        { { 500, {}, "" }, { 500, {}, "" } },  // an unknown token, then no listing either
    };
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        SCOPED_TRACE(i);
        ScriptedServer server;
        server.answers.assign(scripts[i].begin(), scripts[i].end());
        EXPECT_THROW(sync_calendar(server.request(), kCal, { "t1", { { kCal + "a.ics", "\"1\"" } } }), CalDavError);
    }
}

}  // namespace
}  // namespace wrenfold::caldav
