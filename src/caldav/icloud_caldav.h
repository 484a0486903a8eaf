#pragma once

#include "caldav/engine.h"
#include "caldav/http.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_time.h"
#include "caldav/url.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace wrenfold::caldav {

struct DavResponse;

// The CalDAV engine of one account. Credentials go only to the origins that
// this account's own discovery reached, over TLS except to loopback hosts.
class ICloudCalDAV final : public CalendarEngine {
public:
    ICloudCalDAV(std::string apple_id, std::string app_password, std::string home_tzid, const std::string& server_root,
                 std::unique_ptr<HttpTransport> transport);

    AuthResult check_auth() override;
    std::vector<DiscoveredCalendar> discover() override;
    std::vector<EventRecord> list_events(const std::string& calendar_url, std::chrono::year_month_day start,
                                         std::chrono::year_month_day end) override;
    EventRecord get_event(const std::string& event_url) override;
    WriteResult create_event(const std::string& calendar_url, const Json& fields) override;
    WriteResult update_event(const std::string& event_url, const std::string& etag, const Json& fields) override;
    WriteResult move_event(const std::string& event_url, const std::string& new_calendar_url, const Json& fields,
                           const std::string& etag) override;
    WriteResult delete_event(const std::string& event_url, const std::optional<std::string>& etag) override;
    WriteResult delete_occurrence(const std::string& event_url, const std::string& recurrence_id,
                                  const std::optional<std::string>& etag) override;
    WriteResult delete_following(const std::string& event_url, const std::string& recurrence_id,
                                 const std::optional<std::string>& etag) override;
    std::string export_event(const std::string& event_url) override;
    WriteResult import_event(const std::string& calendar_url, const std::string& ics, const Json& fields) override;
    bool can_sync() const override { return true; }
    SyncDelta sync_calendar(const std::string& calendar_url, const SyncKnown& known) override;
    WriteResult restore_event(const std::string& event_url, const std::string& ics, const std::string& etag) override;
    DiscoveredCalendar create_calendar(const std::string& name, const std::string& color) override;
    void update_calendar(const std::string& calendar_url, const std::optional<std::string>& name,
                         const std::optional<std::string>& color) override;
    void delete_calendar(const std::string& calendar_url) override;
    std::size_t count_objects(const std::string& calendar_url) override;

private:
    struct Home {
        Url principal;
        Url calendars;
    };
    struct Stored {
        std::string ics;
        std::string etag;
    };

    HttpResponse send(HttpRequest request, bool follow_redirects = true);
    void check_allowed(const Url& url);
    bool origin_known(const std::string& origin);
    Home home();
    std::vector<DavResponse> propfind(const Url& url, int depth,
                                      const std::vector<std::pair<const char*, const char*>>& props);
    Url checked_url(const std::string& text);
    // Addresses that edits accept: an event strictly inside a calendar of
    // this account, or such a calendar. Anything else is refused before any
    // request is made to it.
    Url checked_event_url(const std::string& text);
    Url checked_calendar_url(const std::string& text);
    EditContext edit_context() const;
    void forget_home();
    Stored fetch(const Url& url);
    std::string fetch_etag(const Url& url);
    std::string put(const Url& url, const std::string& ics, const std::string& condition_header,
                    const std::string& condition);
    void remove(const Url& url, const std::string& etag);
    // Part of a stored series taken out by `cut` (true when nothing is
    // left): the object written back, or deleted.
    WriteResult remove_part(const std::string& event_url, const std::optional<std::string>& etag,
                            const std::function<bool(icalcomponent*)>& cut);
    // The GET of one calendar object, whatever its status.
    HttpResponse get(const Url& url);
    // Whether the resource is there; nothing when the server does not tell.
    std::optional<bool> exists(const Url& url);

    Credentials m_credentials;
    std::string m_home_tzid;
    icaltimezone* m_home_zone;
    Url m_root;
    std::unique_ptr<HttpTransport> m_transport;

    std::mutex m_discovery_lock;  // one discovery at a time
    std::mutex m_state_lock;      // guards the two members below
    std::set<std::string> m_origins;
    std::optional<Home> m_home;
};

}  // namespace wrenfold::caldav
