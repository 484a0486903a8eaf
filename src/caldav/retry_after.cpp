#include "caldav/http.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

namespace wrenfold::caldav {

std::optional<std::chrono::seconds> parse_retry_after(const std::string& value,
                                                      std::chrono::system_clock::time_point now)
{
    if (value.empty())
        return std::nullopt;
    long long seconds = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error == std::errc() && end == value.data() + value.size())
        return seconds >= 0 ? std::optional(std::chrono::seconds(seconds)) : std::nullopt;
    // An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT", read the same way on
    // every system (no strptime or timegm on Windows).
    std::istringstream in(value);
    in.imbue(std::locale::classic());
    std::tm parts {};
    std::string zone;
    in >> std::get_time(&parts, "%a, %d %b %Y %H:%M:%S") >> zone;
    if (in.fail() || zone != "GMT" || !(in >> std::ws).eof())
        return std::nullopt;
    using namespace std::chrono;
    year_month_day day { year { parts.tm_year + 1900 }, month { static_cast<unsigned>(parts.tm_mon + 1) },
                         std::chrono::day { static_cast<unsigned>(parts.tm_mday) } };
    if (!day.ok())
        return std::nullopt;
    auto when =
        sys_days { day } + hours { parts.tm_hour } + minutes { parts.tm_min } + std::chrono::seconds { parts.tm_sec };
    auto wait = std::chrono::duration_cast<std::chrono::seconds>(when - now);
    return std::max(wait, std::chrono::seconds(0));
}

}  // namespace wrenfold::caldav
