#include "store/event_store.h"

#include "core/atomic_store.h"
#include "core/log.h"
#include "store/sqlite_db.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string_view>
#include <system_error>

namespace wrenfold::store {
namespace {

namespace fs = std::filesystem;

// Each entry brings a store of the version before it to its own version
// (index + 1); a store is only ever moved forward.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE calendars (
    url TEXT PRIMARY KEY,
    account_id TEXT NOT NULL,
    sync_token TEXT NOT NULL DEFAULT '',
    ctag TEXT NOT NULL DEFAULT '',
    last_good_sync INTEGER,
    last_error TEXT NOT NULL DEFAULT '',
    failing_since INTEGER
);
CREATE INDEX calendars_by_account ON calendars(account_id);
CREATE TABLE objects (
    calendar_url TEXT NOT NULL,
    href TEXT NOT NULL,
    etag TEXT NOT NULL,
    ics TEXT NOT NULL,
    uid TEXT NOT NULL,
    first_instant INTEGER NOT NULL,
    last_instant INTEGER,
    search_text TEXT NOT NULL,
    PRIMARY KEY (calendar_url, href)
);
CREATE INDEX objects_by_start ON objects(calendar_url, first_instant);
)sql",
    R"sql(
ALTER TABLE objects ADD COLUMN record_for TEXT;
ALTER TABLE objects ADD COLUMN record_start INTEGER;
ALTER TABLE objects ADD COLUMN record_end INTEGER;
ALTER TABLE objects ADD COLUMN record_json TEXT;
)sql",
};
constexpr std::int64_t kLatestVersion = std::size(kMigrations);

// The store's version; 0 for a new empty file. Throws StoreError for a file
// that is not a store this program can read.
std::int64_t version_of(Database& db)
{
    Statement check = db.prepare("PRAGMA quick_check");
    if (!check.step() || check.text(0) != "ok")
        throw StoreError("the store is damaged");
    Statement tables = db.prepare("SELECT name FROM sqlite_master WHERE type = 'table'");
    bool any_table = false, has_version = false;
    while (tables.step()) {
        any_table = true;
        has_version = has_version || tables.text(0) == "schema_version";
    }
    if (!any_table)
        return 0;
    if (!has_version)
        throw StoreError("the file holds tables of something else");
    Statement version = db.prepare("SELECT version FROM schema_version");
    if (!version.step())
        throw StoreError("the store has no version");
    std::int64_t found = version.integer(0);
    if (found < 1 || found > kLatestVersion)
        throw StoreError("the store is of an unknown version " + std::to_string(found));
    return found;
}

void migrate(Database& db, std::int64_t from)
{
    if (from == kLatestVersion)
        return;
    Transaction transaction(db);
    if (from == 0)
        db.execute("CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (0)");
    for (std::int64_t version = from; version < kLatestVersion; ++version)
        db.execute(kMigrations[version]);
    db.prepare("UPDATE schema_version SET version = ?").bind(1, kLatestVersion).run();
    transaction.commit();
}

#ifdef _WIN32
// Files on Windows have no mode bits: the store and its -wal and -shm files
// inherit the access list of the data folder, which is the user's own.
void make_private_file(const fs::path&)
{
}
#else
// The file exists, readable by its owner only, before SQLite opens it (SQLite
// gives its -wal and -shm files the database file's mode).
void make_private_file(const fs::path& file)
{
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw StoreError("create " + file.string() + ": " + std::generic_category().message(errno));
    ::fchmod(fd, 0600);
    ::close(fd);
}
#endif

std::unique_ptr<Database> open_current(const fs::path& file)
{
    make_private_file(file);
    auto db = std::make_unique<Database>(file);
    std::int64_t version = version_of(*db);
    {
        Statement mode = db->prepare("PRAGMA journal_mode = WAL");
        if (!mode.step() || mode.text(0) != "wal")
            throw StoreError("the store cannot keep a write-ahead log");
    }
    // In WAL mode NORMAL keeps every commit whole; a power cut may lose the
    // last ones, which the next sync fetches again.
    db->execute("PRAGMA synchronous = NORMAL");
    migrate(*db, version);
    return db;
}

void remove_store_files(const fs::path& file)
{
    std::error_code ignored;
    for (const char* suffix : { "", "-wal", "-shm" }) {
        fs::path name = file;
        fs::remove(name += suffix, ignored);
    }
}

StoredObject object_from(const Statement& row, int first_column)
{
    StoredObject object { row.text(first_column),        row.text(first_column + 1),
                          row.text(first_column + 2),    row.text(first_column + 3),
                          row.integer(first_column + 4), row.optional_integer(first_column + 5),
                          row.text(first_column + 6),    std::nullopt };
    if (row.optional_integer(first_column + 8))
        object.record = StoredRecord { row.text(first_column + 7), row.integer(first_column + 8),
                                       row.integer(first_column + 9), row.text(first_column + 10) };
    return object;
}

// The columns object_from reads, in its order; `text` selects the iCalendar
// text (a listing leaves it out where the kept record serves).
std::string object_columns(std::string_view text = "ics")
{
    return "href, etag, " + std::string(text) +
        ", uid, first_instant, last_instant, search_text, record_for, record_start, record_end, record_json";
}

std::optional<std::int64_t> optional_field(const std::optional<StoredRecord>& record, Instant StoredRecord::*field)
{
    return record ? std::optional<std::int64_t>((*record).*field) : std::nullopt;
}

void upsert(Database& db, const std::string& calendar_url, const StoredObject& object)
{
    const auto& record = object.record;
    db.prepare("INSERT OR REPLACE INTO objects (calendar_url, href, etag, ics, uid, first_instant, last_instant, "
               "search_text, record_for, record_start, record_end, record_json) "
               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(1, calendar_url)
        .bind(2, object.href)
        .bind(3, object.etag)
        .bind(4, object.ics)
        .bind(5, object.uid)
        .bind(6, object.first_instant)
        .bind(7, object.last_instant)
        .bind(8, object.search_text)
        .bind(9, record ? record->made_for : "")
        .bind(10, optional_field(record, &StoredRecord::start))
        .bind(11, optional_field(record, &StoredRecord::end))
        .bind(12, record ? record->json : "")
        .run();
}

void ensure_calendar(Database& db, const std::string& calendar_url, const std::string& account_id)
{
    db.prepare("INSERT INTO calendars (url, account_id) VALUES (?, ?) ON CONFLICT(url) DO UPDATE SET account_id = "
               "excluded.account_id")
        .bind(1, calendar_url)
        .bind(2, account_id)
        .run();
}

CalendarState state_from(const Statement& row)
{
    return { row.text(0),
             row.text(1),
             row.text(2),
             row.text(3),
             row.optional_integer(4),
             row.text(5),
             row.optional_integer(6) };
}

constexpr const char* kStateColumns = "url, account_id, sync_token, ctag, last_good_sync, last_error, failing_since";

}  // namespace

std::unique_ptr<EventStore> EventStore::open(const fs::path& file)
{
    try {
        return std::unique_ptr<EventStore>(new EventStore(open_current(file)));
    } catch (const StoreError& error) {
        log_line("event_store:", error.what());
    }
    // What is there cannot be used: it is kept for whoever wants to look,
    // and the calendars are fetched again into a new store.
    if (fs::exists(file))
        keep_unreadable_copy(file);
    remove_store_files(file);
    return std::unique_ptr<EventStore>(new EventStore(open_current(file)));
}

EventStore::EventStore(std::unique_ptr<Database> db)
    : m_db(std::move(db))
{
}

EventStore::~EventStore() = default;

std::optional<CalendarState> EventStore::state(const std::string& calendar_url) const
{
    std::lock_guard lock(m_mutex);
    Statement row = m_db->prepare(std::string("SELECT ") + kStateColumns + " FROM calendars WHERE url = ?");
    row.bind(1, calendar_url);
    if (!row.step())
        return std::nullopt;
    return state_from(row);
}

std::vector<CalendarState> EventStore::states() const
{
    std::lock_guard lock(m_mutex);
    Statement row = m_db->prepare(std::string("SELECT ") + kStateColumns + " FROM calendars ORDER BY url");
    std::vector<CalendarState> found;
    while (row.step())
        found.push_back(state_from(row));
    return found;
}

std::map<std::string, std::string> EventStore::etags(const std::string& calendar_url) const
{
    std::lock_guard lock(m_mutex);
    Statement row = m_db->prepare("SELECT href, etag FROM objects WHERE calendar_url = ?");
    row.bind(1, calendar_url);
    std::map<std::string, std::string> found;
    while (row.step())
        found.emplace(row.text(0), row.text(1));
    return found;
}

void EventStore::apply(const std::string& calendar_url, const std::string& account_id, const CalendarChange& change,
                       Instant now)
{
    std::lock_guard lock(m_mutex);
    Transaction transaction(*m_db);
    ensure_calendar(*m_db, calendar_url, account_id);
    if (change.replace_all)
        m_db->prepare("DELETE FROM objects WHERE calendar_url = ?").bind(1, calendar_url).run();
    for (const std::string& href : change.deleted_hrefs)
        m_db->prepare("DELETE FROM objects WHERE calendar_url = ? AND href = ?")
            .bind(1, calendar_url)
            .bind(2, href)
            .run();
    for (const StoredObject& object : change.upserts)
        upsert(*m_db, calendar_url, object);
    m_db->prepare("UPDATE calendars SET sync_token = ?, ctag = ?, last_good_sync = ?, last_error = '', "
                  "failing_since = NULL WHERE url = ?")
        .bind(1, change.sync_token)
        .bind(2, change.ctag)
        .bind(3, now)
        .bind(4, calendar_url)
        .run();
    transaction.commit();
}

void EventStore::record_failure(const std::string& calendar_url, const std::string& account_id,
                                const std::string& error, Instant now)
{
    std::lock_guard lock(m_mutex);
    Transaction transaction(*m_db);
    ensure_calendar(*m_db, calendar_url, account_id);
    m_db->prepare("UPDATE calendars SET last_error = ?, failing_since = COALESCE(failing_since, ?) WHERE url = ?")
        .bind(1, error)
        .bind(2, now)
        .bind(3, calendar_url)
        .run();
    transaction.commit();
}

void EventStore::put_object(const std::string& calendar_url, const StoredObject& object)
{
    std::lock_guard lock(m_mutex);
    upsert(*m_db, calendar_url, object);
}

void EventStore::remove_object(const std::string& calendar_url, const std::string& href)
{
    std::lock_guard lock(m_mutex);
    m_db->prepare("DELETE FROM objects WHERE calendar_url = ? AND href = ?").bind(1, calendar_url).bind(2, href).run();
}

std::vector<StoredObject> EventStore::objects_between(const std::string& calendar_url, Instant start, Instant end,
                                                      const std::string& record_for) const
{
    std::lock_guard lock(m_mutex);
    Statement row = m_db->prepare(
        "SELECT " + object_columns("CASE WHEN record_start IS NOT NULL AND record_for = ?4 THEN '' ELSE ics END") +
        " FROM objects WHERE calendar_url = ?1 AND first_instant < ?2 AND (last_instant IS NULL OR last_instant > ?3) "
        "ORDER BY first_instant, href");
    row.bind(1, calendar_url).bind(2, end).bind(3, start).bind(4, record_for);
    std::vector<StoredObject> found;
    while (row.step())
        found.push_back(object_from(row, 0));
    return found;
}

void EventStore::fill_records(const std::string& calendar_url, const std::vector<RecordFill>& fills)
{
    if (fills.empty())
        return;
    std::lock_guard lock(m_mutex);
    Transaction transaction(*m_db);
    for (const RecordFill& fill : fills)
        m_db->prepare("UPDATE objects SET record_for = ?, record_start = ?, record_end = ?, record_json = ? "
                      "WHERE calendar_url = ? AND href = ? AND etag = ?")
            .bind(1, fill.record.made_for)
            .bind(2, fill.record.start)
            .bind(3, fill.record.end)
            .bind(4, fill.record.json)
            .bind(5, calendar_url)
            .bind(6, fill.href)
            .bind(7, fill.etag)
            .run();
    transaction.commit();
}

std::vector<std::pair<std::string, StoredObject>> EventStore::search(const std::vector<std::string>& calendar_urls,
                                                                     const std::string& folded_needle,
                                                                     std::size_t limit) const
{
    std::vector<std::pair<std::string, StoredObject>> found;
    if (calendar_urls.empty() || folded_needle.empty() || limit == 0)
        return found;
    std::string places;
    for (std::size_t i = 0; i < calendar_urls.size(); ++i)
        places += i ? ", ?" : "?";
    std::lock_guard lock(m_mutex);
    Statement row = m_db->prepare("SELECT calendar_url, " + object_columns() + " FROM objects WHERE calendar_url IN (" +
                                  places + ") AND instr(search_text, ?) > 0 ORDER BY first_instant, href LIMIT ?");
    int index = 1;
    for (const std::string& url : calendar_urls)
        row.bind(index++, url);
    row.bind(index++, folded_needle);
    row.bind(index, static_cast<std::int64_t>(limit));
    while (row.step())
        found.emplace_back(row.text(0), object_from(row, 1));
    return found;
}

void EventStore::remove_calendar(const std::string& calendar_url)
{
    std::lock_guard lock(m_mutex);
    Transaction transaction(*m_db);
    m_db->prepare("DELETE FROM objects WHERE calendar_url = ?").bind(1, calendar_url).run();
    m_db->prepare("DELETE FROM calendars WHERE url = ?").bind(1, calendar_url).run();
    transaction.commit();
}

void EventStore::remove_account(const std::string& account_id)
{
    std::lock_guard lock(m_mutex);
    Transaction transaction(*m_db);
    m_db->prepare("DELETE FROM objects WHERE calendar_url IN (SELECT url FROM calendars WHERE account_id = ?)")
        .bind(1, account_id)
        .run();
    m_db->prepare("DELETE FROM calendars WHERE account_id = ?").bind(1, account_id).run();
    transaction.commit();
}

}  // namespace wrenfold::store
