// Prints the month starts of the Chinese lunisolar calendar as ICU computes them, one line per
// month: "<lunar year> <month> <leap 0|1> <YYYY-MM-DD of day 1> <length>".
// Used once to produce the table in src/calendar/lunar_table.cpp; not part of the build.
//   g++ -std=c++20 tools/gen_lunar_table.cpp $(pkg-config --cflags --libs icu-i18n) -o /tmp/gen
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <chrono>
#include <cstdio>
#include <memory>

int main()
{
    using namespace std::chrono;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(
        icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), icu::Locale("en_US@calendar=chinese"), status));
    if (U_FAILURE(status))
        return 1;
    sys_days const first = sys_days{year{1997} / December / 1};
    sys_days const last = sys_days{year{2101} / March / 1};
    int prev_month = -1, prev_leap = -1, prev_year = 0, length = 0;
    sys_days start{};
    for (sys_days d = first; d <= last; d += days{1}) {
        cal->setTime(static_cast<UDate>(d.time_since_epoch().count()) * 86400000.0 + 43200000.0, status);
        int const ext_year = cal->get(UCAL_EXTENDED_YEAR, status);
        int const month = cal->get(UCAL_MONTH, status) + 1;
        int const leap = cal->get(UCAL_IS_LEAP_MONTH, status);
        int const day = cal->get(UCAL_DATE, status);
        if (U_FAILURE(status))
            return 1;
        if (day == 1) {
            if (prev_month > 0) {
                year_month_day const ymd{start};
                std::printf("%d %d %d %04d-%02u-%02u %d\n", prev_year, prev_month, prev_leap, int(ymd.year()),
                    unsigned(ymd.month()), unsigned(ymd.day()), length);
            }
            prev_month = month;
            prev_leap = leap;
            prev_year = ext_year - 2637;
            start = d;
            length = 0;
        }
        ++length;
    }
}
