#include "reminders/reminder_text.h"

#include <cstdlib>

namespace wrenfold {
namespace {

bool chinese(const std::string& language)
{
    return language == "zh-Hant";
}

std::string count_text(long long n, const char* one, const char* many)
{
    return n == 1 ? one : std::to_string(n) + many;
}

std::string ahead_text(long long minutes, const std::string& language)
{
    if (chinese(language)) {
        if (minutes < 60)
            return std::to_string(minutes) + " 分鐘後";
        return std::to_string(minutes / 60) + " 小時後";
    }
    if (minutes < 60)
        return "in " + count_text(minutes, "1 minute", " minutes");
    return "in " + count_text(minutes / 60, "1 hour", " hours");
}

std::string behind_text(long long minutes, const std::string& language)
{
    if (chinese(language))
        return "已開始 " + std::to_string(minutes) + " 分鐘";
    return "started " + count_text(minutes, "1 minute", " minutes") + " ago";
}

// "YYYY-MM-DD HH:MM" of the listed start.
std::string listed_time(const DueAlarm& alarm)
{
    std::string text = alarm.start.substr(0, 16);
    if (text.size() > 10)
        text[10] = ' ';
    return text;
}

std::string all_day_text(const DueAlarm& alarm, std::chrono::sys_seconds now, const std::string& language)
{
    // The start is the day's midnight in the home zone.
    long long hours = std::chrono::duration_cast<std::chrono::hours>(alarm.starts_at - now).count();
    if (hours <= 0 && hours > -24)
        return chinese(language) ? "今天" : "today";
    if (hours > 0 && hours <= 24)
        return chinese(language) ? "明天" : "tomorrow";
    return listed_time(alarm);
}

}  // namespace

std::string reminder_time_text(const DueAlarm& alarm, std::chrono::sys_seconds now, const std::string& language)
{
    if (alarm.all_day)
        return all_day_text(alarm, now, language);
    long long seconds = (alarm.starts_at - now).count();
    // Counted up to whole minutes ahead, so that a reminder 15 minutes
    // before, shown a second late, still says 15.
    long long minutes = seconds >= 0 ? (seconds + 59) / 60 : -seconds / 60;
    if (std::llabs(seconds) < 60)
        return chinese(language) ? "現在" : "now";
    if (seconds > 0 && minutes < 24 * 60)
        return ahead_text(minutes, language);
    if (seconds < 0 && minutes < 24 * 60)
        return behind_text(minutes, language);
    return listed_time(alarm);
}

ReminderMessage reminder_message(const std::vector<DueAlarm>& alarms, std::chrono::sys_seconds now,
                                 const std::string& language)
{
    ReminderMessage message;
    if (alarms.size() == 1) {
        const DueAlarm& alarm = alarms.front();
        message.title = alarm.title;
        message.body = reminder_time_text(alarm, now, language);
        if (!alarm.location.empty())
            message.body += "\n" + alarm.location;
        return message;
    }
    message.title =
        chinese(language) ? std::to_string(alarms.size()) + " 個提醒" : std::to_string(alarms.size()) + " reminders";
    for (const DueAlarm& alarm : alarms) {
        if (!message.body.empty())
            message.body += "\n";
        message.body += alarm.title + " · " + reminder_time_text(alarm, now, language);
    }
    return message;
}

std::string snooze_label(const std::string& language)
{
    return chinese(language) ? "稍後提醒" : "Snooze";
}

std::string open_label(const std::string& language)
{
    return chinese(language) ? "開啟" : "Open";
}

}  // namespace wrenfold
