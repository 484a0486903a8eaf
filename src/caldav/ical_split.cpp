// A series cut in two at one occurrence: "this and following events".
#include "caldav/engine.h"
#include "caldav/ical_edit_steps.h"
#include "caldav/ical_events.h"

#include <vector>

namespace wrenfold::caldav {

using namespace edit;

namespace {

constexpr int kMaxCountedWalk = 100000;

struct Cut {
    icaltimetype at;  // the occurrence's RECURRENCE-ID: in the series' zone, or a date
    icaltimezone* zone;
    icaltimezone* home;

    icaltimetype day_of(icaltimetype value) const
    {
        return value.is_date ? value : as_date(wall_in(instant_of(value, home), zone));
    }
    // Whether a date or time of the series names an occurrence before the cut.
    bool after_or_at(icaltimetype value) const
    {
        if (!value.is_date && !at.is_date)
            return instant_of(value, home) >= instant_of(at, home);
        return icaltime_compare_date_only(day_of(value), day_of(at)) >= 0;
    }
};

// How many occurrences a counted rule gives before the cut.
int counted_before(const icalrecurrencetype& rule, icaltimetype dtstart, const Cut& cut)
{
    std::unique_ptr<icalrecur_iterator, decltype(&icalrecur_iterator_free)> iterator(
        icalrecur_iterator_new(rule, dtstart), &icalrecur_iterator_free);
    int count = 0;
    for (; iterator && count < kMaxCountedWalk; ++count) {
        icaltimetype instance = icalrecur_iterator_next(iterator.get());
        if (icaltime_is_null_time(instance))
            break;
        instance.zone = dtstart.zone;
        instance.is_date = dtstart.is_date;
        if (cut.after_or_at(instance))
            break;
    }
    return count;
}

// Keeps in `calendar` only the excluded and added dates and the overrides on
// one side of the cut.
void keep_side(icalcomponent* calendar, icalcomponent* master, const Cut& cut, bool later)
{
    for (icalproperty_kind kind : { ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY })
        for (icalproperty* p : properties_of(master, kind)) {
            icaltimetype value = read_time(p, calendar, cut.home);
            if (kind == ICAL_RDATE_PROPERTY && icaltime_is_null_time(value))
                value = attach_zone(icalproperty_get_rdate(p).period.start, p, calendar, cut.home);
            if (!icaltime_is_null_time(value) && cut.after_or_at(value) != later)
                remove_property(master, p);
        }
    std::vector<icalcomponent*> others;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        icalproperty* rid = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
        if (e != master && rid && cut.after_or_at(read_time(rid, calendar, cut.home)) != later)
            others.push_back(e);
    }
    for (icalcomponent* e : others) {
        icalcomponent_remove_component(calendar, e);
        icalcomponent_free(e);
    }
}

// The earlier part: every rule ends just before the cut.
void end_before(icalcomponent* calendar, icalcomponent* master, const Cut& cut, const EditContext& context)
{
    // RFC 5545 §3.3.10: UNTIL is a date for a date start, floating for a
    // floating one, UTC otherwise.
    icalproperty* dtstart = icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY);
    icaltimetype written = icalproperty_get_dtstart(dtstart);
    const bool floating = !written.is_date && !icaltime_is_utc(written) &&
        !icalproperty_get_first_parameter(dtstart, ICAL_TZID_PARAMETER);
    icaltimetype until = cut.at;
    if (until.is_date) {
        icaltime_adjust(&until, -1, 0, 0, 0);
    } else if (floating) {
        until.zone = nullptr;
        icaltime_adjust(&until, 0, 0, 0, -1);
    } else {
        until = utc_time(instant_of(cut.at, context.home) - std::chrono::seconds(1));
    }
    for (icalproperty* p : properties_of(master, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype rule = icalproperty_get_rrule(p);
        if (rule.count == 0 && !icaltime_is_null_time(rule.until) && !cut.after_or_at(rule.until))
            continue;
        rule.count = 0;
        rule.until = until;
        icalproperty_set_rrule(p, rule);
    }
    keep_side(calendar, master, cut, false);
    icalproperty* sequence = icalcomponent_get_first_property(master, ICAL_SEQUENCE_PROPERTY);
    int next = sequence ? icalproperty_get_sequence(sequence) + 1 : 1;
    remove_all(master, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(master, icalproperty_new_sequence(next < 1 ? 1 : next));
    set_stamp(master, ICAL_DTSTAMP_PROPERTY, context.now);
    set_stamp(master, ICAL_LASTMODIFIED_PROPERTY, context.now);
}

// The later part: a series of its own that starts at the cut.
void start_at(icalcomponent* calendar, icalcomponent* master, const Span& series, const Cut& cut,
              const std::string& uid, const EditContext& context)
{
    for (icalproperty* p : properties_of(master, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype rule = icalproperty_get_rrule(p);
        if (rule.count == 0)
            continue;
        rule.count -= counted_before(rule, series.start, cut);
        if (rule.count <= 0)
            remove_property(master, p);
        else
            icalproperty_set_rrule(p, rule);
    }
    set_time_value(icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY), cut.at);
    if (icalproperty* dtend = icalcomponent_get_first_property(master, ICAL_DTEND_PROPERTY))
        write_time(dtend, occurrence_span(series, cut.at, context.home).end, dtend, calendar, context);
    keep_side(calendar, master, cut, true);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        icalcomponent_set_uid(e, uid.c_str());
    remove_all(master, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(master, icalproperty_new_sequence(0));
    set_stamp(master, ICAL_CREATED_PROPERTY, context.now);
}

// Whether anything of the series is still listed before the cut, once the
// earlier part ends there: an excluded first occurrence leaves nothing.
bool shows_before(icalcomponent* calendar, const Span& series, const Cut& cut)
{
    char* text = icalcomponent_as_ical_string_r(calendar);
    IcalPtr stored = parse_calendar(text ? text : "");
    icalmemory_free_buffer(text);
    std::vector<EventRecord> listed;
    const auto margin = std::chrono::hours(48);
    try {
        expand_resource(stored.get(), { "", "" },
                        { instant_of(series.start, cut.home) - margin, instant_of(cut.at, cut.home) + margin },
                        cut.home, listed);
    } catch (const TooManyOccurrences&) {
        return true;  // a rule that floods the range surely leaves something
    }
    for (icalcomponent* e = icalcomponent_get_first_component(stored.get(), ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(stored.get(), ICAL_VEVENT_COMPONENT))
        if (icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
            return true;  // an override kept on the earlier side may have moved anywhere
    return !listed.empty();
}

struct SeriesAt {
    icalcomponent* master;
    Span span;
    Cut cut;
};

SeriesAt series_at(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context)
{
    icalcomponent* master = master_event(calendar);
    if (!master || !repeats(master) || icalcomponent_get_first_property(master, ICAL_RECURRENCEID_PROPERTY))
        throw CalDavError("the event does not repeat");
    auto span = span_of(master, calendar, context.home);
    if (!span)
        throw CalDavError("the event has no start time");
    Occurrence occurrence = find_occurrence(calendar, master, *span, recurrence_id, context);
    return { master, *span, { occurrence.original, series_zone(*span, context), context.home } };
}

}  // namespace

IcalPtr split_series(icalcomponent* calendar, const std::string& recurrence_id, const std::string& new_uid,
                     const EditContext& context)
{
    auto [master, span, cut] = series_at(calendar, recurrence_id, context);
    if (cut.after_or_at(span.start))
        return nullptr;  // from the first occurrence on is the whole series
    IcalPtr later(icalcomponent_new_clone(calendar));
    start_at(later.get(), master_event(later.get()), span, cut, new_uid, context);
    end_before(calendar, master, cut, context);
    return later;
}

bool end_series_before(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context)
{
    auto [master, span, cut] = series_at(calendar, recurrence_id, context);
    if (cut.after_or_at(span.start))
        return true;
    end_before(calendar, master, cut, context);
    return !shows_before(calendar, span, cut);
}

}  // namespace wrenfold::caldav
