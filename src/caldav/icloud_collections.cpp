// The account's calendars themselves: made (MKCALENDAR), renamed and
// recoloured (PROPPATCH), deleted, and counted before a delete.
#include "caldav/icloud_caldav.h"

#include "caldav/webdav.h"
#include "core/random.h"

namespace wrenfold::caldav {

namespace {

[[noreturn]] void refused(const std::string& what, int status)
{
    if (status == 403)
        throw CalDavError(what + " failed: access denied (HTTP 403)");
    throw CalDavError(what + " failed: HTTP " + std::to_string(status));
}

}  // namespace

DiscoveredCalendar ICloudCalDAV::create_calendar(const std::string& name, const std::string& color)
{
    if (name.empty())
        throw CalDavError("a calendar needs a name");
    Url url = home().calendars;
    url.path += percent_encode_segment(new_uuid()) + "/";
    HttpResponse response = send({ "MKCALENDAR",
                                   to_string(url),
                                   { { "Content-Type", "application/xml; charset=utf-8" } },
                                   mkcalendar_body(name, color),
                                   std::nullopt });
    if (response.status != 201)
        refused("MKCALENDAR", response.status);
    return { to_string(url), name, color.empty() ? std::nullopt : std::optional(color), false, std::nullopt };
}

void ICloudCalDAV::update_calendar(const std::string& calendar_url, const std::optional<std::string>& name,
                                   const std::optional<std::string>& color)
{
    Url url = checked_calendar_url(calendar_url);
    if (name && name->empty())
        throw CalDavError("a calendar needs a name");
    if (!name && !color)
        return;
    HttpResponse response = send({ "PROPPATCH",
                                   to_string(url),
                                   { { "Content-Type", "application/xml; charset=utf-8" } },
                                   proppatch_calendar_body(name, color),
                                   std::nullopt });
    if (response.status / 100 != 2)
        refused("PROPPATCH", response.status);
    // A 207 lists each property with its own status; only those that took
    // come back, so one missing was refused (RFC 4918 §9.2.1).
    if (response.status == 207) {
        std::size_t taken = 0;
        for (const DavResponse& answer : parse_multistatus(response.body))
            taken += answer.props.size();
        if (taken < (name ? 1u : 0u) + (color ? 1u : 0u))
            throw CalDavError("the server refused to change the calendar");
    }
}

void ICloudCalDAV::delete_calendar(const std::string& calendar_url)
{
    Url url = checked_calendar_url(calendar_url);
    HttpResponse response = send({ "DELETE", to_string(url), {}, "", std::nullopt });
    if (response.status != 404 && response.status / 100 != 2)
        refused("DELETE", response.status);
}

std::size_t ICloudCalDAV::count_objects(const std::string& calendar_url)
{
    Url url = checked_calendar_url(calendar_url);
    std::size_t count = 0;
    for (const DavResponse& response : propfind(url, 1, { { kDavNs, "getetag" } }))
        if (!response.href.empty() && response.href.back() != '/')  // the collection itself, and any below it
            ++count;
    return count;
}

}  // namespace wrenfold::caldav
