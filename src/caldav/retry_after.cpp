#include "caldav/http.h"

#include <algorithm>
#include <charconv>
#include <ctime>

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
    // An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT".
    std::tm parts {};
    const char* rest = ::strptime(value.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    if (!rest || *rest != '\0')
        return std::nullopt;
    auto when = std::chrono::system_clock::from_time_t(::timegm(&parts));
    auto wait = std::chrono::duration_cast<std::chrono::seconds>(when - now);
    return std::max(wait, std::chrono::seconds(0));
}

}  // namespace wrenfold::caldav
