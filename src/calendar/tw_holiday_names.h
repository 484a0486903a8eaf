#pragma once

#include <cstdint>
#include <string_view>

namespace wrenfold {

enum class HolidayKind : std::uint8_t {
    FoundingDay,
    NewYearsEve,
    SpringFestival,
    PeaceMemorialDay,
    ChildrensDay,
    TombSweepingDay,
    LaborDay,
    DragonBoatFestival,
    MidAutumnFestival,
    ConfuciusBirthday,
    NationalDay,
    RestorationDay,
    ConstitutionDay,
    BuddhasBirthday,
};

enum class HolidayLanguage : std::uint8_t { ZhTw, EnUs };

// The official name of a holiday (Traditional Chinese) or its English name.
std::string_view holiday_name(HolidayKind kind, HolidayLanguage language);

}  // namespace wrenfold
