// The local store: what a sync writes is what listing reads back, a store
// that cannot be used is set aside and never stops the start.
#include "store/event_store.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <random>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace wrenfold::store {
namespace {

using testing::TempDir;

StoredObject object(const std::string& href, Instant first, std::optional<Instant> last, const std::string& words = "")
{
    return {
        href, "\"" + href + "-1\"", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n", href + "-uid", first, last, words, {}
    };
}

std::vector<std::string> hrefs(const std::vector<StoredObject>& objects)
{
    std::vector<std::string> found;
    for (const auto& o : objects)
        found.push_back(o.href);
    return found;
}

const std::string kWork = "http://127.0.0.1/cal/work/";

TEST(EventStore, RangeListingKeepsSeriesWithoutEndAndAppliesDeltas)
{
    TempDir dir;
    auto store = EventStore::open(dir / "events.sqlite3");
    CalendarChange first {
        false, { object("a", 100, 200), object("b", 300, 400), object("series", 50, std::nullopt) }, {}, "token-1", ""
    };
    store->apply(kWork, "acc", first, 1000);
    // Half-open on both sides: an object ending where the range starts is out.
    EXPECT_EQ(hrefs(store->objects_between(kWork, 200, 350)), (std::vector<std::string> { "series", "b" }));
    EXPECT_EQ(hrefs(store->objects_between(kWork, 0, 100)), (std::vector<std::string> { "series" }));

    CalendarChange second { false, { object("c", 150, 160) }, { "a" }, "token-2", "" };
    second.upserts[0].etag = "\"c-2\"";
    store->apply(kWork, "acc", second, 2000);
    auto etags = store->etags(kWork);
    EXPECT_EQ(etags.size(), 3u);
    EXPECT_EQ(etags.count("a"), 0u);
    EXPECT_EQ(etags["c"], "\"c-2\"");
    auto state = store->state(kWork);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->sync_token, "token-2");
    EXPECT_EQ(state->last_good_sync, 2000);
}

TEST(EventStore, FailureKeepsObjectsAndItsFirstTimeUntilAGoodSync)
{
    TempDir dir;
    auto store = EventStore::open(dir / "events.sqlite3");
    store->apply(kWork, "acc", { false, { object("a", 100, 200) }, {}, "t", "" }, 1000);
    store->record_failure(kWork, "acc", "HTTP 503", 2000);
    store->record_failure(kWork, "acc", "timed out", 3000);
    auto state = store->state(kWork);
    EXPECT_EQ(state->failing_since, 2000);
    EXPECT_EQ(state->last_error, "timed out");
    EXPECT_EQ(state->last_good_sync, 1000);
    EXPECT_EQ(store->objects_between(kWork, 0, 1000).size(), 1u);

    store->apply(kWork, "acc", { false, {}, {}, "t2", "" }, 4000);
    state = store->state(kWork);
    EXPECT_FALSE(state->failing_since);
    EXPECT_EQ(state->last_error, "");
}

TEST(EventStore, RemovingAnAccountRemovesOnlyItsRows)
{
    TempDir dir;
    auto store = EventStore::open(dir / "events.sqlite3");
    const std::string home = "http://127.0.0.1/cal/home/";
    store->apply(kWork, "gone", { false, { object("a", 1, 2, "dentist") }, {}, "", "" }, 1);
    store->apply(home, "kept", { false, { object("b", 1, 2, "dentist") }, {}, "", "" }, 1);
    store->remove_account("gone");
    EXPECT_FALSE(store->state(kWork));
    EXPECT_TRUE(store->etags(kWork).empty());
    EXPECT_EQ(store->search({ kWork, home }, "dentist", 10).size(), 1u);
}

TEST(EventStore, SearchLimitsAndOrdersByStart)
{
    TempDir dir;
    auto store = EventStore::open(dir / "events.sqlite3");
    store->apply(kWork, "acc",
                 { false,
                   { object("late", 900, 901, "team lunch"), object("early", 100, 101, "lunch with ana"),
                     object("other", 50, 51, "dentist") },
                   {},
                   "",
                   "" },
                 1);
    auto found = store->search({ kWork }, "lunch", 1);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, kWork);
    EXPECT_EQ(found[0].second.href, "early");
}

std::string make_foreign_file(const std::filesystem::path& file, const char* kind)
{
    std::string what = kind;
    if (what == "garbage") {
        std::ofstream(file) << "this is no database, just text someone left here\n";
    } else {
        sqlite3* db = nullptr;
        sqlite3_open(file.string().c_str(), &db);
        const char* sql = what == "newer" ? "CREATE TABLE schema_version (version INTEGER); INSERT INTO "
                                            "schema_version VALUES (99);"
                                          : "CREATE TABLE recipes (name TEXT); INSERT INTO recipes VALUES ('soup');";
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(EventStore, AnUnusableFileIsKeptAsideAndANewPrivateStoreStarts)
{
    for (const char* kind : { "garbage", "newer", "foreign" }) {
        SCOPED_TRACE(kind);
        TempDir dir;
        auto file = dir / "events.sqlite3";
        std::string before = make_foreign_file(file, kind);
        auto store = EventStore::open(file);
        store->apply(kWork, "acc", { false, { object("a", 1, 2) }, {}, "t", "" }, 1);
        EXPECT_EQ(store->etags(kWork).size(), 1u);
        std::ifstream kept(file.string() + ".unreadable", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), before);
#ifndef _WIN32
        struct stat info { };
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
    }
}

TEST(EventStore, ReopenedStoreKeepsWhatWasCommitted)
{
    TempDir dir;
    auto file = dir / "events.sqlite3";
    EventStore::open(file)->apply(kWork, "acc", { false, { object("a", 1, 2) }, {}, "t", "c" }, 7);
    auto store = EventStore::open(file);
    EXPECT_EQ(store->state(kWork)->ctag, "c");
    EXPECT_EQ(store->etags(kWork).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".unreadable"));
}

// A store as the first version wrote it: one calendar with one object.
void make_first_version_store(const std::filesystem::path& file)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.string().c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (1);"
                 "CREATE TABLE calendars (url TEXT PRIMARY KEY, account_id TEXT NOT NULL, sync_token TEXT NOT NULL "
                 "DEFAULT '', ctag TEXT NOT NULL DEFAULT '', last_good_sync INTEGER, last_error TEXT NOT NULL DEFAULT "
                 "'', failing_since INTEGER);"
                 "CREATE TABLE objects (calendar_url TEXT NOT NULL, href TEXT NOT NULL, etag TEXT NOT NULL, ics TEXT "
                 "NOT NULL, uid TEXT NOT NULL, first_instant INTEGER NOT NULL, last_instant INTEGER, search_text TEXT "
                 "NOT NULL, PRIMARY KEY (calendar_url, href));"
                 "INSERT INTO calendars VALUES ('http://127.0.0.1/cal/work/', 'acc', 'tok', '', 5, '', NULL);"
                 "INSERT INTO objects VALUES ('http://127.0.0.1/cal/work/', 'a', '\"a-1\"', 'BEGIN:VCALENDAR', "
                 "'a-uid', 10, 20, 'lunch');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

TEST(EventStore, AFirstVersionStoreKeepsItsObjectsAndTakesRecordsOnlyForTheirOwnVersion)
{
    TempDir dir;
    auto file = dir / "events.sqlite3";
    make_first_version_store(file);
    auto store = EventStore::open(file);
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".unreadable"));
    EXPECT_EQ(store->state(kWork)->sync_token, "tok");
    auto found = store->objects_between(kWork, 0, 100, "1 Asia/Taipei");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].ics, "BEGIN:VCALENDAR");
    EXPECT_FALSE(found[0].record);

    // A record made from an older version of the object is not kept.
    StoredRecord record { "1 Asia/Taipei", 12, 13, R"({"uid":"a-uid"})" };
    store->fill_records(kWork, { { "a", "\"a-0\"", record } });
    EXPECT_FALSE(store->objects_between(kWork, 0, 100)[0].record);
    store->fill_records(kWork, { { "a", "\"a-1\"", record } });

    // The text stays for any other home zone, and with every other listing.
    for (const char* made_for : { "1 Asia/Taipei", "1 Europe/Paris", "" }) {
        SCOPED_TRACE(made_for);
        StoredObject again = store->objects_between(kWork, 0, 100, made_for).at(0);
        ASSERT_TRUE(again.record);
        EXPECT_EQ(again.record->json, record.json);
        EXPECT_EQ(again.record->start, 12);
        EXPECT_EQ(again.ics, std::string(made_for) == "1 Asia/Taipei" ? "" : "BEGIN:VCALENDAR");
    }
    // A sync writing the object anew without a record drops the old one.
    store->apply(kWork, "acc", { false, { object("a", 10, 20) }, {}, "tok2", "" }, 6);
    EXPECT_FALSE(store->objects_between(kWork, 0, 100)[0].record);
}

#ifndef _WIN32
// One generation of a calendar: every object carries the generation's tag, as
// does the sync token, so a half-applied generation shows.
CalendarChange generation(int number, int objects)
{
    CalendarChange change { true, {}, {}, "gen-" + std::to_string(number), "" };
    for (int i = 0; i < objects; ++i) {
        StoredObject o = object("obj" + std::to_string(i + (number % 2) * objects), i, i + 1);
        o.etag = change.sync_token;
        change.upserts.push_back(o);
    }
    return change;
}

TEST(EventStore, KilledWhileWritingLeavesEachCalendarWholeOldOrNew)
{
    TempDir dir;
    auto file = dir / "events.sqlite3";
    EventStore::open(file)->apply(kWork, "acc", generation(0, 200), 0);
    std::mt19937 random(7);
    for (int round = 0; round < 15; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                auto store = EventStore::open(file);
                for (int number = 1;; ++number)
                    store->apply(kWork, "acc", generation(number, 200), number);
            } catch (...) {
            }
            ::_exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        auto store = EventStore::open(file);
        auto state = store->state(kWork);
        ASSERT_TRUE(state);
        auto etags = store->etags(kWork);
        EXPECT_EQ(etags.size(), 200u);
        for (const auto& [href, etag] : etags)
            ASSERT_EQ(etag, state->sync_token) << href;
        EXPECT_FALSE(std::filesystem::exists(file.string() + ".unreadable"));
    }
}
#endif

}  // namespace
}  // namespace wrenfold::store
