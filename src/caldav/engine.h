#pragma once

#include "caldav/calendar_sync.h"
#include "caldav/http.h"
#include "caldav/results.h"
#include "core/json.h"

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace wrenfold::caldav {

// Every failure of an engine operation: the text is short English meant for
// the user, names the HTTP status or the network failure, never the password.
class CalDavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The server could not be reached at all (connection, DNS, TLS, time-out):
// nothing was done on it.
class NetworkError : public CalDavError {
public:
    using CalDavError::CalDavError;
};

// The server asked to be left alone for a while (HTTP 429 or 503), for
// `retry_after` when it said how long.
class ServerBusy : public CalDavError {
public:
    ServerBusy(int status, std::optional<std::chrono::seconds> wait)
        : CalDavError("the server is busy (HTTP " + std::to_string(status) + ")"),
          retry_after(wait)
    {
    }
    std::optional<std::chrono::seconds> retry_after;
};

// A calendar whose events in a range are more than a listing gives, or a
// series whose rule needs too much work to reach the range.
class TooManyOccurrences : public CalDavError {
public:
    TooManyOccurrences()
        : CalDavError("too many occurrences")
    {
    }
};

// The most occurrences one calendar gives one listing: a month of a busy
// calendar holds a few thousand at most.
inline constexpr std::size_t kMaxOccurrencesPerCalendar = 5000;

struct AuthResult {
    bool accepted;
    int status;
};

class CalendarEngine {
public:
    virtual ~CalendarEngine() = default;
    virtual AuthResult check_auth() = 0;
    virtual std::vector<DiscoveredCalendar> discover() = 0;
    // start/end: dates (midnights in the home zone), half-open range
    virtual std::vector<EventRecord> list_events(const std::string& calendar_url, std::chrono::year_month_day start,
                                                 std::chrono::year_month_day end) = 0;
    virtual EventRecord get_event(const std::string& event_url) = 0;
    virtual WriteResult create_event(const std::string& calendar_url, const Json& fields) = 0;
    virtual WriteResult update_event(const std::string& event_url, const std::string& etag, const Json& fields) = 0;
    virtual WriteResult move_event(const std::string& event_url, const std::string& new_calendar_url,
                                   const Json& fields, const std::string& etag) = 0;
    virtual WriteResult delete_event(const std::string& event_url, const std::optional<std::string>& etag) = 0;

    // One occurrence of a repeating event taken out (`recurrence_id` as the
    // listing gives it); the rest of the series stays.
    virtual WriteResult delete_occurrence(const std::string& event_url, const std::string& recurrence_id,
                                          const std::optional<std::string>& etag)
    {
        (void)event_url, (void)recurrence_id, (void)etag;
        throw CalDavError("this calendar cannot delete single occurrences");
    }
    // That occurrence and every later one taken out: the series ends before
    // it, or goes whole when nothing of it would be left.
    virtual WriteResult delete_following(const std::string& event_url, const std::string& recurrence_id,
                                         const std::optional<std::string>& etag)
    {
        (void)event_url, (void)recurrence_id, (void)etag;
        throw CalDavError("this calendar cannot end a series");
    }
    // The stored iCalendar object of an event, whole, for a move to another
    // account: `import_event` writes it into a calendar there with the
    // editor's fields applied, keeping its UID, alarms, attendees, overrides.
    virtual std::string export_event(const std::string& event_url)
    {
        (void)event_url;
        throw CalDavError("this calendar cannot hand over whole events");
    }
    virtual WriteResult import_event(const std::string& calendar_url, const std::string& ics, const Json& fields)
    {
        (void)calendar_url, (void)ics, (void)fields;
        throw CalDavError("this calendar cannot take whole events");
    }

    // Whether sync_calendar works here; engines without it are only listed.
    virtual bool can_sync() const { return false; }
    // What changed in the calendar since what the local copy knows.
    virtual SyncDelta sync_calendar(const std::string& calendar_url, const SyncKnown& known)
    {
        (void)calendar_url, (void)known;
        throw CalDavError("this calendar cannot be synced");
    }
    // Calendars of the account: a new one (its address, name and colour), a
    // new name or colour for one, one taken away with what it holds, and how
    // many objects one holds.
    virtual DiscoveredCalendar create_calendar(const std::string& name, const std::string& color)
    {
        (void)name, (void)color;
        throw CalDavError("this account cannot make calendars");
    }
    virtual void update_calendar(const std::string& calendar_url, const std::optional<std::string>& name,
                                 const std::optional<std::string>& color)
    {
        (void)calendar_url, (void)name, (void)color;
        throw CalDavError("this account cannot change calendars");
    }
    virtual void delete_calendar(const std::string& calendar_url)
    {
        (void)calendar_url;
        throw CalDavError("this account cannot delete calendars");
    }
    virtual std::size_t count_objects(const std::string& calendar_url)
    {
        (void)calendar_url;
        throw CalDavError("this account cannot count events");
    }
    // Writes a stored object back as it was exported, for an undo: over the
    // version `etag` names, or, with no ETag, where nothing is stored now.
    virtual WriteResult restore_event(const std::string& event_url, const std::string& ics, const std::string& etag)
    {
        (void)event_url, (void)ics, (void)etag;
        throw CalDavError("this calendar cannot write events back");
    }
};

// `abort`, when given, ends the engine's requests under way once it is set.
std::unique_ptr<CalendarEngine> make_icloud_engine(std::string apple_id, std::string app_password,
                                                   std::string home_tzid = "Asia/Taipei",
                                                   std::shared_ptr<const TransferAbort> abort = nullptr);

}  // namespace wrenfold::caldav
