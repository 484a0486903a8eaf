#include "caldav/ical_edit_steps.h"

#include "caldav/alarms.h"
#include "caldav/engine.h"
#include "caldav/ical_events.h"

#include <strings.h>

namespace wrenfold::caldav::edit {

namespace {

// A new value of a text property, written into the property that is there
// so that its parameters survive. An unchanged text is not touched.
bool set_text(icalcomponent* event, icalproperty_kind kind, const std::string& text)
{
    auto found = properties_of(event, kind);
    if (text.empty()) {
        for (icalproperty* p : found)
            remove_property(event, p);
        return !found.empty();
    }
    if (found.empty()) {
        icalproperty* property = icalproperty_new(kind);
        icalproperty_set_value(property, icalvalue_new_text(text.c_str()));
        icalcomponent_add_property(event, property);
        return true;
    }
    icalvalue* value = icalproperty_get_value(found[0]);
    const char* current = value && icalvalue_isa(value) == ICAL_TEXT_VALUE ? icalvalue_get_text(value) : nullptr;
    if (found.size() == 1 && current && text == current)
        return false;
    icalproperty_set_value(found[0], icalvalue_new_text(text.c_str()));
    // An alternative rendering of the old text would now contradict it.
    icalproperty_remove_parameter_by_kind(found[0], ICAL_ALTREP_PARAMETER);
    for (size_t i = 1; i < found.size(); ++i)
        remove_property(event, found[i]);
    return true;
}

bool set_rrule(icalcomponent* event, const std::string& raw)
{
    std::string text = raw;
    if (text.rfind("RRULE:", 0) == 0)
        text.erase(0, 6);
    auto current = properties_of(event, ICAL_RRULE_PROPERTY);
    if (current.size() == 1) {
        char* written = icalvalue_as_ical_string_r(icalproperty_get_value(current[0]));
        bool same = written && text == written;
        icalmemory_free_buffer(written);
        if (same)
            return false;
    }
    if (text.empty() && current.empty())
        return false;
    icalrecurrencetype rule {};
    if (!text.empty()) {
        rule = icalrecurrencetype_from_string(text.c_str());
        icalerror_clear_errno();
        if (rule.freq == ICAL_NO_RECURRENCE)
            throw CalDavError("invalid rrule: \"" + raw + "\"");
    }
    remove_all(event, ICAL_RRULE_PROPERTY);
    if (!text.empty())
        icalcomponent_add_property(event, icalproperty_new_rrule(rule));
    return true;
}

// Another program's rendering of a text (X-ALT-DESC, the HTML notes one
// widely used mail client shows instead of DESCRIPTION) or of a place
// (X-APPLE-STRUCTURED-LOCATION): after a change of that text it would show
// the old one.
void drop_renderings(icalcomponent* event, const char* name)
{
    for (icalproperty* p : properties_of(event, ICAL_X_PROPERTY))
        if (const char* x_name = icalproperty_get_x_name(p); x_name && strcasecmp(x_name, name) == 0)
            remove_property(event, p);
}

}  // namespace

bool apply_texts(icalcomponent* event, const EventFields& fields, bool with_rule)
{
    bool changed = false;
    if (fields.summary)
        changed |= set_text(event, ICAL_SUMMARY_PROPERTY, *fields.summary);
    if (fields.location && set_text(event, ICAL_LOCATION_PROPERTY, *fields.location)) {
        drop_renderings(event, "X-APPLE-STRUCTURED-LOCATION");
        changed = true;
    }
    if (fields.description && set_text(event, ICAL_DESCRIPTION_PROPERTY, *fields.description)) {
        drop_renderings(event, "X-ALT-DESC");
        changed = true;
    }
    if (with_rule && fields.rrule)
        changed |= set_rrule(event, *fields.rrule);
    if (fields.alerts)
        changed |= set_alerts(event, *fields.alerts);
    return changed;
}

}  // namespace wrenfold::caldav::edit
