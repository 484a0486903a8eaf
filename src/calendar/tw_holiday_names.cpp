#include "calendar/tw_holiday_names.h"

#include <array>
#include <cstddef>

namespace wrenfold {

namespace {

struct Names {
    std::string_view zh_tw;
    std::string_view en_us;
};

// Indexed by HolidayKind.
constexpr std::array<Names, 14> names = { {
    { "中華民國開國紀念日", "Founding Day of the Republic of China" },
    { "農曆除夕", "Chinese New Year's Eve" },
    { "春節", "Chinese New Year" },
    { "和平紀念日", "Peace Memorial Day" },
    { "兒童節", "Children's Day" },
    { "民族掃墓節", "Tomb-Sweeping Day" },
    { "勞動節", "Labor Day" },
    { "端午節", "Dragon Boat Festival" },
    { "中秋節", "Mid-Autumn Festival" },
    { "孔子誕辰紀念日", "Confucius' Birthday" },
    { "國慶日", "National Day" },
    { "臺灣光復暨金門古寧頭大捷紀念日", "Taiwan Restoration and Guningtou Victory Memorial Day" },
    { "行憲紀念日", "Constitution Day" },
    { "佛陀誕辰紀念日", "The Buddha's Birthday" },
} };

}  // namespace

std::string_view holiday_name(HolidayKind kind, HolidayLanguage language)
{
    Names const& entry = names[static_cast<std::size_t>(kind)];
    return language == HolidayLanguage::ZhTw ? entry.zh_tw : entry.en_us;
}

}  // namespace wrenfold
