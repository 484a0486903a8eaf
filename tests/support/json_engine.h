#pragma once

#include "caldav/engine.h"

#include <memory>
#include <optional>
#include <string>

namespace wrenfold::testing {

// An engine whose results are read in the JSON form the bridge answers, so
// that a test checks the typed results and their one conversion together.
class JsonEngine {
public:
    explicit JsonEngine(std::unique_ptr<caldav::CalendarEngine> engine)
        : m_engine(std::move(engine))
    {
    }

    caldav::CalendarEngine& typed() { return *m_engine; }

    caldav::AuthResult check_auth() { return m_engine->check_auth(); }
    Json discover() { return caldav::to_json(m_engine->discover()); }
    Json list_events(const std::string& calendar_url, std::chrono::year_month_day start,
                     std::chrono::year_month_day end)
    {
        return caldav::to_json(m_engine->list_events(calendar_url, start, end));
    }
    Json get_event(const std::string& event_url) { return m_engine->get_event(event_url).to_json(); }
    Json create_event(const std::string& calendar_url, const Json& fields)
    {
        return m_engine->create_event(calendar_url, fields).to_json();
    }
    Json update_event(const std::string& event_url, const std::string& etag, const Json& fields)
    {
        return m_engine->update_event(event_url, etag, fields).to_json();
    }
    Json move_event(const std::string& event_url, const std::string& new_calendar_url, const Json& fields,
                    const std::string& etag)
    {
        return m_engine->move_event(event_url, new_calendar_url, fields, etag).to_json();
    }
    Json delete_event(const std::string& event_url, const std::optional<std::string>& etag)
    {
        return m_engine->delete_event(event_url, etag).to_json();
    }
    Json delete_occurrence(const std::string& event_url, const std::string& recurrence_id,
                           const std::optional<std::string>& etag)
    {
        return m_engine->delete_occurrence(event_url, recurrence_id, etag).to_json();
    }
    std::string export_event(const std::string& event_url) { return m_engine->export_event(event_url); }
    Json import_event(const std::string& calendar_url, const std::string& ics, const Json& fields)
    {
        return m_engine->import_event(calendar_url, ics, fields).to_json();
    }

private:
    std::unique_ptr<caldav::CalendarEngine> m_engine;
};

}  // namespace wrenfold::testing
