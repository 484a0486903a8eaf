// Which reminders are due when, what is remembered across a restart, and
// what a reminder says.
#include "caldav/ical_events.h"
#include "core/private_folder.h"
#include "reminders/fired_state.h"
#include "reminders/reminder_text.h"
#include "support/private_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace wrenfold {
namespace {

using namespace std::chrono;
using testing::TempDir;

const sys_seconds kNow = sys_days { year { 2026 } / 12 / 10 } + hours(2);  // 10:00 in Taipei

DueAlarm alarm_at(const std::string& key, sys_seconds due)
{
    DueAlarm alarm;
    alarm.key = key;
    alarm.due = due;
    alarm.title = key;
    alarm.starts_at = due + minutes(15);
    return alarm;
}

std::vector<std::string> keys(const std::vector<DueAlarm>& alarms)
{
    std::vector<std::string> out;
    for (const DueAlarm& alarm : alarms)
        out.push_back(alarm.key);
    return out;
}

TEST(ReminderPlan, MissedWithinTwelveHoursOnceSnoozedBackAndRememberedAcrossARestart)
{
    TempDir dir;
    const auto file = dir.path() / "reminders.json";
    const std::vector<DueAlarm> schedule = {
        alarm_at("too-late", kNow - hours(13)),
        alarm_at("missed", kNow - hours(11)),
        alarm_at("fired", kNow - minutes(5)),
        alarm_at("snoozed", kNow - minutes(20)),
        alarm_at("due", kNow),
        alarm_at("later", kNow + minutes(30)),
    };
    {
        FiredState state(file);
        state.mark_fired("fired", kNow - minutes(5));
        state.snooze("snoozed", kNow + minutes(5));
        state.save();
    }
    FiredState restarted(file);
    DuePlan plan = plan_due(schedule, restarted, kNow, hours(12));
    EXPECT_EQ(keys(plan.now), (std::vector<std::string> { "missed", "due" }));
    EXPECT_EQ(plan.next, kNow + minutes(5));  // the snoozed one, before "later"
    for (const DueAlarm& alarm : plan.now)
        restarted.mark_fired(alarm.key, kNow);
    plan = plan_due(schedule, restarted, kNow + minutes(6), hours(12));
    EXPECT_EQ(keys(plan.now), (std::vector<std::string> { "snoozed" }));
    EXPECT_EQ(plan.next, kNow + minutes(30));
    // Old entries go without touching what may still come due.
    restarted.forget_before(kNow - minutes(1));
    EXPECT_TRUE(restarted.settled("due"));
    EXPECT_FALSE(restarted.settled("fired"));
}

TEST(ReminderPlan, AnUnreadableStateFileIsKeptAsideAndStartsEmpty)
{
    // In a private folder, as the data folder is: on Windows the file takes
    // its access list from there.
    TempDir temp;
    const auto folder = temp.path() / "data";
    wrenfold::make_private_directories(folder);
    const auto file = folder / "reminders.json";
    std::ofstream(file) << "{\"alarms\": {\"k\": ";
    FiredState state(file);
    EXPECT_FALSE(state.settled("k"));
    EXPECT_TRUE(std::filesystem::exists(folder / "reminders.json.unreadable"));
    state.mark_fired("k", kNow);
    state.save();
    wrenfold::testing::expect_private_to_user(file);
    EXPECT_TRUE(FiredState(file).settled("k"));
}

TEST(ReminderText, TimeLeftInBothLanguagesAndFoldedReminders)
{
    DueAlarm meeting = alarm_at("m", kNow);
    meeting.title = "Standup";
    meeting.location = "Room 5";
    meeting.start = "2026-12-10T10:15:00";
    DueAlarm trip = alarm_at("t", kNow);
    trip.title = "Trip";
    trip.all_day = true;
    trip.start = "2026-12-11";
    trip.starts_at = sys_days { year { 2026 } / 12 / 10 } + hours(16);  // midnight in Taipei
    struct Row {
        sys_seconds now;
        const DueAlarm& alarm;
        std::string en, zh;
    } rows[] = {
        { kNow, meeting, "in 15 minutes", "15 分鐘後" },
        { kNow + minutes(14), meeting, "in 1 minute", "1 分鐘後" },
        { kNow + minutes(15) + seconds(20), meeting, "now", "現在" },
        { kNow + minutes(75), meeting, "started 60 minutes ago", "已開始 60 分鐘" },
        { kNow - hours(30), meeting, "2026-12-10 10:15", "2026-12-10 10:15" },
        { kNow, trip, "tomorrow", "明天" },
        { kNow + hours(15), trip, "today", "今天" },
    };
    for (const Row& row : rows) {
        EXPECT_EQ(reminder_time_text(row.alarm, row.now, "en"), row.en);
        EXPECT_EQ(reminder_time_text(row.alarm, row.now, "zh-Hant"), row.zh);
    }
    ReminderMessage one = reminder_message({ meeting }, kNow, "en");
    EXPECT_EQ(one.title, "Standup");
    EXPECT_EQ(one.body, "in 15 minutes\nRoom 5");
    ReminderMessage both = reminder_message({ meeting, trip }, kNow, "zh-Hant");
    EXPECT_EQ(both.title, "2 個提醒");
    EXPECT_EQ(both.body, "Standup · 15 分鐘後\nTrip · 明天");
}

}  // namespace
}  // namespace wrenfold
