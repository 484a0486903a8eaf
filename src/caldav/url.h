#pragma once

#include <optional>
#include <string>

namespace wrenfold::caldav {

// An absolute http(s) URL split into the parts the engine reasons about.
// The path keeps its query, if any; fragments are dropped.
struct Url {
    std::string scheme;  // lower case: "http" or "https"
    std::string host;    // lower case, IPv6 literals without brackets
    int port = 0;        // explicit or the scheme's default
    std::string path;    // begins with "/"
};

std::optional<Url> parse_url(const std::string& text);

// "scheme://host:port", the unit that credentials are bound to.
std::string origin_of(const Url& url);

std::string to_string(const Url& url);

// Resolves an href from a server answer (absolute URL, absolute path or
// relative path) against the URL of the request; nullopt when unusable.
std::optional<Url> resolve_href(const Url& base, const std::string& href);

// One spelling per path: every segment is percent-decoded and encoded again
// the same way (so "alice@example.com" and "alice%40example.com" agree), and
// hex digits are upper case. "%2F" inside a segment stays encoded.
std::string normalize_path(const std::string& path);

// 127.0.0.0/8, ::1 and "localhost".
bool is_loopback_host(const std::string& host);

// The last non-empty path segment, percent-decoded ("" for "/").
std::string last_segment(const std::string& path);

std::string percent_encode_segment(const std::string& text);

// Whether the path of a URL as written holds a "." or ".." segment, also
// percent-encoded: such an address is never taken for an event.
bool has_dot_segment(const std::string& url_text);

// For normalised paths below the calendar home `home_path` (ending in "/"):
// "home/calendar/" names a calendar, "home/calendar/resource" an event in it.
bool is_calendar_path(const std::string& home_path, const std::string& path);
bool is_event_path(const std::string& home_path, const std::string& path);

// Whether `event_url` names one resource directly inside the calendar at
// `calendar_url` (which ends in "/"), compared as written.
bool is_inside_calendar(const std::string& calendar_url, const std::string& event_url);

}  // namespace wrenfold::caldav
