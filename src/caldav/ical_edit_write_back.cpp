// Writing an edited object back. libical reads what it understands and
// writes it its own way: values it cannot parse are lost, list-valued
// parameters are cut, other programs' X- values are re-escaped. So the
// edit is made on libical's reading, and the text is then put together
// from the written lines: a line that libical's own reading of the edited
// object still holds unchanged is written as it stood, a line libical could
// not read is kept, and only what the edit changed comes from libical.
//
// Each written component is marked with its index before libical reads it;
// the mark travels with the component through the edit (and into the
// overrides that are copied from it), which tells the merge which written
// component an edited one came from.
#include "caldav/ical_edit.h"

#include "caldav/engine.h"
#include "caldav/ical_edit_steps.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace wrenfold::caldav {
namespace {

constexpr std::string_view kSourceMark = "X-WRENFOLD-SOURCE";

bool is_source_mark(icalproperty* property)
{
    const char* name = icalproperty_get_x_name(property);
    return name && kSourceMark == name;
}

// The calendar as libical writes it, without the error notes its parser
// leaves behind and, unless asked to keep them, without the source marks.
std::string calendar_text(icalcomponent* calendar, bool keep_marks)
{
    std::vector<icalcomponent*> pending { calendar };
    while (!pending.empty()) {
        icalcomponent* component = pending.back();
        pending.pop_back();
        edit::remove_all(component, ICAL_XLICERROR_PROPERTY);
        if (!keep_marks)
            for (icalproperty* p : properties_of(component, ICAL_X_PROPERTY))
                if (is_source_mark(p))
                    edit::remove_property(component, p);
        for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
            pending.push_back(c);
    }
    char* text = icalcomponent_as_ical_string_r(calendar);
    if (!text)
        throw CalDavError("could not write the event");
    std::string out(text);
    icalmemory_free_buffer(text);
    return out;
}

void write_marked(const RawComponent& component, int& next, std::string& out)
{
    out.append(component.begin.written).append("\r\n");
    out.append(kSourceMark).append(":").append(std::to_string(next++)).append("\r\n");
    for (const auto& line : component.properties)
        out.append(line.written).append("\r\n");
    for (const auto& child : component.children)
        write_marked(child, next, out);
    out.append(component.end.written).append("\r\n");
}

void list_in_order(const RawComponent& component, std::vector<const RawComponent*>& out)
{
    out.push_back(&component);
    for (const auto& child : component.children)
        list_in_order(child, out);
}

std::string unfolded(std::string text)
{
    for (size_t at; (at = text.find("\r\n ")) != std::string::npos;)
        text.erase(at, 3);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// A line as compared with libical's reading: libical writes the values of
// other programs' X- properties with their commas and semicolons escaped in
// a copied component and as read in the original.
std::string comparable(std::string line)
{
    for (size_t at = 0; (at = line.find('\\', at)) != std::string::npos; ++at)
        if (at + 1 < line.size() && (line[at + 1] == ',' || line[at + 1] == ';'))
            line.erase(at, 1);
    return line;
}

// What libical makes of one line on its own: the properties it reads from
// it, as it writes them (a CATEGORIES list may become several); nothing
// when it cannot read the line.
std::vector<std::string> library_reading(const ContentLine& line, const std::string& component)
{
    bool inner = component != "VCALENDAR";
    std::string text = "BEGIN:VCALENDAR\r\n";
    if (inner)
        text += "BEGIN:" + component + "\r\n";
    text += line.written + "\r\n";
    if (inner)
        text += "END:" + component + "\r\n";
    text += "END:VCALENDAR\r\n";
    IcalPtr parsed(icalparser_parse_string(text.c_str()));
    icalerror_clear_errno();
    icalcomponent* holder = parsed ? parsed.get() : nullptr;
    if (holder && inner)
        holder = icalcomponent_get_first_component(holder, ICAL_ANY_COMPONENT);
    std::vector<std::string> reading;
    if (!holder)
        return reading;
    for (icalproperty* p = icalcomponent_get_first_property(holder, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(holder, ICAL_ANY_PROPERTY)) {
        if (icalproperty_isa(p) == ICAL_XLICERROR_PROPERTY)
            continue;
        char* written = icalproperty_as_ical_string_r(p);
        if (written)
            reading.push_back(comparable(unfolded(written)));
        icalmemory_free_buffer(written);
    }
    return reading;
}

// Lines that name a series' occurrences; an override copied from the
// series has none of them.
bool names_occurrences(const std::string& name)
{
    return name == "RRULE" || name == "RDATE" || name == "EXDATE" || name == "EXRULE" || name == "RECURRENCE-ID";
}

bool has_property(const RawComponent& component, const std::string& name)
{
    return std::any_of(component.properties.begin(), component.properties.end(),
                       [&](const ContentLine& line) { return line.name == name; });
}

class Merge {
public:
    explicit Merge(const std::vector<RawComponent>& written)
    {
        for (const auto& component : written)
            list_in_order(component, m_sources);
    }

    void write(const RawComponent& edited, std::string& out)
    {
        const RawComponent* source = source_of(edited);
        out.append((source ? source->begin : edited.begin).written).append("\r\n");
        for (const auto& line : source ? merged_properties(*source, edited) : fresh_lines(edited))
            out.append(line).append("\r\n");
        for (const auto& child : edited.children)
            write(child, out);
        out.append((source ? source->end : edited.end).written).append("\r\n");
    }

private:
    const RawComponent* source_of(const RawComponent& edited) const
    {
        for (const auto& line : edited.properties) {
            if (line.name != kSourceMark)
                continue;
            size_t index = std::strtoul(std::string(line.value()).c_str(), nullptr, 10);
            if (index < m_sources.size() && m_sources[index]->name == edited.name)
                return m_sources[index];
        }
        return nullptr;
    }

    static std::vector<std::string> fresh_lines(const RawComponent& edited)
    {
        std::vector<std::string> lines;
        for (const auto& line : edited.properties)
            if (line.name != kSourceMark)
                lines.push_back(line.written);
        return lines;
    }

    const std::vector<std::vector<std::string>>& readings_of(const RawComponent& source)
    {
        auto [at, added] = m_readings.try_emplace(&source);
        if (added)
            for (const auto& line : source.properties)
                at->second.push_back(library_reading(line, source.name));
        return at->second;
    }

    // A written line in its place, or the place of a line the edit changed
    // or dropped, which the changed line (if any) takes.
    struct Slot {
        const ContentLine* kept;
        const ContentLine* changed;
        size_t reading;
        std::vector<std::string> replacements;
    };

    std::vector<std::string> merged_properties(const RawComponent& source, const RawComponent& edited)
    {
        const auto& readings = readings_of(source);
        std::vector<const ContentLine*> fresh;
        std::vector<std::string> fresh_compared;
        for (const auto& line : edited.properties) {
            if (line.name != kSourceMark) {
                fresh.push_back(&line);
                fresh_compared.push_back(comparable(line.unfolded));
            }
        }
        std::vector<bool> used(fresh.size(), false);
        bool copy =
            edited.name == "VEVENT" && has_property(edited, "RECURRENCE-ID") && !has_property(source, "RECURRENCE-ID");

        std::vector<Slot> slots;
        for (size_t i = 0; i < source.properties.size(); ++i) {
            const ContentLine& line = source.properties[i];
            if (readings[i].empty()) {
                // libical could not read it, so the edit cannot have meant it.
                if (!(copy && names_occurrences(line.name)))
                    slots.push_back({ &line, nullptr, i, {} });
            } else if (claim(readings[i], fresh_compared, used)) {
                slots.push_back({ &line, nullptr, i, {} });
            } else {
                slots.push_back({ nullptr, &line, i, {} });
            }
        }
        std::vector<std::string> appended;
        for (size_t j = 0; j < fresh.size(); ++j) {
            if (used[j])
                continue;
            auto slot = std::find_if(slots.begin(), slots.end(), [&](const Slot& s) {
                return s.changed && s.changed->name == fresh[j]->name && s.replacements.empty();
            });
            if (slot == slots.end())
                appended.push_back(fresh[j]->written);
            else
                slot->replacements.push_back(with_written_head(*slot->changed, readings[slot->reading], *fresh[j]));
        }
        std::vector<std::string> lines;
        for (const auto& slot : slots) {
            if (slot.kept)
                lines.push_back(slot.kept->written);
            lines.insert(lines.end(), slot.replacements.begin(), slot.replacements.end());
        }
        lines.insert(lines.end(), appended.begin(), appended.end());
        return lines;
    }

    // Marks the edited lines that say what `reading` says as taken; all or none.
    static bool claim(const std::vector<std::string>& reading, const std::vector<std::string>& fresh,
                      std::vector<bool>& used)
    {
        std::vector<size_t> taken;
        for (const auto& piece : reading) {
            size_t j = 0;
            while (j < fresh.size() && (used[j] || fresh[j] != piece))
                ++j;
            if (j == fresh.size()) {
                for (size_t k : taken)
                    used[k] = false;
                return false;
            }
            used[j] = true;
            taken.push_back(j);
        }
        return true;
    }

    // A changed value under the parameters as they were written, when the
    // edit left the parameters as libical read them.
    static std::string with_written_head(const ContentLine& old, const std::vector<std::string>& reading,
                                         const ContentLine& changed)
    {
        if (reading.size() != 1 || content_line(reading[0]).head() != changed.head())
            return changed.written;
        return fold_line(std::string(old.head()) + ":" + std::string(changed.value()));
    }

    std::vector<const RawComponent*> m_sources;
    std::map<const RawComponent*, std::vector<std::vector<std::string>>> m_readings;
};

}  // namespace

EditedObject open_for_edit(const std::string& text)
{
    EditedObject object { nullptr, parse_content_lines(text) };
    std::string marked;
    int next = 0;
    for (const auto& component : object.written)
        write_marked(component, next, marked);
    try {
        object.calendar = parse_calendar(marked);
    } catch (const CalDavError&) {
        object.written.clear();
    }
    if (object.written.empty())
        object.calendar = parse_calendar(text);
    return object;
}

std::string write_back(const EditedObject& object)
{
    std::string edited = calendar_text(object.calendar.get(), true);
    Merge merge(object.written);
    std::string out;
    for (const auto& component : parse_content_lines(edited))
        merge.write(component, out);
    return out;
}

std::string serialize(icalcomponent* calendar)
{
    return calendar_text(calendar, false);
}

}  // namespace wrenfold::caldav
