#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::caldav {

inline constexpr const char* kDavNs = "DAV:";
inline constexpr const char* kCalDavNs = "urn:ietf:params:xml:ns:caldav";
inline constexpr const char* kAppleNs = "http://apple.com/ns/ical/";
inline constexpr const char* kCalServerNs = "http://calendarserver.org/ns/";

// A namespace-resolved copy of an XML element: what the engine reads of a
// property, free of the parser's own types.
struct XmlElement {
    std::string ns;
    std::string name;
    std::string text;  // concatenated text of this element's own text children
    std::vector<std::pair<std::string, std::string>> attributes;  // local name, value
    std::vector<XmlElement> children;

    const XmlElement* child(const char* child_ns, const char* child_name) const;
    bool has_child(const char* child_ns, const char* child_name) const { return child(child_ns, child_name); }
    std::string attribute(const char* local_name) const;
    // The hrefs directly below this element, trimmed.
    std::vector<std::string> hrefs() const;
};

// One <response> of a 207 Multi-Status: its href and the properties that came
// back with status 200 (others are left out).
struct DavResponse {
    std::string href;
    int status = 0;  // of the response itself when given, else 200
    std::vector<XmlElement> props;

    const XmlElement* prop(const char* prop_ns, const char* prop_name) const;
};

// Throws CalDavError for anything that is not a well-formed multistatus.
std::vector<DavResponse> parse_multistatus(const std::string& body);

// Request bodies.
// Text made safe to stand inside an XML element or a quoted attribute.
std::string escape_xml(const std::string& text);
std::string propfind_body(const std::vector<std::pair<const char*, const char*>>& props);
std::string calendar_query_body(const std::string& utc_start, const std::string& utc_end);
// A calendar of events with this name and colour (RFC 4791 §5.3.1); and the
// change of either (RFC 4918 §9.2), nothing for a part not given.
std::string mkcalendar_body(const std::string& name, const std::string& color);
std::string proppatch_calendar_body(const std::optional<std::string>& name, const std::optional<std::string>& color);

// "YYYYMMDDTHHMMSSZ" of a UTC instant, the time-range form of CalDAV.
std::string caldav_utc_stamp(std::chrono::sys_seconds instant);

}  // namespace wrenfold::caldav
