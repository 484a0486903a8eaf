#pragma once

#include <cstdint>
#include <string_view>

namespace wrenfold::holidays {

enum class HolidayKind : std::uint8_t {
    founding_day,
    new_years_eve,
    spring_festival,
    peace_memorial_day,
    childrens_day,
    tomb_sweeping_day,
    labor_day,
    dragon_boat_festival,
    mid_autumn_festival,
    confucius_birthday,
    national_day,
    restoration_day,
    constitution_day,
    buddhas_birthday,
};

enum class HolidayLanguage : std::uint8_t { zh_tw, en_us };

// The official name of a holiday (Traditional Chinese) or its English name.
std::string_view holiday_name(HolidayKind kind, HolidayLanguage language);

}  // namespace wrenfold::holidays
