#include "caldav/object_facts.h"

#include "caldav/ical_events.h"
#include "core/unicode_text.h"

#include <algorithm>

namespace wrenfold::caldav {
namespace {

using std::chrono::sys_seconds;

// Floating times and dates are read in the home zone, which an account may
// change: a day either side keeps the pre-filter a superset whatever zone
// reads them later.
constexpr std::chrono::seconds kMargin(2 * 86400);

std::string text_property(icalcomponent* event, icalproperty_kind kind)
{
    icalproperty* property = icalcomponent_get_first_property(event, kind);
    const char* text = property ? icalvalue_get_text(icalproperty_get_value(property)) : nullptr;
    return text ? text : "";
}

// Where a repeating event's last occurrence ends, when its rules say so: an
// RRULE with UNTIL; COUNT, RDATE and rules without end count as open.
std::optional<sys_seconds> series_end(icalcomponent* event, const Span& span, icaltimezone* home)
{
    if (icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY))
        return std::nullopt;
    std::optional<sys_seconds> end;
    auto length = instant_of(span.end, home) - instant_of(span.start, home);
    for (icalproperty* rule : properties_of(event, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
        if (icaltime_is_null_time(recurrence.until))
            return std::nullopt;
        sys_seconds until = instant_of(recurrence.until, home) + length;
        end = std::max(end.value_or(until), until);
    }
    return end;
}

}  // namespace

ObjectFacts object_facts(icalcomponent* calendar, icaltimezone* home)
{
    ObjectFacts facts { {}, sys_seconds {}, sys_seconds {}, {} };
    if (icalcomponent* master = master_event(calendar)) {
        const char* uid = icalcomponent_get_uid(master);
        facts.uid = uid ? uid : "";
    }
    std::optional<sys_seconds> first;
    std::optional<sys_seconds> last;
    bool open_ended = false;
    std::string words;
    for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        for (auto kind : { ICAL_SUMMARY_PROPERTY, ICAL_LOCATION_PROPERTY, ICAL_DESCRIPTION_PROPERTY })
            words += text_property(event, kind) + '\n';
        auto span = span_of(event, calendar, home);
        if (!span)
            continue;
        sys_seconds start = instant_of(span->start, home);
        sys_seconds end = instant_of(span->end, home);
        if (repeats(event)) {
            auto until = series_end(event, *span, home);
            open_ended = open_ended || !until;
            end = std::max(end, until.value_or(end));
        }
        first = std::min(first.value_or(start), start);
        last = std::max(last.value_or(end), end);
    }
    facts.search_text = fold_for_search(words);
    if (!first)
        return facts;
    facts.first = *first - kMargin;
    facts.last = open_ended ? std::nullopt : std::optional(*last + kMargin);
    return facts;
}

}  // namespace wrenfold::caldav
