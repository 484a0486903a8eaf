#pragma once

#include "core/json.h"

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace wrenfold::caldav {

// Every failure of an engine operation: the text is short English meant for
// the user, names the HTTP status or the network failure, never the password.
class CalDavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct AuthResult {
    bool accepted;
    int status;
};

class CalendarEngine {
public:
    virtual ~CalendarEngine() = default;
    virtual AuthResult check_auth() = 0;
    virtual Json discover() = 0;  // array of Calendar records
    // start/end: dates (midnights in the home zone), half-open range
    virtual Json list_events(const std::string& calendar_url, std::chrono::year_month_day start,
                             std::chrono::year_month_day end) = 0;
    virtual Json get_event(const std::string& event_url) = 0;
    virtual Json create_event(const std::string& calendar_url, const Json& fields) = 0;
    virtual Json update_event(const std::string& event_url, const std::string& etag, const Json& fields) = 0;
    virtual Json move_event(const std::string& event_url, const std::string& new_calendar_url, const Json& fields,
                            const std::string& etag) = 0;
    virtual Json delete_event(const std::string& event_url, const std::optional<std::string>& etag) = 0;
};

std::unique_ptr<CalendarEngine> make_icloud_engine(std::string apple_id, std::string app_password,
                                                   std::string home_tzid = "Asia/Taipei");

}  // namespace wrenfold::caldav
