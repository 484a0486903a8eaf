#include "core/dates.h"

#include <charconv>
#include <cstdio>

namespace wrenfold {

namespace {

std::string format(std::chrono::year_month_day date, const char* pattern)
{
    char text[16];
    std::snprintf(text, sizeof text, pattern, static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()));
    return text;
}

std::optional<int> digits(std::string_view text)
{
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string iso_date(std::chrono::year_month_day date)
{
    return format(date, "%04d-%02u-%02u");
}

std::string compact_date(std::chrono::year_month_day date)
{
    return format(date, "%04d%02u%02u");
}

std::optional<std::chrono::year_month_day> parse_iso_date(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    auto year = digits(text.substr(0, 4));
    auto month = digits(text.substr(5, 2));
    auto day = digits(text.substr(8, 2));
    if (!year || !month || !day)
        return std::nullopt;
    std::chrono::year_month_day date { std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                                       std::chrono::day(static_cast<unsigned>(*day)) };
    if (!date.ok())
        return std::nullopt;
    return date;
}

}  // namespace wrenfold
