#include "calendar/lunar_labels.h"

#include "calendar/lunar_calendar.h"
#include "calendar/solar_terms.h"

#include <array>

namespace wrenfold {

namespace {

// Indexed by the term's number: 春分 at 0 degrees, then every 15 degrees.
constexpr std::array<std::string_view, 24> term_names = {
    "春分", "清明", "穀雨", "立夏", "小滿", "芒種", "夏至", "小暑", "大暑", "立秋", "處暑", "白露",
    "秋分", "寒露", "霜降", "立冬", "小雪", "大雪", "冬至", "小寒", "大寒", "立春", "雨水", "驚蟄",
};

constexpr std::array<std::string_view, 12> month_names = {
    "正月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "冬月", "臘月",
};

constexpr std::array<std::string_view, 10> digits = { "一", "二", "三", "四", "五", "六", "七", "八", "九", "十" };

std::string day_name(unsigned day)
{
    if (day <= 10)
        return "初" + std::string(digits[day - 1]);
    if (day < 20)
        return "十" + std::string(digits[day - 11]);
    if (day == 20)
        return "二十";
    if (day < 30)
        return "廿" + std::string(digits[day - 21]);
    return "三十";
}

}  // namespace

std::optional<LunarLabel> lunar_label(std::chrono::year_month_day date)
{
    auto const lunar = gregorian_to_lunar(date);
    if (!lunar)
        return std::nullopt;
    if (auto const term = solar_term_on(date))
        return LunarLabel { std::string(term_names[*term]), "term" };
    if (lunar->day == 1)
        return LunarLabel { (lunar->leap ? "閏" : "") + std::string(month_names[lunar->month - 1]), "month" };
    return LunarLabel { day_name(lunar->day), "day" };
}

}  // namespace wrenfold
