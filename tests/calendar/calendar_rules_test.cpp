#include "calendar/calendar_rules.h"

#include <gtest/gtest.h>

using namespace wrenfold;

namespace {

std::vector<Account> two_accounts()
{
    return parse_accounts(Json::parse(R"([
      {"id": "a1", "apple_id": "Ann@example.com", "calendars": [
        {"url": "https://p1/cal/home/", "name": "Home", "visible": true},
        {"url": "https://p1/cal/work/", "name": "Work", "visible": false, "color": "#112233", "read_only": true}]},
      {"id": "a2", "apple_id": "bob@example.com", "calendars": [
        {"url": "https://p2/cal/home/", "name": "Home"}]},
      {"id": "a3", "apple_id": "carl@example.com"}
    ])"));
}

std::vector<Json> records_of(const std::vector<Calendar>& calendars)
{
    return calendar_records(calendars);
}

}  // namespace

TEST(FindAccountForUrl, TakesTheAccountWhoseCalendarPrefixesTheUrl)
{
    auto accounts = two_accounts();
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases {
        { "https://p2/cal/home/x.ics", "a2" },
        { "https://p1/cal/work/y.ics", "a1" },
        { "https://elsewhere/z.ics", std::nullopt },
        { "HTTPS://P1/cal/home/x.ics", std::nullopt },  // prefixes are case-sensitive
    };
    for (const auto& [url, owner] : cases) {
        SCOPED_TRACE(url);
        auto found = find_account_for_url(accounts, url);
        ASSERT_EQ(found.has_value(), owner.has_value());
        if (owner) {
            EXPECT_EQ(found->id, *owner);
        }
    }
}

TEST(FindAccountForUrl, ASingleAccountOwnsEveryUrlButNotItsCalendars)
{
    std::vector<Account> single { two_accounts()[0] };
    EXPECT_EQ(find_account_for_url(single, "https://elsewhere/z.ics")->id, "a1");
    EXPECT_FALSE(find_calendar_for_url(single[0], "https://elsewhere/z.ics"));
}

TEST(FindCalendarForUrl, TakesTheFirstCalendarPrefixingTheUrl)
{
    auto accounts = two_accounts();
    EXPECT_EQ(find_calendar_for_url(accounts[0], "https://p1/cal/work/y.ics")->name, "Work");
    EXPECT_FALSE(find_calendar_for_url(accounts[2], "https://p1/cal/work/y.ics"));
    // A calendar stored without a URL would prefix every address; it owns none.
    Account nameless = parse_account(Json::parse(R"({"id": "n", "calendars": [{"name": "No URL"}]})"));
    EXPECT_FALSE(find_calendar_for_url(nameless, "https://p1/cal/work/y.ics"));
    EXPECT_FALSE(find_account_for_url({ nameless, accounts[1] }, "https://p1/cal/work/y.ics"));
}

TEST(FindAccountById, MatchesTheIdExactly)
{
    auto accounts = two_accounts();
    EXPECT_EQ(find_account_by_id(accounts, "a3")->apple_id, "carl@example.com");
    EXPECT_FALSE(find_account_by_id(accounts, "A3"));
    EXPECT_FALSE(find_account_by_id(accounts, ""));
}

TEST(AppleIdTaken, IgnoresLetterCase)
{
    auto accounts = two_accounts();
    EXPECT_TRUE(apple_id_taken(accounts, "ann@EXAMPLE.com"));
    EXPECT_FALSE(apple_id_taken(accounts, "ann@example.org"));
}

TEST(MergeCalendars, KeepsVisibilityAndTakesEverythingElseFromTheServer)
{
    auto stored = parse_calendars(Json::parse(R"([
      {"url": "u1", "name": "Old name", "visible": false, "color": "#000000"},
      {"url": "gone", "name": "Gone", "visible": true},
      {"url": "u2", "name": "Twice", "visible": false},
      {"url": "u2", "name": "Twice", "visible": true},
      {"url": "u3", "name": "No flag"}
    ])"));
    auto discovered = parse_calendars(Json::parse(R"([
      {"url": "new", "name": "New", "read_only": true},
      {"url": "u3", "name": "No flag"},
      {"url": "u2", "name": "Twice"},
      {"url": "u1", "name": "New name", "extra": 7}
    ])"));
    auto merged = merge_calendars(stored, discovered);
    EXPECT_EQ(Json(records_of(merged)), Json::parse(R"([
      {"url": "new", "name": "New", "read_only": true, "visible": true},
      {"url": "u3", "name": "No flag", "visible": true},
      {"url": "u2", "name": "Twice", "visible": true},
      {"url": "u1", "name": "New name", "extra": 7, "visible": false}
    ])"));
    EXPECT_FALSE(merged[3].visible);
    EXPECT_EQ(merged[3].name, "New name");
}

TEST(FirstWritableCalendarUrl, SkipsReadOnlyCalendars)
{
    auto merged = parse_calendars(Json::parse(R"([{"url": "r", "read_only": true}, {"url": "u3"}])"));
    EXPECT_EQ(first_writable_calendar_url(merged), "u3");
    EXPECT_FALSE(first_writable_calendar_url(parse_calendars(Json::parse(R"([{"url": "r", "read_only": true}])"))));
}

TEST(EventFetchTasks, FollowStoredOrderAndVisibility)
{
    auto accounts = two_accounts();
    auto visible = event_fetch_tasks(accounts, false);
    ASSERT_EQ(visible.size(), 2u);
    EXPECT_EQ(visible[0].calendar.url, "https://p1/cal/home/");
    EXPECT_EQ(visible[1].account.id, "a2");  // no "visible" key counts as visible

    auto all = event_fetch_tasks(accounts, true);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].calendar.name, "Work");
    EXPECT_TRUE(event_fetch_tasks({}, true).empty());
}

TEST(TaggedEvent, AppendsTheTagsAfterTheEventKeysAndFillsDefaults)
{
    auto accounts = two_accounts();
    wrenfold::caldav::EventRecord event;
    event.uid = "e1";
    event.summary = "Tea";
    event.start = "2025-10-02T15:00:00";
    event.end = "2025-10-02T16:00:00";
    event.url = "https://p2/cal/home/e1.ics";
    event.etag = "\"7\"";
    Json tagged = tagged_event(event, accounts[1], accounts[1].calendars[0]);
    EXPECT_EQ(tagged.dump(),
              Json::parse(R"({"uid": "e1", "summary": "Tea", "start": "2025-10-02T15:00:00",
        "end": "2025-10-02T16:00:00", "all_day": false, "location": "", "description": "", "rrule": "",
        "url": "https://p2/cal/home/e1.ics", "etag": "\"7\"", "recurring": false, "recurrence_id": "", "alarms": [],
        "account_id": "a2", "calendar_url": "https://p2/cal/home/", "calendar_name": "Home",
        "color": "#1BADF8", "read_only": false})")
                  .dump());

    tagged = tagged_event(event, accounts[0], accounts[0].calendars[1]);
    EXPECT_EQ(tagged["color"], "#112233");
    EXPECT_EQ(tagged["read_only"], true);
    EXPECT_EQ(tagged["account_id"], accounts[0].id);
}

TEST(HomeTzidOf, FallsBackToTheDefaultWhenEmpty)
{
    EXPECT_EQ(home_tzid_of(parse_account(Json::parse(R"({"home_tzid": "Europe/Paris"})"))), "Europe/Paris");
    EXPECT_EQ(home_tzid_of(parse_account(Json::parse(R"({"home_tzid": ""})"))), "Asia/Taipei");
    EXPECT_EQ(home_tzid_of(parse_account(Json::parse(R"({"home_tzid": 5})"))), "Asia/Taipei");
}

TEST(ParseQueryDate, UsesTheFirstTenCharactersOnly)
{
    using namespace std::chrono;
    EXPECT_EQ(parse_query_date("2025-03-01T08:00:00+08:00"), year(2025) / 3 / 1);
    EXPECT_EQ(parse_query_date("2024-02-29"), year(2024) / 2 / 29);
}

TEST(ParseQueryDate, RejectsWhatIsNotAValidDate)
{
    for (Json bad : { Json("2025-02-29"), Json("2025/03/01"), Json("2025-3-1"), Json(""), Json(20250301), Json() })
        EXPECT_THROW(parse_query_date(bad), std::invalid_argument) << bad.dump();
}

TEST(CapOccurrences, CalendarsPastTheLimitBecomeErrorsAndLaterOnesStillFit)
{
    auto listing = [](std::size_t count, std::optional<std::string> error = std::nullopt) {
        CalendarListing made;
        made.events.resize(count);
        made.error = std::move(error);
        return made;
    };
    std::vector<CalendarListing> listings { listing(3), listing(4), listing(0, "offline"), listing(3), listing(1) };
    cap_occurrences(listings, 6, "too many");
    std::vector<std::pair<std::size_t, std::string>> outcome;
    for (const auto& l : listings)
        outcome.emplace_back(l.events.size(), l.error.value_or(""));
    EXPECT_EQ(outcome,
              (std::vector<std::pair<std::size_t, std::string>> {
                  { 3, "" }, { 0, "too many" }, { 0, "offline" }, { 3, "" }, { 0, "too many" } }));
}
