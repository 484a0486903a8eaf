#include "reminders/schedule.h"

#include <algorithm>

namespace wrenfold {

std::vector<DueAlarm> alarms_between(const std::vector<ListedEvents>& listed, std::chrono::sys_seconds from,
                                     std::chrono::sys_seconds to)
{
    std::vector<DueAlarm> out;
    for (const ListedEvents& calendar : listed) {
        for (const caldav::EventRecord& event : calendar.events) {
            for (const caldav::AlarmRecord& alarm : event.alarms) {
                for (std::size_t n = 0; n < alarm.due.size(); ++n) {
                    if (alarm.due[n] < from || alarm.due[n] >= to)
                        continue;
                    DueAlarm due;
                    due.key = calendar.calendar_url + "\n" + event.uid + "\n" + event.recurrence_id + "\n" +
                        alarm.trigger + "\n" + std::to_string(n);
                    due.due = alarm.due[n];
                    due.title = event.summary;
                    due.location = event.location;
                    due.calendar_url = calendar.calendar_url;
                    due.event_url = event.url;
                    due.recurrence_id = event.recurrence_id;
                    due.start = event.start;
                    due.starts_at = alarm.event_start;
                    due.all_day = event.all_day;
                    due.audio = alarm.action == "AUDIO";
                    out.push_back(std::move(due));
                }
            }
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const DueAlarm& a, const DueAlarm& b) { return a.due < b.due; });
    // Two alarms of one occurrence with the same trigger are one reminder.
    out.erase(std::unique(out.begin(), out.end(), [](const DueAlarm& a, const DueAlarm& b) { return a.key == b.key; }),
              out.end());
    return out;
}

}  // namespace wrenfold
