// Alarms read from events in the shapes other programs write them.
#include "caldav/alarms.h"
#include "ical_samples.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

using namespace std::chrono;

std::string wall(sys_seconds instant, icaltimezone* home)
{
    return format_in_home(wall_in(instant, home), home);
}

// "start: ACTION trigger [due ...]" per alarm of every occurrence, in order.
std::vector<std::string> alarms_listed(const std::string& ics, const std::string& tzid, year_month_day from,
                                       year_month_day to)
{
    icaltimezone* home = home_zone_for(tzid);
    IcalPtr calendar = parse_calendar(ics);
    std::vector<EventRecord> listed;
    expand_resource(calendar.get(), { "u", "e" }, { home_midnight(from, home), home_midnight(to, home) }, home, listed);
    std::vector<std::string> out;
    for (const EventRecord& event : listed) {
        for (const AlarmRecord& alarm : event.alarms) {
            std::string line = event.start + ": " + alarm.action;
            if (alarm.seconds_before)
                line += " " + std::to_string(*alarm.seconds_before / 60) + (alarm.related_end ? "m before end" : "m");
            if (alarm.at)
                line += " at " + *alarm.at;
            for (sys_seconds due : alarm.due)
                line += " | " + wall(due, home);
            out.push_back(line + (alarm.own ? " own" : ""));
        }
    }
    return out;
}

std::string event(const std::string& times, const std::string& alarms, const std::string& extra = "")
{
    return "BEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20260101T000000Z\r\n" + times + "SUMMARY:Meet\r\n" + extra + alarms +
        "END:VEVENT\r\n";
}

std::string valarm(const std::string& body)
{
    return "BEGIN:VALARM\r\n" + body + "END:VALARM\r\n";
}

const std::string kTimed = "DTSTART;TZID=Asia/Taipei:20261210T100000\r\nDTEND;TZID=Asia/Taipei:20261210T113000\r\n";

struct AlarmCase {
    const char* shape;
    std::string tzid;
    std::string ics;
    std::vector<std::string> expected;
};

TEST(Alarms, TriggersAsOtherProgramsWriteThem)
{
    const year_month_day from = year { 2026 } / 3 / 1, to = year { 2026 } / 12 / 31;
    const std::vector<AlarmCase> cases = {
        { "Apple: acknowledged, a default alarm, and the ACTION:NONE placeholder",
          "Asia/Taipei",
          wrap(event(kTimed,
                     valarm("X-WR-ALARMUID:1\r\nUID:1\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\n"
                            "ACKNOWLEDGED:20261210T015000Z\r\n") +
                         valarm("TRIGGER:-PT1H\r\nACTION:AUDIO\r\nATTACH;VALUE=URI:Chord\r\n"
                                "X-APPLE-DEFAULT-ALARM:TRUE\r\n") +
                         valarm("TRIGGER;VALUE=DATE-TIME:19760401T005545Z\r\nACTION:NONE\r\n"))),
          { "2026-12-10T10:00:00: DISPLAY 15m", "2026-12-10T10:00:00: AUDIO 60m | 2026-12-10T09:00:00",
            "2026-12-10T10:00:00: NONE at 1976-04-01T08:55:45" } },
        { "Apple all-day: the day before at 09:00 and on the day at 09:00",
          "Asia/Taipei",
          wrap(event("DTSTART;VALUE=DATE:20261210\r\nDTEND;VALUE=DATE:20261211\r\n",
                     valarm("TRIGGER:-PT15H\r\nACTION:DISPLAY\r\nX-APPLE-DEFAULT-ALARM:TRUE\r\n") +
                         valarm("TRIGGER:PT9H\r\nACTION:DISPLAY\r\n"))),
          { "2026-12-10: DISPLAY 900m | 2026-12-09T09:00:00", "2026-12-10: DISPLAY -540m | 2026-12-10T09:00:00" } },
        { "Thunderbird: X-MOZ-LASTACK on the event, RELATED=END, REPEAT",
          "Asia/Taipei",
          wrap(event(kTimed,
                     valarm("ACTION:DISPLAY\r\nTRIGGER;VALUE=DURATION:-PT5M\r\nDESCRIPTION:Mozilla Alarm\r\n") +
                         valarm("ACTION:DISPLAY\r\nTRIGGER;RELATED=END:-PT10M\r\nREPEAT:2\r\nDURATION:PT5M\r\n"),
                     "X-MOZ-LASTACK:20261210T015600Z\r\n")),
          { "2026-12-10T10:00:00: DISPLAY 5m",
            "2026-12-10T10:00:00: DISPLAY 10m before end | 2026-12-10T11:20:00 | 2026-12-10T11:25:00 | "
            "2026-12-10T11:30:00" } },
        { "Outlook: RELATED=START, an absolute trigger, and EMAIL kept but not delivered",
          "Asia/Taipei",
          wrap(event(kTimed,
                     valarm("ACTION:DISPLAY\r\nDESCRIPTION:REMINDER\r\nTRIGGER;RELATED=START:-PT15M\r\n") +
                         valarm("ACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20261209T230000Z\r\n") +
                         valarm("ACTION:EMAIL\r\nTRIGGER:-P1D\r\nSUMMARY:s\r\nDESCRIPTION:d\r\n"
                                "ATTENDEE:mailto:a@example.com\r\n"))),
          { "2026-12-10T10:00:00: DISPLAY 15m | 2026-12-10T09:45:00",
            "2026-12-10T10:00:00: DISPLAY at 2026-12-10T07:00:00 | 2026-12-10T07:00:00",
            "2026-12-10T10:00:00: EMAIL 1440m" } },
        { "DST day: a day before keeps the time of day, 24 hours do not; all-day 09:00 stays 09:00",
          "America/New_York",
          wrap(event("DTSTART;TZID=America/New_York:20260308T100000\r\nDURATION:PT1H\r\n",
                     valarm("ACTION:DISPLAY\r\nTRIGGER:-P1D\r\n") + valarm("ACTION:DISPLAY\r\nTRIGGER:-PT24H\r\n")) +
               event("DTSTART;VALUE=DATE:20261101\r\n", valarm("ACTION:DISPLAY\r\nTRIGGER:PT9H\r\n"))),
          { "2026-03-08T10:00:00: DISPLAY 1440m | 2026-03-07T10:00:00",
            "2026-03-08T10:00:00: DISPLAY 1440m | 2026-03-07T09:00:00",
            "2026-11-01: DISPLAY -540m | 2026-11-01T09:00:00" } },
        { "Series: the master's alarm on each occurrence, an override's own instead",
          "Asia/Taipei",
          wrap("BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;TZID=Asia/Taipei:20261207T090000\r\n"
               "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=2\r\nSUMMARY:Daily\r\n" +
               valarm("ACTION:DISPLAY\r\nTRIGGER:-PT10M\r\n") + "END:VEVENT\r\n" +
               "BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20260101T000000Z\r\nRECURRENCE-ID;TZID=Asia/Taipei:20261208T090000\r\n"
               "DTSTART;TZID=Asia/Taipei:20261208T140000\r\nDURATION:PT1H\r\nSUMMARY:Moved\r\n" +
               valarm("ACTION:AUDIO\r\nTRIGGER:-PT30M\r\nX-WRENFOLD-ALARM:1\r\n") + "END:VEVENT\r\n"),
          { "2026-12-07T09:00:00: DISPLAY 10m | 2026-12-07T08:50:00",
            "2026-12-08T14:00:00: AUDIO 30m | 2026-12-08T13:30:00 own" } },
    };
    for (const AlarmCase& c : cases)
        EXPECT_EQ(alarms_listed(c.ics, c.tzid, from, to), c.expected) << c.shape;
}

TEST(Alarms, ListedForThePageInMinutesOrAsATime)
{
    IcalPtr calendar = parse_calendar(
        wrap(event(kTimed,
                   valarm("ACTION:DISPLAY\r\nTRIGGER;RELATED=END:PT90S\r\nREPEAT:1\r\nDURATION:PT5M\r\n") +
                       valarm("ACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20261209T230000Z\r\nX-WRENFOLD-ALARM:1\r\n") +
                       valarm("ACTION:DISPLAY\r\nTRIGGER:bogus\r\n") + valarm("ACTION:DISPLAY\r\n"))));
    std::vector<EventRecord> listed;
    expand_resource(calendar.get(), { "u", "e" }, days(year { 2026 } / 12 / 1, year { 2026 } / 12 / 31), taipei(),
                    listed);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].to_json()["alarms"],
              Json::parse(R"([{"action":"DISPLAY","minutes":-1.5,"related":"end","repeat":1,"repeat_minutes":5,)"
                          R"("own":false},{"action":"DISPLAY","at":"2026-12-10T07:00:00","own":true}])"));
}

TEST(Alarms, OnlyObjectsThatCannotHoldOneAreLeftUnparsed)
{
    const std::string trigger = "ACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nDESCRIPTION:x\r\n";
    const std::string lower = event(kTimed, "begin:vAlarm\r\n" + trigger + "end:vAlarm\r\n");
    EXPECT_TRUE(may_have_alarms(event(kTimed, valarm(trigger))));
    EXPECT_TRUE(may_have_alarms(lower)) << "names are matched in any case";
    EXPECT_FALSE(may_have_alarms(event(kTimed, "", "DESCRIPTION:an alarm clock (ALARM)\r\n")));
}

}  // namespace
}  // namespace wrenfold::caldav
