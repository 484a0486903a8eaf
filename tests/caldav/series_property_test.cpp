// Random repeating events (zones, rules, exclusions, overrides) edited the
// way the page and the assistant edit them: a title change leaves every
// occurrence where it was; moving the whole series from one occurrence
// moves every occurrence by exactly that much of the series' wall clock.
#include "caldav/engine.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace wrenfold::caldav {
namespace {

using namespace std::chrono;

const char* const kZones[] = { "Europe/Berlin", "America/Los_Angeles", "Asia/Taipei", "Australia/Sydney",
                               "America/Sao_Paulo" };
const char* const kHomes[] = { "Asia/Taipei", "Europe/London", "America/New_York" };
const char* const kDays[] = { "SU", "MO", "TU", "WE", "TH", "FR", "SA" };

struct Generated {
    std::string ics;
    std::string zone;  // empty for an all-day series
};

std::string two(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string stamp(year_month_day day, int hour, int minute)
{
    return std::to_string(static_cast<int>(day.year())) + two(static_cast<int>(static_cast<unsigned>(day.month()))) +
        two(static_cast<int>(static_cast<unsigned>(day.day()))) +
        (hour < 0 ? "" : "T" + two(hour) + two(minute) + "00");
}

class SeriesMaker {
public:
    explicit SeriesMaker(unsigned seed)
        : m_random(seed)
    {
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    std::string rule(year_month_day first)
    {
        std::string tail = pick(0, 1) ? ";COUNT=" + std::to_string(pick(3, 25))
                                      : ";UNTIL=" + stamp(sys_days { first } + days { pick(20, 300) }, -1, 0);
        switch (pick(0, 4)) {
        case 0:
            return "FREQ=DAILY;INTERVAL=" + std::to_string(pick(1, 4)) + tail;
        case 1: {
            std::string days_of_week;
            weekday start_day { sys_days { first } };
            days_of_week = kDays[start_day.c_encoding()];
            if (pick(0, 1))
                days_of_week += std::string(",") + kDays[(start_day.c_encoding() + pick(1, 6)) % 7];
            return "FREQ=WEEKLY;BYDAY=" + days_of_week + tail;
        }
        case 2:
            return "FREQ=MONTHLY" + tail;
        case 3:
            return "FREQ=MONTHLY;BYMONTHDAY=" + std::to_string(static_cast<unsigned>(first.day())) + tail;
        default:
            return "FREQ=YEARLY;COUNT=" + std::to_string(pick(2, 3));
        }
    }

    Generated series()
    {
        bool all_day = pick(0, 4) == 0;
        std::string zone = all_day ? "" : kZones[pick(0, 4)];
        year_month_day first = sys_days { year { 2025 } / 1 / 1 } + days { pick(0, 360) };
        if (static_cast<unsigned>(first.day()) > 26)
            first = first.year() / first.month() / 20;
        int hour = pick(7, 20), minute = pick(0, 3) * 15;  // clear of the hours that DST skips
        auto value = [&](year_month_day day, int h, int m) {
            return all_day ? ";VALUE=DATE:" + stamp(day, -1, 0) : ";TZID=" + zone + ":" + stamp(day, h, m);
        };
        std::string body = "BEGIN:VEVENT\r\nUID:p\r\nDTSTAMP:20240101T000000Z\r\nDTSTART" + value(first, hour, minute) +
            "\r\nDTEND" +
            (all_day ? value(sys_days { first } + days { pick(1, 2) }, 0, 0) : value(first, hour + 1, minute)) +
            "\r\nRRULE:" + rule(first) + "\r\nSUMMARY:Series\r\nEND:VEVENT\r\n";
        Generated out { "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n", zone };
        // Exclusions and overrides of occurrences that the rule makes.
        Json listed = listing(out.ics, home_zone_for("UTC"));
        std::string extra, exdates;
        for (const auto& record : listed) {
            int roll = pick(0, 9);
            std::string start = record["start"];
            year_month_day day =
                year { std::stoi(start.substr(0, 4)) } / std::stoi(start.substr(5, 2)) / std::stoi(start.substr(8, 2));
            if (!all_day) {
                // The listing was in UTC; the occurrence's own wall clock is needed here.
                icaltimetype utc = parse_input_time(start, icaltimezone_get_utc_timezone(), "start");
                icaltimetype wall = wall_in(instant_of(utc, icaltimezone_get_utc_timezone()), home_zone_for(zone));
                day = year { wall.year } / wall.month / wall.day;
            }
            if (roll == 0)
                exdates += "EXDATE" + value(day, hour, minute) + "\r\n";
            if (roll == 1)
                extra += "BEGIN:VEVENT\r\nUID:p\r\nDTSTAMP:20240101T000000Z\r\nRECURRENCE-ID" +
                    value(day, hour, minute) + "\r\nDTSTART" + value(day, all_day ? 0 : hour + 2, minute) +
                    "\r\nDTEND" +
                    (all_day ? value(sys_days { day } + days { 1 }, 0, 0) : value(day, hour + 3, minute)) +
                    "\r\nSUMMARY:Moved\r\nEND:VEVENT\r\n";
        }
        body.insert(body.find("SUMMARY:Series"), exdates);
        out.ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + extra + "END:VCALENDAR\r\n";
        return out;
    }

    static Json listing(const std::string& ics, icaltimezone* home)
    {
        IcalPtr calendar = parse_calendar(ics);
        std::vector<EventRecord> typed;
        expand_resource(calendar.get(), { "u", "e" },
                        { home_midnight(year { 2024 } / 6 / 1, home), home_midnight(year { 2028 } / 1 / 1, home) },
                        home, typed);
        Json out = to_json(typed);
        return out;
    }

private:
    std::mt19937 m_random;
};

// Each occurrence's start and end, as the wall clock of `zone` shows them.
std::vector<std::string> walls(const Json& listed, icaltimezone* home, icaltimezone* zone, long long shift = 0)
{
    std::vector<std::string> out;
    for (const auto& record : listed) {
        std::string line;
        for (const char* key : { "start", "end" }) {
            icaltimetype time = parse_input_time(record[key], home, key);
            if (!time.is_date)
                time = wall_in(instant_of(time, home), zone);
            icaltime_adjust(&time, static_cast<int>(shift / 86400), 0, 0, static_cast<int>(shift % 86400));
            line += std::string(icaltime_as_ical_string(time)) + " ";
        }
        out.push_back(line + record["summary"].get<std::string>());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string edit(const std::string& ics, const EventFields& fields, const EditContext& context)
{
    IcalPtr calendar = parse_calendar(ics);
    apply_fields(calendar.get(), fields, context);
    return serialize(calendar.get());
}

TEST(SeriesProperties, TitleEditsLeaveEveryOccurrenceAndShiftsMoveThemAll)
{
    int shifted = 0, refused = 0;
    for (unsigned seed = 1; seed <= 150; ++seed) {
        SeriesMaker maker(seed);
        Generated generated = maker.series();
        std::string home_tzid = kHomes[seed % 3];
        icaltimezone* home = home_zone_for(home_tzid);
        EditContext context { home, home_tzid, sys_days { year { 2026 } / 1 / 1 } };
        icaltimezone* zone = generated.zone.empty() ? home : home_zone_for(generated.zone);
        Json before = SeriesMaker::listing(generated.ics, home);
        ASSERT_FALSE(before.empty()) << generated.ics;
        const Json& target = before[static_cast<size_t>(maker.pick(0, static_cast<int>(before.size()) - 1))];
        SCOPED_TRACE(testing::Message() << "seed " << seed << "\n" << generated.ics);

        // A title edit, with the times as listed, on the whole event, one occurrence or the series.
        for (int way = 0; way < 3; ++way) {
            EventFields fields;
            fields.summary = "Series";
            fields.start = way == 0 ? SeriesMaker::listing(generated.ics, home)[0]["start"] : target["start"];
            fields.end = way == 0 ? SeriesMaker::listing(generated.ics, home)[0]["end"] : target["end"];
            if (way == 0) {
                IcalPtr calendar = parse_calendar(generated.ics);
                Json master = master_record(calendar.get(), { "u", "e" }, home).to_json();
                fields.start = master["start"].get<std::string>();
                fields.end = master["end"].get<std::string>();
            } else {
                fields.recurrence_id = target["recurrence_id"].get<std::string>();
                fields.whole_series = way == 2;
                fields.summary = target["summary"].get<std::string>();
            }
            Json after = SeriesMaker::listing(edit(generated.ics, fields, context), home);
            EXPECT_EQ(walls(after, home, zone), walls(before, home, zone)) << "way " << way;
        }

        // The whole series moved from one occurrence.
        const long long choices[] = { 3600, -3600, 86400, -86400, 2 * 86400 + 1800, 7 * 86400, -3 * 3600 };
        long long delta = choices[maker.pick(0, 6)];
        if (generated.zone.empty())
            delta = delta / 86400 * 86400;
        if (delta == 0)
            delta = 86400;
        icaltimetype start = parse_input_time(target["start"], home, "start");
        icaltimetype end = parse_input_time(target["end"], home, "end");
        if (!start.is_date) {
            start = wall_in(instant_of(start, home), zone);
            end = wall_in(instant_of(end, home), zone);
        }
        icaltime_adjust(&start, static_cast<int>(delta / 86400), 0, 0, static_cast<int>(delta % 86400));
        icaltime_adjust(&end, static_cast<int>(delta / 86400), 0, 0, static_cast<int>(delta % 86400));
        EventFields move;
        move.recurrence_id = target["recurrence_id"].get<std::string>();
        move.whole_series = true;
        move.start = format_in_home(start, home);
        move.end = format_in_home(end, home);
        std::string moved;
        try {
            moved = edit(generated.ics, move, context);
        } catch (const CalDavError& error) {
            // Only rules that cannot say the same days after the move are refused.
            EXPECT_NE(std::string(error.what()).find("cannot be moved"), std::string::npos) << error.what();
            ++refused;
            continue;
        }
        ++shifted;
        EXPECT_EQ(walls(SeriesMaker::listing(moved, home), home, zone), walls(before, home, zone, delta))
            << "moved by " << delta << "\n"
            << moved;
    }
    EXPECT_GT(shifted, 100);  // the refusals stay the exception
    EXPECT_LT(refused, 50);
}

}  // namespace
}  // namespace wrenfold::caldav
