#pragma once

#include "core/json.h"

#include <ctime>
#include <string>

namespace wrenfold::testing {

inline Json calendar(const std::string& name, const std::string& url, bool read_only = false)
{
    return { { "name", name }, { "url", url }, { "read_only", read_only } };
}

// Two accounts that both have a calendar called "Work".
inline Json two_accounts()
{
    return Json::array({
        { { "id", "A1" },
          { "apple_id", "alice@icloud.com" },
          { "home_tzid", "Europe/Paris" },
          { "calendars",
            { calendar("Holidays", "https://a/h/", true), calendar("Work", "https://a/w/"),
              calendar("Home", "https://a/home/") } } },
        { { "id", "B2" },
          { "apple_id", "bob@me.com" },
          { "calendars", { calendar("work ", "https://b/w/"), calendar("Shared", "https://b/s/", true) } } },
    });
}

inline std::tm sunday_evening()
{
    std::tm t {};
    t.tm_year = 2025 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 1;
    t.tm_hour = 19;
    t.tm_min = 5;
    t.tm_wday = 0;
    return t;
}

}  // namespace wrenfold::testing
