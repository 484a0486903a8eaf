#pragma once

#include "app/wrenfold_app.h"
#include "caldav/engine.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace wrenfold::testing {

// A CalDAV server in memory for one account: calendars, events, and a switch
// per operation to make it fail. Records every call; safe from many threads.
class FakeEngine final : public caldav::CalendarEngine {
public:
    struct Call {
        std::string operation;
        std::string target;
        std::optional<std::string> etag;
    };

    // Operations: "check_auth", "discover", "list_events", "create_event",
    // "update_event", "move_event", "delete_event", "delete_occurrence",
    // "export_event", "import_event".
    void fail(const std::string& operation, std::string message = "server said no")
    {
        std::lock_guard lock(m_mutex);
        m_failures[operation] = std::move(message);
    }
    void heal(const std::string& operation)
    {
        std::lock_guard lock(m_mutex);
        m_failures.erase(operation);
    }
    // Deletes are carried out but their answer is lost: the call fails, and
    // the event is gone (an export of it finds nothing).
    void lose_delete_answers()
    {
        std::lock_guard lock(m_mutex);
        m_lose_delete_answers = true;
    }
    void refuse_credentials(int status)
    {
        std::lock_guard lock(m_mutex);
        m_refused_status = status;
    }
    void accept_credentials()
    {
        std::lock_guard lock(m_mutex);
        m_refused_status.reset();
    }
    // Calendars written as discovery's JSON answer; text keys that are
    // missing or not text read as "" (color and ctag as absent).
    void set_calendars(const Json& calendars)
    {
        std::vector<caldav::DiscoveredCalendar> typed;
        for (const Json& calendar : calendars) {
            caldav::DiscoveredCalendar record { text_of(calendar, "url"), text_of(calendar, "name"),
                                                optional_text_of(calendar, "color"), calendar.value("read_only", false),
                                                optional_text_of(calendar, "ctag") };
            typed.push_back(std::move(record));
        }
        std::lock_guard lock(m_mutex);
        m_calendars = std::move(typed);
    }
    // Events of one calendar, answered by list_events whatever the range.
    void put_events(const std::string& calendar_url, std::vector<caldav::EventRecord> events)
    {
        std::lock_guard lock(m_mutex);
        m_events[calendar_url] = std::move(events);
    }
    // An event record from its JSON form; keys left out read as "" or false.
    static caldav::EventRecord event_record(const Json& event)
    {
        caldav::EventRecord record;
        record.uid = text_of(event, "uid");
        record.summary = text_of(event, "summary");
        record.start = text_of(event, "start");
        record.end = text_of(event, "end");
        record.all_day = event.value("all_day", false);
        record.location = text_of(event, "location");
        record.description = text_of(event, "description");
        record.rrule = text_of(event, "rrule");
        record.url = text_of(event, "url");
        record.etag = text_of(event, "etag");
        record.recurring = event.value("recurring", false);
        record.recurrence_id = text_of(event, "recurrence_id");
        return record;
    }
    static std::vector<caldav::EventRecord> event_records(const Json& events)
    {
        std::vector<caldav::EventRecord> records;
        for (const Json& event : events)
            records.push_back(event_record(event));
        return records;
    }
    void put_events(const std::string& calendar_url, const Json& events)
    {
        put_events(calendar_url, event_records(events));
    }
    void fail_calendar(const std::string& calendar_url)
    {
        std::lock_guard lock(m_mutex);
        m_failing_calendars.insert(calendar_url);
    }
    // The event get_event answers for one URL (otherwise only its "url").
    void put_stored_event(const std::string& event_url, const Json& event)
    {
        std::lock_guard lock(m_mutex);
        m_stored_events[event_url] = event_record(event);
    }
    void set_fetch_delay(std::chrono::milliseconds delay) { m_fetch_delay = delay; }
    // discover() answers only once `callers` calls of it are waiting (or
    // after five seconds), so that calls made at once overlap for certain.
    void hold_discovery_until(int callers)
    {
        std::lock_guard lock(m_mutex);
        m_discovery_callers = callers;
    }

    std::vector<Call> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::string> operations() const
    {
        std::vector<std::string> names;
        for (const Call& call : calls())
            names.push_back(call.operation);
        return names;
    }
    std::vector<Json> list_ranges() const
    {
        std::lock_guard lock(m_mutex);
        return m_list_ranges;
    }

    caldav::AuthResult check_auth() override
    {
        record("check_auth", "");
        std::lock_guard lock(m_mutex);
        if (m_refused_status)
            return { false, *m_refused_status };
        return { true, 200 };
    }
    std::vector<caldav::DiscoveredCalendar> discover() override
    {
        record("discover", "");
        std::unique_lock lock(m_mutex);
        ++m_discovering;
        m_discovery_arrived.notify_all();
        m_discovery_arrived.wait_for(lock, std::chrono::seconds(5),
                                     [&] { return m_discovering >= m_discovery_callers; });
        return m_calendars;
    }
    std::vector<caldav::EventRecord> list_events(const std::string& calendar_url, std::chrono::year_month_day start,
                                                 std::chrono::year_month_day end) override
    {
        record("list_events", calendar_url);
        if (m_fetch_delay.count() > 0)
            std::this_thread::sleep_for(m_fetch_delay);
        std::lock_guard lock(m_mutex);
        m_list_ranges.push_back(Json::array({ calendar_url, ymd_text(start), ymd_text(end) }));
        if (m_failing_calendars.contains(calendar_url))
            throw caldav::CalDavError("HTTP 503 from " + calendar_url);
        auto found = m_events.find(calendar_url);
        return found != m_events.end() ? found->second : std::vector<caldav::EventRecord> {};
    }
    caldav::EventRecord get_event(const std::string& event_url) override
    {
        record("get_event", event_url);
        std::lock_guard lock(m_mutex);
        auto stored = m_stored_events.find(event_url);
        if (stored != m_stored_events.end())
            return stored->second;
        caldav::EventRecord bare;
        bare.url = event_url;
        return bare;
    }
    caldav::WriteResult create_event(const std::string& calendar_url, const Json& fields) override
    {
        record("create_event", calendar_url);
        std::lock_guard lock(m_mutex);
        std::string url = calendar_url + fields.value("uid", std::string("new")) + ".ics";
        m_created_fields = fields;
        return { url, "\"created-1\"", std::nullopt };
    }
    caldav::WriteResult update_event(const std::string& event_url, const std::string& etag, const Json& fields) override
    {
        record("update_event", event_url, etag);
        std::lock_guard lock(m_mutex);
        m_updated_fields = fields;
        return { event_url, "\"updated\"", std::nullopt };
    }
    caldav::WriteResult move_event(const std::string& event_url, const std::string& new_calendar_url, const Json&,
                                   const std::string& etag) override
    {
        record("move_event", event_url + " -> " + new_calendar_url, etag);
        return { new_calendar_url + "moved.ics", "\"moved\"", std::nullopt };
    }
    caldav::WriteResult delete_event(const std::string& event_url, const std::optional<std::string>& etag) override
    {
        record("delete_event", event_url, etag);
        std::lock_guard lock(m_mutex);
        if (m_lose_delete_answers) {
            m_gone.insert(event_url);
            throw caldav::CalDavError("network error: timed out");
        }
        return {};
    }
    caldav::WriteResult delete_occurrence(const std::string& event_url, const std::string& recurrence_id,
                                          const std::optional<std::string>& etag) override
    {
        record("delete_occurrence", event_url + " @ " + recurrence_id, etag);
        return { event_url, "\"occurrence-gone\"", std::nullopt };
    }
    caldav::WriteResult delete_following(const std::string& event_url, const std::string& recurrence_id,
                                         const std::optional<std::string>& etag) override
    {
        record("delete_following", event_url + " @ " + recurrence_id, etag);
        return { event_url, "\"series-ended\"", std::nullopt };
    }
    // The stored object is a stand-in text naming the event.
    std::string export_event(const std::string& event_url) override
    {
        record("export_event", event_url);
        std::lock_guard lock(m_mutex);
        if (m_gone.contains(event_url))
            throw caldav::CalDavError("GET failed: not found (HTTP 404)");
        return "stored " + event_url;
    }
    // Like a create, and keeps the object it was handed.
    caldav::WriteResult import_event(const std::string& calendar_url, const std::string& ics,
                                     const Json& fields) override
    {
        record("import_event", calendar_url);
        std::lock_guard lock(m_mutex);
        m_imported_objects.push_back(ics);
        m_created_fields = fields;
        std::string url = calendar_url + fields.value("uid", std::string("new")) + ".ics";
        return { url, "\"created-1\"", std::nullopt };
    }
    std::vector<std::string> imported_objects() const
    {
        std::lock_guard lock(m_mutex);
        return m_imported_objects;
    }

    Json created_fields() const
    {
        std::lock_guard lock(m_mutex);
        return m_created_fields;
    }
    Json updated_fields() const
    {
        std::lock_guard lock(m_mutex);
        return m_updated_fields;
    }

private:
    static std::string text_of(const Json& object, const char* key)
    {
        auto found = object.find(key);
        return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
    }
    static std::optional<std::string> optional_text_of(const Json& object, const char* key)
    {
        auto found = object.find(key);
        if (found != object.end() && found->is_string())
            return found->get<std::string>();
        return std::nullopt;
    }
    static std::string ymd_text(std::chrono::year_month_day date)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        return text;
    }

    // Records the call, then throws when the operation was told to fail.
    void record(const std::string& operation, const std::string& target, std::optional<std::string> etag = {})
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back({ operation, target, std::move(etag) });
        auto failure = m_failures.find(operation);
        if (failure != m_failures.end())
            throw caldav::CalDavError(failure->second);
    }

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_failures;
    std::optional<int> m_refused_status;
    std::vector<caldav::DiscoveredCalendar> m_calendars;
    std::map<std::string, std::vector<caldav::EventRecord>> m_events;
    std::set<std::string> m_failing_calendars;
    bool m_lose_delete_answers = false;
    std::set<std::string> m_gone;
    std::chrono::milliseconds m_fetch_delay { 0 };
    int m_discovery_callers = 0;
    int m_discovering = 0;
    std::condition_variable m_discovery_arrived;
    std::vector<Call> m_calls;
    std::vector<Json> m_list_ranges;
    Json m_created_fields;
    std::map<std::string, caldav::EventRecord> m_stored_events;
    Json m_updated_fields;
    std::vector<std::string> m_imported_objects;
};

// One fake server per Apple ID, made on first request; counts how often the
// application asked for an engine and with which time zone.
class FakeEngines {
public:
    std::shared_ptr<FakeEngine> engine(const std::string& apple_id)
    {
        std::lock_guard lock(m_mutex);
        auto& engine = m_engines[apple_id];
        if (!engine)
            engine = std::make_shared<FakeEngine>();
        return engine;
    }
    EngineFactory factory()
    {
        return [this](const std::string& apple_id, const std::string&, const std::optional<std::string>& zone) {
            std::lock_guard lock(m_mutex);
            ++m_made;
            m_zones.push_back(zone.value_or("(none)"));
            auto& engine = m_engines[apple_id];
            if (!engine)
                engine = std::make_shared<FakeEngine>();
            return std::shared_ptr<caldav::CalendarEngine>(engine);
        };
    }
    int made() const
    {
        std::lock_guard lock(m_mutex);
        return m_made;
    }
    std::vector<std::string> zones() const
    {
        std::lock_guard lock(m_mutex);
        return m_zones;
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<FakeEngine>> m_engines;
    int m_made = 0;
    std::vector<std::string> m_zones;
};

}  // namespace wrenfold::testing
