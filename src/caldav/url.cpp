#include "caldav/url.h"

#include "core/hex.h"

#include <vector>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace wrenfold::caldav {
namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool kept_as_is(unsigned char c)
{
    if (std::isalnum(c))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
        return true;
    default:
        return false;
    }
}

std::string percent_decode(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = hex_digit_value(text[i + 1]);
            int lo = hex_digit_value(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// Removes "." and ".." segments (RFC 3986, 5.2.4).
std::string remove_dot_segments(const std::string& path)
{
    std::string out;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t next = path.find('/', pos + 1);
        std::string segment = path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        if (segment == "/.") {
            if (next == std::string::npos)
                out += "/";
        } else if (segment == "/..") {
            auto cut = out.rfind('/');
            out.erase(cut == std::string::npos ? 0 : cut);
            if (next == std::string::npos)
                out += "/";
        } else {
            out += segment;
        }
        if (next == std::string::npos)
            break;
        pos = next;
    }
    return out.empty() ? "/" : out;
}

}  // namespace

std::string percent_encode_segment(const std::string& text)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (kept_as_is(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

std::optional<Url> parse_url(const std::string& text)
{
    auto scheme_end = text.find("://");
    if (scheme_end == std::string::npos)
        return std::nullopt;
    Url url;
    url.scheme = lower(text.substr(0, scheme_end));
    if (url.scheme != "http" && url.scheme != "https")
        return std::nullopt;
    size_t authority_start = scheme_end + 3;
    size_t path_start = text.find_first_of("/?#", authority_start);
    std::string authority = text.substr(
        authority_start, path_start == std::string::npos ? std::string::npos : path_start - authority_start);
    if (authority.find('@') != std::string::npos)
        return std::nullopt;  // no user info in URLs
    std::string port_text;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        url.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return std::nullopt;
            port_text = authority.substr(close + 2);
        }
    } else {
        auto colon = authority.rfind(':');
        url.host = authority.substr(0, colon);
        if (colon != std::string::npos)
            port_text = authority.substr(colon + 1);
    }
    url.host = lower(url.host);
    if (url.host.empty())
        return std::nullopt;
    url.port = url.scheme == "https" ? 443 : 80;
    if (!port_text.empty()) {
        int port = 0;
        auto [end, ec] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
        if (ec != std::errc() || end != port_text.data() + port_text.size() || port <= 0 || port > 65535)
            return std::nullopt;
        url.port = port;
    }
    std::string rest = path_start == std::string::npos ? "/" : text.substr(path_start);
    if (auto hash = rest.find('#'); hash != std::string::npos)
        rest.erase(hash);
    if (rest.empty() || rest.front() != '/')
        rest.insert(0, "/");
    url.path = rest;
    return url;
}

std::string origin_of(const Url& url)
{
    std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    return url.scheme + "://" + host + ":" + std::to_string(url.port);
}

std::string to_string(const Url& url)
{
    std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    bool default_port = (url.scheme == "https" && url.port == 443) || (url.scheme == "http" && url.port == 80);
    return url.scheme + "://" + host + (default_port ? "" : ":" + std::to_string(url.port)) + url.path;
}

// Servers send hrefs absolute, host-relative or path-relative (RFC 4918 §8.3),
// with blanks around them at times.
std::optional<Url> resolve_href(const Url& base, const std::string& raw_href)
{
    std::string href = raw_href;
    auto not_space = [](unsigned char c) { return !std::isspace(c); };
    href.erase(href.begin(), std::find_if(href.begin(), href.end(), not_space));
    href.erase(std::find_if(href.rbegin(), href.rend(), not_space).base(), href.end());
    if (href.empty())
        return std::nullopt;
    if (href.find("://") != std::string::npos) {
        auto url = parse_url(href);
        if (url)
            url->path = normalize_path(url->path);
        return url;
    }
    Url url = base;
    if (href.rfind("//", 0) == 0)
        return resolve_href(base, base.scheme + ":" + href);
    if (href.front() == '/') {
        url.path = href;
    } else {
        std::string dir = base.path.substr(0, base.path.find('?'));
        dir.erase(dir.rfind('/') + 1);
        url.path = dir + href;
    }
    url.path = normalize_path(url.path);
    return url;
}

std::string normalize_path(const std::string& raw)
{
    std::string path = raw;
    std::string query;
    if (auto q = path.find('?'); q != std::string::npos) {
        query = path.substr(q);
        path.erase(q);
    }
    if (path.empty() || path.front() != '/')
        path.insert(0, "/");
    std::string out;
    size_t pos = 1;
    while (true) {
        size_t next = path.find('/', pos);
        std::string segment = path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        std::string decoded = percent_decode(segment);
        std::string encoded;
        // A decoded "/" would split the segment: keep it encoded.
        size_t start = 0;
        while (true) {
            size_t slash = decoded.find('/', start);
            encoded += percent_encode_segment(
                decoded.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
            if (slash == std::string::npos)
                break;
            encoded += "%2F";
            start = slash + 1;
        }
        out += "/" + encoded;
        if (next == std::string::npos)
            break;
        pos = next + 1;
    }
    return remove_dot_segments(out) + query;
}

bool is_loopback_host(const std::string& host)
{
    if (host == "localhost" || host == "::1")
        return true;
    if (host.rfind("127.", 0) != 0)
        return false;
    return std::all_of(host.begin(), host.end(),
                       [](char c) { return c == '.' || std::isdigit(static_cast<unsigned char>(c)); });
}

std::string last_segment(const std::string& path)
{
    std::string trimmed = path.substr(0, path.find('?'));
    while (!trimmed.empty() && trimmed.back() == '/')
        trimmed.pop_back();
    return percent_decode(trimmed.substr(trimmed.rfind('/') + 1));
}

bool has_dot_segment(const std::string& url_text)
{
    size_t scheme = url_text.find("://");
    size_t start = url_text.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (start == std::string::npos)
        return false;
    std::string path = url_text.substr(start, url_text.find_first_of("?#", start) - start);
    for (size_t pos = 1; pos <= path.size();) {
        size_t next = std::min(path.find('/', pos), path.size());
        std::string segment = percent_decode(path.substr(pos, next - pos));
        if (segment == "." || segment == "..")
            return true;
        pos = next + 1;
    }
    return false;
}

namespace {

// The segments of `path` after `home_path`, or none when it is not below.
std::optional<std::vector<std::string>> segments_below(const std::string& home_path, const std::string& path)
{
    if (home_path.empty() || home_path.back() != '/' || path.find('?') != std::string::npos)
        return std::nullopt;
    if (path.size() <= home_path.size() || path.compare(0, home_path.size(), home_path) != 0)
        return std::nullopt;
    std::vector<std::string> out;
    std::string rest = path.substr(home_path.size());
    for (size_t pos = 0; pos <= rest.size();) {
        size_t next = std::min(rest.find('/', pos), rest.size());
        out.push_back(rest.substr(pos, next - pos));
        pos = next + 1;
    }
    return out;
}

bool plain_segment(const std::string& segment)
{
    return !segment.empty() && segment != "." && segment != "..";
}

}  // namespace

bool is_calendar_path(const std::string& home_path, const std::string& path)
{
    auto segments = segments_below(home_path, path);
    return segments && segments->size() == 2 && plain_segment((*segments)[0]) && (*segments)[1].empty();
}

bool is_event_path(const std::string& home_path, const std::string& path)
{
    auto segments = segments_below(home_path, path);
    return segments && segments->size() == 2 && plain_segment((*segments)[0]) && plain_segment((*segments)[1]);
}

bool is_inside_calendar(const std::string& calendar_url, const std::string& event_url)
{
    if (calendar_url.empty() || calendar_url.back() != '/' || has_dot_segment(event_url))
        return false;
    if (event_url.size() <= calendar_url.size() || event_url.compare(0, calendar_url.size(), calendar_url) != 0)
        return false;
    std::string name = event_url.substr(calendar_url.size());
    return name.find_first_of("/?#") == std::string::npos;
}

}  // namespace wrenfold::caldav
