#pragma once

#include "caldav/engine.h"

namespace wrenfold::testing {

// A server that is only ever synced with: the page is answered from the
// local copy, so listing or writing through it is a fault of the caller.
class SyncOnlyEngine : public caldav::CalendarEngine {
public:
    bool can_sync() const override { return true; }
    caldav::AuthResult check_auth() override { return { true, 207 }; }
    std::vector<caldav::DiscoveredCalendar> discover() override { return {}; }
    std::vector<caldav::EventRecord> list_events(const std::string&, std::chrono::year_month_day,
                                                 std::chrono::year_month_day) override
    {
        throw caldav::CalDavError("listing is not expected: the store answers");
    }
    caldav::EventRecord get_event(const std::string&) override { throw caldav::CalDavError("unused"); }
    caldav::WriteResult create_event(const std::string&, const Json&) override { throw caldav::CalDavError("unused"); }
    caldav::WriteResult update_event(const std::string&, const std::string&, const Json&) override
    {
        throw caldav::CalDavError("unused");
    }
    caldav::WriteResult move_event(const std::string&, const std::string&, const Json&, const std::string&) override
    {
        throw caldav::CalDavError("unused");
    }
    caldav::WriteResult delete_event(const std::string&, const std::optional<std::string>&) override
    {
        throw caldav::CalDavError("unused");
    }
};

}  // namespace wrenfold::testing
