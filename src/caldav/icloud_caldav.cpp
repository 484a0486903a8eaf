#include "caldav/icloud_caldav.h"

#include "core/random.h"

#include "caldav/curl_transport.h"
#include "caldav/fields.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"
#include "caldav/webdav.h"

#include <cstdlib>

namespace wrenfold::caldav {
namespace {

constexpr int kMaxRedirects = 5;
const char* const kDefaultServer = "https://caldav.icloud.com/";

[[noreturn]] void fail_status(const std::string& what, int status)
{
    switch (status) {
    case 401:
        throw CalDavError(what + " failed: the server refused the credentials (HTTP 401)");
    case 403:
        throw CalDavError(what + " failed: access denied (HTTP 403)");
    case 404:
        throw CalDavError(what + " failed: not found (HTTP 404)");
    case 412:
        throw CalDavError("the event was changed elsewhere (HTTP 412); reload it and try again");
    default:
        throw CalDavError(what + " failed: HTTP " + std::to_string(status));
    }
}

bool is_redirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A resource name from the UID when it is plain, a fresh one otherwise.
std::string resource_name(const std::string& uid)
{
    bool plain = !uid.empty() && uid.size() <= 200 &&
        uid.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.") ==
            std::string::npos &&
        uid.front() != '.';
    return (plain ? uid : new_uuid()) + ".ics";
}

bool is_icloud_host(const std::string& host)
{
    return host == "icloud.com" || host.ends_with(".icloud.com");
}

// Where discovery may lead from the root, before the account's password goes
// there: from iCloud, to iCloud's own https hosts only; from any other server
// (a test server on loopback), nowhere beyond the root's own origin.
void check_discovered(const Url& root, const Url& found, const char* what)
{
    bool allowed = is_icloud_host(root.host) ? found.scheme == "https" && is_icloud_host(found.host)
                                             : origin_of(found) == origin_of(root);
    if (!allowed)
        throw CalDavError(std::string("discovery failed: the ") + what + " lies on " + found.host +
                          ", which is not a server of this account");
}

Url collection(Url url)
{
    if (url.path.empty() || url.path.back() != '/')
        url.path += '/';
    return url;
}

// iCloud's calendar-color (Apple's ical namespace) is "#RRGGBBAA"; others
// send "#RRGGBB". The page wants the six-digit form.
std::string normalized_color(const std::string& raw)
{
    std::string text;
    for (char c : raw)
        if (!std::isspace(static_cast<unsigned char>(c)))
            text += c;
    if (text.size() != 7 && text.size() != 9)
        return {};
    if (text[0] != '#')
        return {};
    for (size_t i = 1; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return {};
    std::string color = text.substr(0, 7);
    for (char& c : color)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return color;
}

// DAV:current-user-privilege-set (RFC 3744 §5.4, asked for by RFC 4791 §6.3).
bool is_writable(const XmlElement* privileges)
{
    if (!privileges)
        return true;  // servers that do not say are taken as writable (the property is optional)
    for (const auto& privilege : privileges->children)
        for (const auto& granted : privilege.children)
            if (granted.ns == kDavNs &&
                (granted.name == "all" || granted.name == "write" || granted.name == "write-content" ||
                 granted.name == "bind"))
                return true;
    return false;
}

bool holds_events(const XmlElement* components)
{
    if (!components)
        return true;  // RFC 4791 §5.2.3: without the property, every component type is accepted
    for (const auto& comp : components->children)
        if (comp.name == "comp" && comp.attribute("name") == "VEVENT")
            return true;
    return false;
}

DiscoveredCalendar calendar_record(const Url& url, const DavResponse& response)
{
    DiscoveredCalendar record;
    record.url = to_string(url);
    std::string name;
    if (const auto* display = response.prop(kDavNs, "displayname"))
        name = display->text;
    record.name = name.empty() ? last_segment(url.path) : name;
    if (const auto* color = response.prop(kAppleNs, "calendar-color")) {
        std::string normalized = normalized_color(color->text);
        if (!normalized.empty())
            record.color = normalized;
    }
    record.read_only = !is_writable(response.prop(kDavNs, "current-user-privilege-set"));
    // The change tag: CalendarServer's getctag where the server has that
    // extension (iCloud does), else the collection's DAV:sync-token (RFC 6578 §4),
    // which also moves whenever a member changes.
    if (const auto* ctag = response.prop(kCalServerNs, "getctag"); ctag && !ctag->text.empty())
        record.ctag = ctag->text;
    else if (const auto* token = response.prop(kDavNs, "sync-token"); token && !token->text.empty())
        record.ctag = token->text;
    return record;
}

}  // namespace

ICloudCalDAV::ICloudCalDAV(std::string apple_id, std::string app_password, std::string home_tzid,
                           const std::string& server_root, std::unique_ptr<HttpTransport> transport)
    : m_credentials { std::move(apple_id), std::move(app_password) },
      m_home_tzid(std::move(home_tzid)),
      m_home_zone(home_zone_for(m_home_tzid)),
      m_transport(std::move(transport))
{
    auto root = parse_url(server_root);
    if (!root)
        throw CalDavError("invalid server address: " + server_root);
    root->path = normalize_path(root->path);
    m_root = collection(*root);
    m_origins.insert(origin_of(m_root));
}

bool ICloudCalDAV::origin_known(const std::string& origin)
{
    std::lock_guard lock(m_state_lock);
    return m_origins.count(origin) != 0;
}

void ICloudCalDAV::check_allowed(const Url& url)
{
    // Credentials go over TLS only (RFC 6764 §8), loopback test servers excepted.
    if (url.scheme != "https" && !is_loopback_host(url.host))
        throw CalDavError("refused to send the account's credentials over plain http to " + url.host);
    std::string origin = origin_of(url);
    if (origin_known(origin))
        return;
    home();  // learn the hosts of this account before judging
    if (!origin_known(origin))
        throw CalDavError("refused to contact " + url.host + ": not a server of this account");
}

HttpResponse ICloudCalDAV::send(HttpRequest request, bool follow_redirects)
{
    for (int hop = 0;; ++hop) {
        auto url = parse_url(request.url);
        if (!url)
            throw CalDavError("invalid URL: " + request.url);
        check_allowed(*url);
        request.credentials = m_credentials;
        HttpResponse response = m_transport->perform(request);
        // RFC 6585 §4 and RFC 9110 §15.6.4: the wait it asks for is obeyed
        // by whoever asks next, so it goes up with the failure.
        if (response.status == 429 || response.status == 503)
            throw ServerBusy(response.status,
                             parse_retry_after(response.header("retry-after"), std::chrono::system_clock::now()));
        // Redirects are followed (RFC 6764 §5 bootstraps through them), a
        // bounded number of times and only to origins discovery reached, so
        // that the credentials never go anywhere else.
        if (!follow_redirects || !is_redirect(response.status))
            return response;
        std::string location = response.header("location");
        if (location.empty() || hop >= kMaxRedirects)
            return response;
        auto target = resolve_href(*url, location);
        if (!target)
            throw CalDavError("the server redirected to an invalid address");
        if (!origin_known(origin_of(*target)))
            throw CalDavError("the server redirected to " + target->host + ", which is not a server of this account");
        request.url = to_string(*target);
    }
}

std::vector<DavResponse> ICloudCalDAV::propfind(const Url& url, int depth,
                                                const std::vector<std::pair<const char*, const char*>>& props)
{
    HttpRequest request { "PROPFIND",
                          to_string(url),
                          { { "Depth", std::to_string(depth) }, { "Content-Type", "application/xml; charset=utf-8" } },
                          propfind_body(props),
                          std::nullopt };
    HttpResponse response = send(std::move(request));
    if (response.status != 207)  // RFC 4918 §9.1: PROPFIND answers 207 Multi-Status
        fail_status("PROPFIND", response.status);
    return parse_multistatus(response.body);
}

ICloudCalDAV::Home ICloudCalDAV::home()
{
    std::lock_guard discovery(m_discovery_lock);
    {
        std::lock_guard lock(m_state_lock);
        if (m_home)
            return *m_home;
    }
    auto first_href = [](const std::vector<DavResponse>& responses, const char* ns, const char* name) -> std::string {
        for (const auto& response : responses)
            if (const auto* prop = response.prop(ns, name))
                if (auto hrefs = prop->hrefs(); !hrefs.empty())
                    return hrefs.front();
        return {};
    };
    // RFC 6764 §6: the root names the current-user-principal (RFC 5397), the
    // principal names its calendar-home-set (RFC 4791 §6.2.1).
    std::string principal_href =
        first_href(propfind(m_root, 0, { { kDavNs, "current-user-principal" } }), kDavNs, "current-user-principal");
    if (principal_href.empty())
        throw CalDavError("discovery failed: the server named no principal for this account");
    auto principal = resolve_href(m_root, principal_href);
    if (!principal)
        throw CalDavError("discovery failed: invalid principal address");
    check_discovered(m_root, *principal, "principal");
    {
        std::lock_guard lock(m_state_lock);
        m_origins.insert(origin_of(*principal));
    }
    std::string home_href =
        first_href(propfind(*principal, 0, { { kCalDavNs, "calendar-home-set" } }), kCalDavNs, "calendar-home-set");
    if (home_href.empty())
        throw CalDavError("discovery failed: the server named no calendar home");
    auto calendars = resolve_href(*principal, home_href);
    if (!calendars)
        throw CalDavError("discovery failed: invalid calendar home address");
    check_discovered(m_root, *calendars, "calendar home");
    std::lock_guard lock(m_state_lock);
    m_origins.insert(origin_of(*calendars));
    m_home = Home { *principal, collection(*calendars) };
    return *m_home;
}

AuthResult ICloudCalDAV::check_auth()
{
    HttpRequest request { "PROPFIND",
                          to_string(m_root),
                          { { "Depth", "0" }, { "Content-Type", "application/xml; charset=utf-8" } },
                          propfind_body({ { kDavNs, "current-user-principal" } }),
                          std::nullopt };
    HttpResponse response = send(std::move(request));
    if (response.status == 207 || response.status == 200)
        return { true, response.status };
    if (response.status == 401 || response.status == 403)
        return { false, response.status };
    throw CalDavError("sign-in check failed: unexpected answer HTTP " + std::to_string(response.status));
}

void ICloudCalDAV::forget_home()
{
    std::lock_guard lock(m_state_lock);
    m_home.reset();
}

std::vector<DiscoveredCalendar> ICloudCalDAV::discover()
{
    Home account = home();
    const std::vector<std::pair<const char*, const char*>> props { { kDavNs, "resourcetype" },
                                                                   { kDavNs, "displayname" },
                                                                   { kAppleNs, "calendar-color" },
                                                                   { kCalDavNs, "supported-calendar-component-set" },
                                                                   { kDavNs, "current-user-privilege-set" },
                                                                   { kCalServerNs, "getctag" },
                                                                   { kDavNs, "sync-token" } };
    auto request = [&] {
        return HttpRequest { "PROPFIND",
                             to_string(account.calendars),
                             { { "Depth", "1" }, { "Content-Type", "application/xml; charset=utf-8" } },
                             propfind_body(props),
                             std::nullopt };
    };
    HttpResponse answer = send(request(), false);
    if (answer.status == 404 || is_redirect(answer.status)) {
        // The account moved on the server (iCloud answers the old home with 404
        // or a redirect after moving it to another partition): find its home again, once.
        forget_home();
        account = home();
        answer = send(request());
    }
    if (answer.status != 207)
        fail_status("PROPFIND", answer.status);
    auto responses = parse_multistatus(answer.body);
    std::vector<DiscoveredCalendar> calendars;
    for (const auto& response : responses) {
        auto url = resolve_href(account.calendars, response.href);
        if (!url)
            continue;
        *url = collection(*url);
        // A Depth 1 PROPFIND lists the home itself too (RFC 4918 §9.1).
        if (url->path == account.calendars.path && origin_of(*url) == origin_of(account.calendars))
            continue;
        const auto* type = response.prop(kDavNs, "resourcetype");
        if (!type || !type->has_child(kCalDavNs, "calendar"))
            continue;
        // Scheduling inbox and outbox (RFC 6638 §2.1, §2.2) hold no user events.
        if (type->has_child(kCalDavNs, "schedule-inbox") || type->has_child(kCalDavNs, "schedule-outbox"))
            continue;
        if (!holds_events(response.prop(kCalDavNs, "supported-calendar-component-set")))
            continue;
        {
            std::lock_guard lock(m_state_lock);
            if (!m_origins.count(origin_of(*url)))
                continue;  // a calendar elsewhere is not trusted
        }
        calendars.push_back(calendar_record(*url, response));
    }
    return calendars;
}

Url ICloudCalDAV::checked_url(const std::string& text)
{
    auto url = parse_url(text);
    if (!url)
        throw CalDavError("invalid URL: " + text);
    url->path = normalize_path(url->path);
    check_allowed(*url);
    return *url;
}

Url ICloudCalDAV::checked_event_url(const std::string& text)
{
    auto refuse = [&]() {
        return CalDavError("refused: " + text + " is not the address of an event in a calendar of this account");
    };
    if (has_dot_segment(text))
        throw refuse();
    Url url = checked_url(text);
    Home account = home();
    if (origin_of(url) != origin_of(account.calendars) || !is_event_path(account.calendars.path, url.path))
        throw refuse();
    return url;
}

Url ICloudCalDAV::checked_calendar_url(const std::string& text)
{
    auto refuse = [&]() {
        return CalDavError("refused: " + text + " is not the address of a calendar of this account");
    };
    if (has_dot_segment(text))
        throw refuse();
    Url url = collection(checked_url(text));
    Home account = home();
    if (origin_of(url) != origin_of(account.calendars) || !is_calendar_path(account.calendars.path, url.path))
        throw refuse();
    return url;
}

EditContext ICloudCalDAV::edit_context() const
{
    return { m_home_zone, m_home_tzid, std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) };
}

std::vector<EventRecord> ICloudCalDAV::list_events(const std::string& calendar_url, std::chrono::year_month_day start,
                                                   std::chrono::year_month_day end)
{
    if (!start.ok() || !end.ok())
        throw CalDavError("invalid date range");
    Url calendar = collection(checked_url(calendar_url));
    TimeRange range { home_midnight(start, m_home_zone), home_midnight(end, m_home_zone) };
    std::vector<EventRecord> events;
    if (range.end <= range.start)
        return events;
    // A day of margin on both sides: servers compare floating and all-day
    // values in their own zone (RFC 4791 §9.9); the exact cut is made here.
    const std::chrono::seconds margin(86400);
    HttpRequest request { "REPORT",
                          to_string(calendar),
                          { { "Depth", "1" }, { "Content-Type", "application/xml; charset=utf-8" } },
                          calendar_query_body(caldav_utc_stamp(range.start - margin),
                                              caldav_utc_stamp(range.end + margin)),
                          std::nullopt };
    HttpResponse response = send(std::move(request));
    if (response.status != 207)
        fail_status("REPORT", response.status);
    for (const auto& resource : parse_multistatus(response.body)) {
        const auto* data = resource.prop(kCalDavNs, "calendar-data");
        if (!data || data->text.empty())
            continue;
        auto url = resolve_href(calendar, resource.href);
        if (!url)
            continue;
        const auto* etag = resource.prop(kDavNs, "getetag");
        IcalPtr parsed = parse_calendar(data->text);
        expand_resource(parsed.get(), { to_string(*url), etag ? etag->text : "" }, range, m_home_zone, events);
        if (events.size() > kMaxOccurrencesPerCalendar)
            throw TooManyOccurrences();
    }
    return events;
}

HttpResponse ICloudCalDAV::get(const Url& url)
{
    return send({ "GET", to_string(url), { { "Accept", "text/calendar" } }, "", std::nullopt });
}

ICloudCalDAV::Stored ICloudCalDAV::fetch(const Url& url)
{
    HttpResponse response = get(url);
    if (response.status != 200)
        fail_status("GET", response.status);
    std::string etag = response.header("etag");
    if (etag.empty())  // some servers leave it off a GET; DAV:getetag (RFC 4918 §15.6) has it
        etag = fetch_etag(url);
    return { std::move(response.body), std::move(etag) };
}

std::string ICloudCalDAV::fetch_etag(const Url& url)
{
    for (const auto& response : propfind(url, 0, { { kDavNs, "getetag" } }))
        if (const auto* etag = response.prop(kDavNs, "getetag"))
            return etag->text;
    return {};
}

EventRecord ICloudCalDAV::get_event(const std::string& event_url)
{
    Url url = checked_event_url(event_url);
    Stored stored = fetch(url);
    IcalPtr calendar = parse_calendar(stored.ics);
    return master_record(calendar.get(), { to_string(url), stored.etag }, m_home_zone);
}

std::string ICloudCalDAV::put(const Url& url, const std::string& ics, const std::string& condition_header,
                              const std::string& condition)
{
    HttpRequest request {
        "PUT", to_string(url), { { "Content-Type", "text/calendar; charset=utf-8" } }, ics, std::nullopt
    };
    if (!condition.empty())
        request.headers.emplace_back(condition_header, condition);
    HttpResponse response = send(std::move(request));
    // If-None-Match: * refuses to overwrite a resource of the same name
    // (RFC 4791 §5.3.2, RFC 7232 §3.2).
    if (response.status == 412 && condition_header == "If-None-Match")
        throw CalDavError("an event with this UID already exists in the calendar (HTTP 412)");
    if (response.status / 100 != 2)
        fail_status("PUT", response.status);
    // RFC 4791 §5.3.4: a server that changed the data on storing it sends no ETag.
    std::string etag = response.header("etag");
    if (!etag.empty())
        return etag;
    try {
        return fetch_etag(url);
    } catch (const CalDavError&) {
        // The object is stored: failing now would report a done write as
        // undone (a move would leave the original beside its copy). Without
        // an ETag the next edit is guarded by the one it reads.
        return {};
    }
}

void ICloudCalDAV::remove(const Url& url, const std::string& etag)
{
    HttpRequest request { "DELETE", to_string(url), {}, "", std::nullopt };
    if (!etag.empty())  // RFC 7232 §3.1: never delete a version the caller has not seen
        request.headers.emplace_back("If-Match", etag);
    HttpResponse response = send(std::move(request));
    if (response.status == 404 || response.status / 100 == 2)  // already gone counts as deleted
        return;
    fail_status("DELETE", response.status);
}

std::optional<bool> ICloudCalDAV::exists(const Url& url)
{
    try {
        HttpResponse response = get(url);
        if (response.status == 200)
            return true;
        if (response.status == 404 || response.status == 410)
            return false;
    } catch (const CalDavError&) {
    }
    return std::nullopt;
}

WriteResult ICloudCalDAV::create_event(const std::string& calendar_url, const Json& fields_json)
{
    EventFields fields = parse_fields(fields_json);
    Url calendar = checked_calendar_url(calendar_url);
    std::string uid = fields.uid.value_or(new_uuid());
    EditContext context = edit_context();
    if (fields.tzid) {
        context.home = home_zone_for(*fields.tzid);
        context.home_tzid = *fields.tzid;
    }
    std::string ics = new_event_ics(fields, uid, context);
    Url url = calendar;
    url.path += percent_encode_segment(resource_name(uid));
    std::string etag = put(url, ics, "If-None-Match", "*");
    return { to_string(url), etag, uid };
}

WriteResult ICloudCalDAV::update_event(const std::string& event_url, const std::string& etag, const Json& fields_json)
{
    EventFields fields = parse_fields(fields_json);
    Url url = checked_event_url(event_url);
    Stored stored = fetch(url);
    EditedObject object = open_for_edit(stored.ics);
    std::string uid = new_uuid();
    IcalPtr later =
        fields.from_here_on ? split_series(object.calendar.get(), *fields.recurrence_id, uid, edit_context()) : nullptr;
    fields.whole_series = fields.whole_series || fields.from_here_on;
    if (!later) {
        apply_fields(object.calendar.get(), fields, edit_context());
        // Without a caller's ETag the one just read still guards against a change in between.
        std::string new_etag = put(url, write_back(object), "If-Match", etag.empty() ? stored.etag : etag);
        return { to_string(url), new_etag, std::nullopt };
    }
    // The following events first: should the series' end then fail to be
    // stored, they are taken back and nothing has changed.
    apply_fields(later.get(), fields, edit_context());
    Url later_url = url;  // beside it, in the same calendar
    later_url.path = url.path.substr(0, url.path.rfind('/') + 1) + percent_encode_segment(resource_name(uid));
    std::string later_etag = put(later_url, serialize(later.get()), "If-None-Match", "*");
    try {
        put(url, write_back(object), "If-Match", etag.empty() ? stored.etag : etag);
    } catch (const CalDavError&) {
        try {
            remove(later_url, later_etag);
        } catch (const CalDavError&) {
        }
        throw;
    }
    return { to_string(later_url), later_etag, uid };
}

WriteResult ICloudCalDAV::move_event(const std::string& event_url, const std::string& new_calendar_url,
                                     const Json& fields_json, const std::string& etag)
{
    EventFields fields = parse_fields(fields_json);
    Url old_url = checked_event_url(event_url);
    Url calendar = checked_calendar_url(new_calendar_url);
    if (origin_of(old_url) == origin_of(calendar) && old_url.path.rfind(calendar.path, 0) == 0)
        return update_event(event_url, etag, fields_json);
    if (fields.recurrence_id && !fields.whole_series)
        throw CalDavError("one occurrence cannot go to another calendar alone; move the whole event");
    Stored stored = fetch(old_url);
    EditedObject object = open_for_edit(stored.ics);
    apply_fields(object.calendar.get(), fields, edit_context());
    // A PUT into the target and a DELETE of the source rather than WebDAV
    // MOVE (RFC 4918 §9.9): the object is rewritten with the changed fields
    // on the way.
    Url new_url = calendar;
    new_url.path += percent_encode_segment(last_segment(old_url.path));
    std::string new_etag = put(new_url, write_back(object), "If-None-Match", "*");
    try {
        remove(old_url, etag.empty() ? stored.etag : etag);
    } catch (const CalDavError&) {
        // A delete whose answer was lost may have gone through: the copy is
        // taken back only while the original is known to be still there.
        std::optional<bool> original = exists(old_url);
        if (original == false)
            return { to_string(new_url), new_etag, std::nullopt };
        if (original == true) {
            try {
                remove(new_url, new_etag);
            } catch (const CalDavError&) {
                // The copy stays; the caller hears of the failed delete.
            }
        }
        throw;
    }
    return { to_string(new_url), new_etag, std::nullopt };
}

std::string ICloudCalDAV::export_event(const std::string& event_url)
{
    return fetch(checked_event_url(event_url)).ics;
}

WriteResult ICloudCalDAV::import_event(const std::string& calendar_url, const std::string& ics, const Json& fields_json)
{
    EventFields fields = parse_fields(fields_json);
    if (fields.recurrence_id && !fields.whole_series)
        throw CalDavError("one occurrence cannot go to another calendar alone; move the whole event");
    Url calendar = checked_calendar_url(calendar_url);
    EditedObject object = open_for_edit(ics);
    icalcomponent* parsed = object.calendar.get();
    apply_fields(parsed, fields, edit_context());
    icalcomponent* master = master_event(parsed);
    const char* stored_uid = icalcomponent_get_uid(master);
    std::string uid = stored_uid && *stored_uid ? stored_uid : fields.uid.value_or(new_uuid());
    // RFC 5545 §3.8.4.7: every component of a recurrence set shares the UID.
    if (!stored_uid || !*stored_uid)
        for (icalcomponent* e = icalcomponent_get_first_component(parsed, ICAL_VEVENT_COMPONENT); e;
             e = icalcomponent_get_next_component(parsed, ICAL_VEVENT_COMPONENT))
            icalcomponent_set_uid(e, uid.c_str());
    Url url = calendar;
    url.path += percent_encode_segment(resource_name(uid));
    std::string etag = put(url, write_back(object), "If-None-Match", "*");
    return { to_string(url), etag, uid };
}

WriteResult ICloudCalDAV::restore_event(const std::string& event_url, const std::string& ics, const std::string& etag)
{
    Url url = checked_event_url(event_url);
    IcalPtr parsed = parse_calendar(ics);
    master_event(parsed.get());  // refuses an object that holds no event
    // Never over a version the caller has not seen, and never over an object
    // that came back in between when the one undone was a delete.
    std::string new_etag = etag.empty() ? put(url, ics, "If-None-Match", "*") : put(url, ics, "If-Match", etag);
    return { to_string(url), new_etag, std::nullopt };
}

WriteResult ICloudCalDAV::delete_event(const std::string& event_url, const std::optional<std::string>& etag)
{
    Url url = checked_event_url(event_url);
    remove(url, etag.value_or(""));
    return {};
}

WriteResult ICloudCalDAV::remove_part(const std::string& event_url, const std::optional<std::string>& etag,
                                      const std::function<bool(icalcomponent*)>& cut)
{
    Url url = checked_event_url(event_url);
    Stored stored = fetch(url);
    EditedObject object = open_for_edit(stored.ics);
    std::string given = etag.value_or("");
    if (cut(object.calendar.get())) {
        remove(url, given.empty() ? stored.etag : given);
        return {};
    }
    std::string new_etag = put(url, write_back(object), "If-Match", given.empty() ? stored.etag : given);
    return { to_string(url), new_etag, std::nullopt };
}

WriteResult ICloudCalDAV::delete_occurrence(const std::string& event_url, const std::string& recurrence_id,
                                            const std::optional<std::string>& etag)
{
    return remove_part(event_url, etag, [&](icalcomponent* calendar) {
        return remove_occurrence(calendar, recurrence_id, edit_context());
    });
}

WriteResult ICloudCalDAV::delete_following(const std::string& event_url, const std::string& recurrence_id,
                                           const std::optional<std::string>& etag)
{
    return remove_part(event_url, etag, [&](icalcomponent* calendar) {
        return end_series_before(calendar, recurrence_id, edit_context());
    });
}

SyncDelta ICloudCalDAV::sync_calendar(const std::string& calendar_url, const SyncKnown& known)
{
    std::string calendar = to_string(checked_calendar_url(calendar_url));
    auto request = [&](const std::string& method, const std::string& depth, const std::string& body) {
        return send({ method,
                      calendar,
                      { { "Depth", depth }, { "Content-Type", "application/xml; charset=utf-8" } },
                      body,
                      std::nullopt });
    };
    return caldav::sync_calendar(request, calendar, known);
}

std::unique_ptr<CalendarEngine> make_icloud_engine(std::string apple_id, std::string app_password,
                                                   std::string home_tzid, std::shared_ptr<const TransferAbort> abort)
{
    const char* server = std::getenv("WRENFOLD_CALDAV_URL");
    std::string root = server && *server ? server : kDefaultServer;
    return std::make_unique<ICloudCalDAV>(std::move(apple_id), std::move(app_password), std::move(home_tzid), root,
                                          std::make_unique<CurlTransport>(std::move(abort)));
}

}  // namespace wrenfold::caldav
