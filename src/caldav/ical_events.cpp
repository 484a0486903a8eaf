#include "caldav/ical_events.h"

#include "caldav/alarms.h"
#include "caldav/engine.h"

#include <map>
#include <optional>
#include <set>

namespace wrenfold::caldav {
namespace {

using std::chrono::seconds;
using std::chrono::sys_seconds;

// The iterations one series may take to reach the end of a range: a rule
// that repeats within a day gets a small share, any other a large one for
// long series walked from their start.
constexpr int kSeriesBudget = 100000;
constexpr int kSubDailySeriesBudget = 10000;

struct CharFree {
    void operator()(char* text) const { icalmemory_free_buffer(text); }
};

std::string text_of(icalcomponent* event, icalproperty_kind kind)
{
    icalproperty* property = icalcomponent_get_first_property(event, kind);
    if (!property)
        return {};
    icalvalue* value = icalproperty_get_value(property);
    if (!value)
        return {};
    if (icalvalue_isa(value) == ICAL_TEXT_VALUE) {
        const char* text = icalvalue_get_text(value);
        return text ? text : "";
    }
    std::unique_ptr<char, CharFree> text(icalvalue_as_ical_string_r(value));
    return text ? text.get() : "";
}

// Identifies an occurrence: instants for timed series, dates for all-day ones.
long long occurrence_key(icaltimetype time, icaltimezone* home)
{
    if (time.is_date)
        return (static_cast<long long>(time.year) * 13 + time.month) * 32 + time.day;
    return instant_of(time, home).time_since_epoch().count();
}

// An override with RANGE=THISANDFUTURE: the occurrences after it move by
// the same shift, take its length and its texts.
struct FromHereOn {
    icalcomponent* event;
    long long shift;   // seconds for timed series, days for all-day ones
    long long length;  // the same units
};

struct Series {
    icalcomponent* calendar;
    icalcomponent* master;
    Span span;
    std::string rrule;
    std::set<long long> excluded;
    std::set<long long> excluded_dates;  // DATE-valued EXDATEs of a timed series
    std::map<long long, icalcomponent*> overrides;
    std::map<long long, FromHereOn> from_here_on;
};

EventRecord record(icalcomponent* event, const Span& span, const Series* series, const ResourceRef& ref,
                   const std::string& recurrence_id, icaltimezone* home)
{
    EventRecord out;
    out.uid = text_of(event, ICAL_UID_PROPERTY);
    out.summary = text_of(event, ICAL_SUMMARY_PROPERTY);
    out.start = format_in_home(span.start, home);
    out.end = format_in_home(span.end, home);
    out.all_day = span.start.is_date == 1;
    out.tzid = own_zone_name(span.start, home);
    out.location = text_of(event, ICAL_LOCATION_PROPERTY);
    out.description = text_of(event, ICAL_DESCRIPTION_PROPERTY);
    out.rrule = series ? series->rrule : text_of(event, ICAL_RRULE_PROPERTY);
    out.url = ref.url;
    out.etag = ref.etag;
    out.recurring = series != nullptr;
    out.recurrence_id = recurrence_id;
    out.alarms = alarms_of(event, span, home);
    return out;
}

void emit_if_overlapping(icalcomponent* event, const Span& span, const Series* series, const ResourceRef& ref,
                         const std::string& recurrence_id, const TimeRange& range, icaltimezone* home,
                         std::vector<EventRecord>& out)
{
    if (overlaps(instant_of(span.start, home), instant_of(span.end, home), range))
        out.push_back(record(event, span, series, ref, recurrence_id, home));
}

bool is_excluded(const Series& series, icaltimetype instance, icaltimezone* home)
{
    if (series.excluded.count(occurrence_key(instance, home)))
        return true;
    if (instance.is_date || series.excluded_dates.empty())
        return false;
    icaltimetype local = instance;
    return series.excluded_dates.count((static_cast<long long>(local.year) * 13 + local.month) * 32 + local.day) != 0;
}

icaltimezone* zone_of(icaltimetype time, icaltimezone* home)
{
    return time.zone ? const_cast<icaltimezone*>(time.zone) : home;
}

// `time` moved by `amount`: seconds of elapsed time, or days for a date.
icaltimetype shifted(icaltimetype time, long long amount, icaltimezone* home)
{
    if (time.is_date) {
        icaltime_adjust(&time, static_cast<int>(amount), 0, 0, 0);
        return time;
    }
    icaltimetype moved = wall_in(instant_of(time, home) + seconds(amount), zone_of(time, home));
    moved.zone = time.zone;
    return moved;
}

// Seconds from `from` to `to`, or days between two dates.
long long distance(icaltimetype from, icaltimetype to, icaltimezone* home)
{
    if (from.is_date && to.is_date)
        return (wall_seconds(to) - wall_seconds(from)) / 86400;
    return (instant_of(to, home) - instant_of(from, home)).count();
}

// The span of a generated occurrence: its own period for an RDATE that has
// one, else the series' length, both moved by an earlier THISANDFUTURE
// override; and the component whose texts it shows.
std::pair<Span, icalcomponent*> instance_span(const Series& series, icaltimetype instance,
                                              const std::optional<Span>& period, long long key, icaltimezone* home)
{
    Span span = period ? *period : occurrence_span(series.span, instance, home);
    auto later = series.from_here_on.upper_bound(key);
    if (later == series.from_here_on.begin())
        return { span, series.master };
    const FromHereOn& change = std::prev(later)->second;
    span.start = shifted(instance, change.shift, home);
    span.end = shifted(span.start, change.length, home);
    return { span, change.event };
}

void emit_instance(const Series& series, icaltimetype instance, const std::optional<Span>& period,
                   const ResourceRef& ref, const TimeRange& range, icaltimezone* home, std::vector<EventRecord>& out)
{
    if (is_excluded(series, instance, home))
        return;
    long long key = occurrence_key(instance, home);
    if (series.overrides.count(key))
        return;  // emitted on its own
    auto [span, texts] = instance_span(series, instance, period, key, home);
    emit_if_overlapping(texts, span, &series, ref, format_in_home(instance, home), range, home, out);
}

bool repeats_within_a_day(const icalrecurrencetype& rule)
{
    return rule.freq == ICAL_HOURLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
        rule.freq == ICAL_SECONDLY_RECURRENCE;
}

// The last time the interval of a sub-daily rule reaches at or before `from`,
// counted from DTSTART.
icaltimetype aligned_to_interval(const icalrecurrencetype& rule, icaltimetype dtstart, icaltimetype from)
{
    long long unit = rule.freq == ICAL_HOURLY_RECURRENCE ? 3600
        : rule.freq == ICAL_MINUTELY_RECURRENCE          ? 60
        : rule.freq == ICAL_SECONDLY_RECURRENCE          ? 1
                                                         : 0;
    if (unit == 0)
        return from;
    long long step = unit * (rule.interval > 0 ? rule.interval : 1);
    long long elapsed = wall_seconds(from) - wall_seconds(dtstart);
    if (elapsed <= 0)
        return dtstart;
    icaltimetype aligned = dtstart;
    long long offset = elapsed / step * step;
    icaltime_adjust(&aligned, static_cast<int>(offset / 86400), 0, 0, static_cast<int>(offset % 86400));
    return aligned;
}

void expand_rule(const Series& series, const icalrecurrencetype& rule, int& budget, const ResourceRef& ref,
                 const TimeRange& range, icaltimezone* home, std::vector<EventRecord>& out)
{
    if (rule.freq == ICAL_NO_RECURRENCE)
        return;
    icaltimetype dtstart = series.span.start;
    std::unique_ptr<icalrecur_iterator, decltype(&icalrecur_iterator_free)> iterator(
        icalrecur_iterator_new(rule, dtstart), &icalrecur_iterator_free);
    if (!iterator)
        return;
    const auto length = instant_of(series.span.end, home) - instant_of(series.span.start, home);
    // Skip ahead to shortly before the range instead of walking years of a
    // long series; a counted rule has to be walked from its start.
    const sys_seconds skip_to = range.start - length - seconds(2 * 86400);
    if (rule.count == 0 && skip_to > instant_of(dtstart, home)) {
        icaltimetype from = icaltime_from_timet_with_zone(skip_to.time_since_epoch().count(), dtstart.is_date,
                                                          dtstart.is_date ? home : dtstart.zone);
        from.zone = dtstart.zone;
        from.is_date = dtstart.is_date;
        from = aligned_to_interval(rule, dtstart, from);
        if (repeats_within_a_day(rule)) {
            // Restarted with set_start, the library leaves the interval's grid
            // (hours off in a zone like Asia/Kathmandu): a series that starts
            // on the grid point instead has the same later occurrences.
            if (!icaltime_is_null_time(rule.until) && icaltime_compare(from, rule.until) > 0)
                return;
            iterator.reset(icalrecur_iterator_new(rule, from));
            if (!iterator)
                return;
        } else if (!icalrecur_iterator_set_start(iterator.get(), from)) {
            return;  // the rule ended before the range
        }
    }
    // The library carries a time that a DST gap pushed forward into the
    // following days; a rule of whole days keeps the start's time of day.
    const bool keeps_time_of_day = !dtstart.is_date && !repeats_within_a_day(rule) &&
        rule.by_hour[0] == ICAL_RECURRENCE_ARRAY_MAX && rule.by_minute[0] == ICAL_RECURRENCE_ARRAY_MAX &&
        rule.by_second[0] == ICAL_RECURRENCE_ARRAY_MAX;
    if (repeats_within_a_day(rule))
        budget = std::min(budget, kSubDailySeriesBudget);
    for (;;) {
        if (budget-- <= 0)
            throw TooManyOccurrences();
        icaltimetype instance = icalrecur_iterator_next(iterator.get());
        if (icaltime_is_null_time(instance))
            break;
        instance.zone = dtstart.zone;
        instance.is_date = dtstart.is_date;
        if (keeps_time_of_day) {
            instance.hour = dtstart.hour;
            instance.minute = dtstart.minute;
            instance.second = dtstart.second;
        }
        if (instant_of(instance, home) >= range.end)
            break;
        emit_instance(series, instance, std::nullopt, ref, range, home, out);
    }
}

void expand_rrules(const Series& series, const ResourceRef& ref, const TimeRange& range, icaltimezone* home,
                   std::vector<EventRecord>& out)
{
    int budget = kSeriesBudget;
    for (icalproperty* p : properties_of(series.master, ICAL_RRULE_PROPERTY))
        expand_rule(series, icalproperty_get_rrule(p), budget, ref, range, home, out);
}

// The span an RDATE;VALUE=PERIOD gives its occurrence: to its end, or for
// its duration.
std::optional<Span> period_span(const icalperiodtype& period, icalproperty* property, const Series& series,
                                icaltimezone* home)
{
    Span span { attach_zone(period.start, property, series.calendar, home), icaltime_null_time() };
    if (!icaltime_is_null_time(period.end) && icaltime_is_valid_time(period.end))
        span.end = attach_zone(period.end, property, series.calendar, home);
    else if (!icaldurationtype_is_bad_duration(period.duration) && !period.duration.is_neg)
        span.end = icaltime_add(span.start, period.duration);
    if (icaltime_is_null_time(span.end) || instant_of(span.end, home) < instant_of(span.start, home))
        return std::nullopt;
    return span;
}

void expand_rdates(const Series& series, const ResourceRef& ref, const TimeRange& range, icaltimezone* home,
                   std::vector<EventRecord>& out)
{
    if (!icalcomponent_get_first_property(series.master, ICAL_RRULE_PROPERTY))
        emit_instance(series, series.span.start, std::nullopt, ref, range, home,
                      out);  // DTSTART is the first occurrence (RFC 5545 §3.8.5.3)
    for (icalproperty* p : properties_of(series.master, ICAL_RDATE_PROPERTY)) {
        icaldatetimeperiodtype value = icalproperty_get_rdate(p);
        const bool is_period = icaltime_is_null_time(value.time);
        icaltimetype time = is_period ? value.period.start : value.time;
        if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time))
            continue;
        time = attach_zone(time, p, series.calendar, home);
        if (time.is_date != series.span.start.is_date)
            continue;
        std::optional<Span> period = is_period ? period_span(value.period, p, series, home) : std::nullopt;
        emit_instance(series, time, period, ref, range, home, out);
    }
}

Series read_series(icalcomponent* calendar, icalcomponent* master, const Span& span, icaltimezone* home)
{
    Series series { calendar, master, span, text_of(master, ICAL_RRULE_PROPERTY), {}, {}, {}, {} };
    for (icalproperty* p : properties_of(master, ICAL_EXDATE_PROPERTY)) {
        icaltimetype time = read_time(p, calendar, home);
        if (icaltime_is_null_time(time))
            continue;
        if (time.is_date && !span.start.is_date)
            series.excluded_dates.insert(occurrence_key(time, home));
        else
            series.excluded.insert(occurrence_key(time, home));
    }
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        icalproperty* rid = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
        if (!rid || e == master)
            continue;
        icaltimetype id = read_time(rid, calendar, home);
        if (icaltime_is_null_time(id))
            continue;
        long long key = occurrence_key(id, home);
        // Its own occurrence may be excluded; the later ones still change.
        icalparameter* range = icalproperty_get_first_parameter(rid, ICAL_RANGE_PARAMETER);
        auto moved = span_of(e, calendar, home);
        if (range && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE && moved &&
            id.is_date == moved->start.is_date)
            series.from_here_on.emplace(
                key, FromHereOn { e, distance(id, moved->start, home), distance(moved->start, moved->end, home) });
        if (!is_excluded(series, id, home))
            series.overrides.emplace(key, e);
    }
    return series;
}

// The day an event whose start cannot be read was written (DTSTAMP,
// LAST-MODIFIED or CREATED): where the user can still find it.
std::optional<Span> best_effort_span(icalcomponent* event, icaltimezone* home)
{
    for (icalproperty_kind kind : { ICAL_DTSTAMP_PROPERTY, ICAL_LASTMODIFIED_PROPERTY, ICAL_CREATED_PROPERTY }) {
        icalproperty* property = icalcomponent_get_first_property(event, kind);
        icaltimetype written = property ? read_time(property, nullptr, home) : icaltime_null_time();
        if (icaltime_is_null_time(written))
            continue;
        Span span { wall_in(instant_of(written, home), home), icaltime_null_time() };
        span.start.is_date = 1;
        span.start.zone = nullptr;
        span.end = span.start;
        icaltime_adjust(&span.end, 1, 0, 0, 0);
        return span;
    }
    return std::nullopt;
}

// Where an event listed on its own lies, and the recurrence id that
// addresses an override without its series.
struct AloneSpan {
    Span span;
    std::string recurrence_id;
};

std::optional<AloneSpan> alone_span(icalcomponent* event, icalcomponent* calendar, icaltimezone* home)
{
    std::string recurrence_id;
    if (icalproperty* rid = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY)) {
        icaltimetype id = read_time(rid, calendar, home);
        if (!icaltime_is_null_time(id))
            recurrence_id = format_in_home(id, home);
    }
    auto span = span_of(event, calendar, home);
    if (!span)
        span = best_effort_span(event, home);
    if (!span)
        return std::nullopt;
    return AloneSpan { *span, std::move(recurrence_id) };
}

// An event listed on its own: a single event, an override whose series the
// object does not hold (addressed by its recurrence id), or one whose start
// cannot be read.
void emit_alone(icalcomponent* event, icalcomponent* calendar, const ResourceRef& ref, const TimeRange& range,
                icaltimezone* home, std::vector<EventRecord>& out)
{
    if (auto alone = alone_span(event, calendar, home))
        emit_if_overlapping(event, alone->span, nullptr, ref, alone->recurrence_id, range, home, out);
}

bool lists_alone(icalcomponent* calendar, icalcomponent* master, icaltimezone* home)
{
    return icalcomponent_get_first_property(master, ICAL_RECURRENCEID_PROPERTY) != nullptr ||
        !span_of(master, calendar, home) || !repeats(master);
}

}  // namespace

bool overlaps(sys_seconds start, sys_seconds end, const TimeRange& range)
{
    if (start == end)
        return start >= range.start && start < range.end;
    return start < range.end && end > range.start;
}

bool repeats(icalcomponent* event)
{
    return icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) ||
        icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY);
}

std::vector<icalproperty*> properties_of(icalcomponent* component, icalproperty_kind kind)
{
    std::vector<icalproperty*> found;
    for (icalproperty* p = icalcomponent_get_first_property(component, kind); p;
         p = icalcomponent_get_next_property(component, kind))
        found.push_back(p);
    return found;
}

std::optional<Span> span_of(icalcomponent* event, icalcomponent* calendar, icaltimezone* home)
{
    icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!dtstart)
        return std::nullopt;
    Span span { read_time(dtstart, calendar, home), icaltime_null_time() };
    if (icaltime_is_null_time(span.start))
        return std::nullopt;
    if (icalproperty* dtend = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        span.end = read_time(dtend, calendar, home);
        if (!icaltime_is_null_time(span.end) && span.end.is_date != span.start.is_date)
            span.end = icaltime_null_time();
    } else if (icalproperty* duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        icaldurationtype length = icalproperty_get_duration(duration);
        if (!icaldurationtype_is_bad_duration(length) && !length.is_neg)
            span.end = icaltime_add(span.start, length);
    }
    if (icaltime_is_null_time(span.end) || instant_of(span.end, home) < instant_of(span.start, home)) {
        span.end = span.start;
        if (span.start.is_date)
            icaltime_adjust(&span.end, 1, 0, 0, 0);
    }
    if (span.start.is_date)
        span.end.is_date = 1;
    return span;
}

Span occurrence_span(const Span& series, icaltimetype instance, icaltimezone* home)
{
    Span span { instance, icaltime_add(instance, icaltime_subtract(series.end, series.start)) };
    span.end.zone = instance.zone;
    span.end.is_date = instance.is_date;
    icaltimezone* zone = zone_of(instance, home);
    if (!instance.is_date && zone)
        span.end = shifted(instance, distance(series.start, series.end, zone), zone);
    return span;
}

IcalPtr parse_calendar(const std::string& text)
{
    IcalPtr root(icalparser_parse_string(text.c_str()));
    if (!root)
        throw CalDavError("malformed iCalendar data");
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT)
        return root;
    // Several top-level components come wrapped in an XROOT: take the first calendar.
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;) {
        icalcomponent_remove_component(root.get(), c);
        return IcalPtr(c);
    }
    throw CalDavError("malformed iCalendar data: no VCALENDAR");
}

icalcomponent* master_event(icalcomponent* calendar)
{
    icalcomponent* first = nullptr;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        if (!first)
            first = e;
        if (!icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
            return e;
    }
    return first;
}

void expand_resource(icalcomponent* calendar, const ResourceRef& ref, const TimeRange& range, icaltimezone* home,
                     std::vector<EventRecord>& out)
{
    icalcomponent* master = master_event(calendar);
    if (!master)
        return;
    if (lists_alone(calendar, master, home)) {
        // Single events, or overrides whose series we were not given.
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
             e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
            emit_alone(e, calendar, ref, range, home, out);
        return;
    }
    Series series = read_series(calendar, master, *span_of(master, calendar, home), home);
    size_t first_new = out.size();
    expand_rrules(series, ref, range, home, out);
    expand_rdates(series, ref, range, home, out);
    for (const auto& [key, event] : series.overrides) {
        icaltimetype id =
            read_time(icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY), calendar, home);
        if (auto span = span_of(event, calendar, home))
            emit_if_overlapping(event, *span, &series, ref, format_in_home(id, home), range, home, out);
    }
    // RDATEs may repeat a rule's instance; the set counts it once (RFC 5545 §3.8.5.3).
    std::set<std::string> seen;
    std::vector<EventRecord> unique;
    for (size_t i = first_new; i < out.size(); ++i)
        if (seen.insert(out[i].recurrence_id).second)
            unique.push_back(std::move(out[i]));
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(first_new), out.end());
    for (auto& e : unique)
        out.push_back(std::move(e));
}

EventRecord master_record(icalcomponent* calendar, const ResourceRef& ref, icaltimezone* home)
{
    icalcomponent* master = master_event(calendar);
    if (!master)
        throw CalDavError("the resource holds no event");
    auto span = span_of(master, calendar, home);
    if (!span)
        throw CalDavError("the event has no start time");
    EventRecord out = record(master, *span, nullptr, ref, "", home);
    out.recurring = repeats(master);
    return out;
}

std::optional<SingleOccurrence> single_occurrence(icalcomponent* calendar, const ResourceRef& ref, icaltimezone* home)
{
    icalcomponent* master = master_event(calendar);
    if (!master || icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT) != 1 ||
        !lists_alone(calendar, master, home))
        return std::nullopt;
    auto alone = alone_span(master, calendar, home);
    if (!alone)
        return std::nullopt;
    return SingleOccurrence { record(master, alone->span, nullptr, ref, alone->recurrence_id, home),
                              instant_of(alone->span.start, home), instant_of(alone->span.end, home) };
}

}  // namespace wrenfold::caldav
