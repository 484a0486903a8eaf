#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::store {

class Database;

// Instants are seconds since 1970-01-01 UTC.
using Instant = std::int64_t;

// What the store knows of one calendar's sync with its server.
struct CalendarState {
    std::string calendar_url;
    std::string account_id;
    std::string sync_token;  // "" before the first sync, or when the server has none
    std::string ctag;
    std::optional<Instant> last_good_sync;  // none until a sync has completed
    std::string last_error;                 // "" after a good sync
    std::optional<Instant> failing_since;   // the first failure after the last good sync
};

// The finished listing of an object that occurs once, kept so that it is
// answered without parsing: its record as JSON text and the instants it
// spans, valid only for what it was made for (the home zone it was read in).
struct StoredRecord {
    std::string made_for;
    Instant start { 0 };
    Instant end { 0 };
    std::string json;
};

// One calendar object as the server stores it, and what a range listing or a
// search needs to pick it without parsing it.
struct StoredObject {
    std::string href;  // the object's absolute URL
    std::string etag;
    std::string ics;  // the raw iCalendar text
    std::string uid;
    Instant first_instant { 0 };
    std::optional<Instant> last_instant;  // none for a series without end
    std::string search_text;              // title, place and notes, folded for search
    std::optional<StoredRecord> record;   // none for a repeating object, or one not read yet
};

// A record made later for an object already stored, as it was at `etag`.
struct RecordFill {
    std::string href;
    std::string etag;
    StoredRecord record;
};

// What one sync learnt: everything (`replace_all`) or what changed.
struct CalendarChange {
    bool replace_all { false };
    std::vector<StoredObject> upserts;
    std::vector<std::string> deleted_hrefs;
    std::string sync_token;
    std::string ctag;
};

// The local copy of every calendar: one SQLite file, written only by the
// application process. Each calendar's change is one transaction, so a crash
// leaves each calendar either as it was or as synced. Safe to call from
// several threads; calls are taken one at a time.
class EventStore {
public:
    // Opens the file, creating it (mode 0600) when missing. A file that is
    // not a store, is damaged or comes from a newer program is kept beside
    // it as "<name>.unreadable" and a new empty store takes its place; only
    // a folder where no file can be made at all throws StoreError.
    static std::unique_ptr<EventStore> open(const std::filesystem::path& file);
    ~EventStore();

    std::optional<CalendarState> state(const std::string& calendar_url) const;
    std::vector<CalendarState> states() const;
    // href -> ETag of every stored object of the calendar.
    std::map<std::string, std::string> etags(const std::string& calendar_url) const;

    // Applies one sync's outcome in one transaction and marks it good.
    void apply(const std::string& calendar_url, const std::string& account_id, const CalendarChange& change,
               Instant now);
    // Keeps the objects; records the failure (its first time is kept).
    void record_failure(const std::string& calendar_url, const std::string& account_id, const std::string& error,
                        Instant now);
    // One object written by the program itself, as the server acknowledged it.
    void put_object(const std::string& calendar_url, const StoredObject& object);
    void remove_object(const std::string& calendar_url, const std::string& href);

    // Objects that may occur in [start, end): a superset, exact cuts are the caller's.
    // Objects whose record was made for `record_for` come without their text,
    // which the caller then has no need of.
    std::vector<StoredObject> objects_between(const std::string& calendar_url, Instant start, Instant end,
                                              const std::string& record_for = {}) const;
    // Keeps records made on reading; an object changed since (another ETag) keeps its own.
    void fill_records(const std::string& calendar_url, const std::vector<RecordFill>& fills);
    // Objects whose search text holds `folded_needle`, of the given calendars.
    std::vector<std::pair<std::string, StoredObject>> search(const std::vector<std::string>& calendar_urls,
                                                             const std::string& folded_needle, std::size_t limit) const;

    void remove_calendar(const std::string& calendar_url);
    // Every calendar of the account, and its objects.
    void remove_account(const std::string& account_id);

private:
    explicit EventStore(std::unique_ptr<Database> db);

    std::unique_ptr<Database> m_db;
    mutable std::mutex m_mutex;
};

}  // namespace wrenfold::store
