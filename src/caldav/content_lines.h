#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenfold::caldav {

// One content line of an iCalendar text (RFC 5545 §3.1).
struct ContentLine {
    std::string written;   // as it stood, folds included, without the final line break
    std::string unfolded;  // the logical line
    std::string name;      // the property name, upper-cased

    // "NAME;PARAM=..." before the value's colon (a colon inside a quoted
    // parameter value does not count), and the value after it. A line
    // without a colon is all head.
    std::string_view head() const;
    std::string_view value() const;
};

// A component as written: its BEGIN and END lines, its own properties and
// its subcomponents, in order.
struct RawComponent {
    std::string name;  // upper-cased, "VEVENT"
    ContentLine begin;
    ContentLine end;
    std::vector<ContentLine> properties;
    std::vector<RawComponent> children;
};

ContentLine content_line(std::string_view unfolded);

// The components of a text, lines outside any component left out. Lenient:
// an END that matches nothing is skipped, a component left open ends with
// the text. Line breaks may be CRLF or LF.
std::vector<RawComponent> parse_content_lines(std::string_view text);

// The text of a component: each line as it was written, CRLF after each.
void write_component(const RawComponent& component, std::string& out);

// A logical line folded after at most 75 octets, never inside a UTF-8
// character.
std::string fold_line(std::string_view unfolded);

}  // namespace wrenfold::caldav
