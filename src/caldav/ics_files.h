#pragma once

// .ics files: one file holds many events, a calendar server one object per
// UID. Lines are carried as written, so nothing another program put in the
// file is changed on the way.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold::caldav {

// One calendar object to store: every VEVENT of one UID (a series and its
// overrides), the VTIMEZONEs they name, in a VCALENDAR of their own.
struct IcsObject {
    std::string uid;
    std::string text;
};

// The objects of a file, in the order their UIDs first appear. An event
// without a UID gets one from `new_uid`, as an object of its own. METHOD
// (scheduling messages) is left out: a stored object holds none. Throws
// CalDavError when the text holds no VCALENDAR with an event.
std::vector<IcsObject> split_ics(std::string_view text, const std::function<std::string()>& new_uid);

// One file of stored objects: a VCALENDAR with each VTIMEZONE once (by its
// TZID) and every event of every object, lines as written.
std::string join_ics(const std::vector<std::string>& objects);

}  // namespace wrenfold::caldav
