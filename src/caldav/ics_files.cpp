#include "caldav/ics_files.h"

#include "caldav/content_lines.h"
#include "caldav/engine.h"

#include <algorithm>
#include <map>
#include <set>

namespace wrenfold::caldav {

namespace {

constexpr const char* kOwnHeader = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kelvane//Wrenfold//EN\r\n";

std::string value_of(const RawComponent& component, const char* name)
{
    for (const ContentLine& line : component.properties)
        if (line.name == name)
            return std::string(line.value());
    return "";
}

// The TZID parameters of every line of a component and its children.
void named_zones(const RawComponent& component, std::set<std::string>& out)
{
    for (const ContentLine& line : component.properties) {
        std::string_view head = line.head();
        for (size_t at = head.find(";"); at != std::string_view::npos; at = head.find(";", at + 1)) {
            std::string_view parameter = head.substr(at + 1, head.find(";", at + 1) - at - 1);
            if (parameter.size() > 5 && (parameter.substr(0, 5) == "TZID=" || parameter.substr(0, 5) == "tzid=")) {
                std::string_view zone = parameter.substr(5);
                if (zone.size() >= 2 && zone.front() == '"' && zone.back() == '"')
                    zone = zone.substr(1, zone.size() - 2);
                out.emplace(zone);
            }
        }
    }
    for (const RawComponent& child : component.children)
        named_zones(child, out);
}

// The calendar's own lines that a stored object keeps.
std::string calendar_head(const RawComponent& calendar)
{
    std::string head = calendar.begin.written + "\r\n";
    for (const ContentLine& line : calendar.properties)
        if (line.name != "METHOD")
            head.append(line.written).append("\r\n");
    return head;
}

}  // namespace

std::vector<IcsObject> split_ics(std::string_view text, const std::function<std::string()>& new_uid)
{
    std::vector<IcsObject> objects;
    for (const RawComponent& calendar : parse_content_lines(text)) {
        if (calendar.name != "VCALENDAR")
            continue;
        std::map<std::string, const RawComponent*> zones;
        std::vector<std::pair<std::string, std::vector<RawComponent>>> by_uid;
        for (const RawComponent& child : calendar.children) {
            if (child.name == "VTIMEZONE") {
                zones.emplace(value_of(child, "TZID"), &child);
                continue;
            }
            if (child.name != "VEVENT")
                continue;
            std::string uid = value_of(child, "UID");
            RawComponent event = child;
            if (uid.empty()) {
                uid = new_uid();
                event.properties.insert(event.properties.begin(), content_line("UID:" + uid));
                by_uid.push_back({ uid, { std::move(event) } });
                continue;
            }
            auto same =
                std::find_if(by_uid.begin(), by_uid.end(), [&](const auto& group) { return group.first == uid; });
            if (same == by_uid.end())
                by_uid.push_back({ uid, { std::move(event) } });
            else
                same->second.push_back(std::move(event));
        }
        for (auto& [uid, events] : by_uid) {
            std::set<std::string> named;
            for (const RawComponent& event : events)
                named_zones(event, named);
            std::string out = calendar_head(calendar);
            for (const std::string& zone : named)
                if (auto found = zones.find(zone); found != zones.end())
                    write_component(*found->second, out);
            for (const RawComponent& event : events)
                write_component(event, out);
            out.append(calendar.end.written).append("\r\n");
            objects.push_back({ uid, std::move(out) });
        }
    }
    if (objects.empty())
        throw CalDavError("the file holds no event");
    return objects;
}

std::string join_ics(const std::vector<std::string>& objects)
{
    std::string zones;
    std::string events;
    std::set<std::string> zones_written;
    for (const std::string& object : objects)
        for (const RawComponent& calendar : parse_content_lines(object))
            for (const RawComponent& child : calendar.children) {
                if (child.name == "VTIMEZONE" && zones_written.insert(value_of(child, "TZID")).second)
                    write_component(child, zones);
                else if (child.name == "VEVENT")
                    write_component(child, events);
            }
    return kOwnHeader + zones + events + "END:VCALENDAR\r\n";
}

}  // namespace wrenfold::caldav
