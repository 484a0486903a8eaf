#include "caldav/calendar_sync.h"

#include "caldav/engine.h"
#include "caldav/url.h"
#include "caldav/webdav.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <set>

namespace wrenfold::caldav {
namespace {

// Objects asked for in one calendar-multiget: big enough to keep the
// requests few, small enough that one answer stays a few megabytes.
constexpr std::size_t kMultigetBatch = 100;
// A server that truncates its answer (507, RFC 6578 §3.6) is asked again from
// the token it gave, this many times at most.
constexpr int kMaxContinuations = 1000;

[[noreturn]] void fail(const char* what, int status)
{
    if (status == 401)
        throw CalDavError(std::string(what) + " failed: the server refused the credentials (HTTP 401)");
    throw CalDavError(std::string(what) + " failed: HTTP " + std::to_string(status));
}

// The member's URL, when the href names an object directly inside the
// calendar; a server's answer naming anything else is not taken.
std::optional<std::string> member_url(const Url& calendar, const std::string& href)
{
    auto url = resolve_href(calendar, href);
    if (!url || url->path.find('?') != std::string::npos)
        return std::nullopt;
    url->path = normalize_path(url->path);
    std::string text = to_string(*url);
    if (origin_of(*url) != origin_of(calendar) || !is_inside_calendar(to_string(calendar), text))
        return std::nullopt;
    return text;
}

std::string etag_of(const DavResponse& response)
{
    const auto* etag = response.prop(kDavNs, "getetag");
    return etag ? etag->text : "";
}

// Changes reported since a token: object URL -> new ETag, and URLs gone.
struct TokenChanges {
    std::map<std::string, std::string> changed;
    std::set<std::string> deleted;
    std::string sync_token;
};

enum class TokenRefusal { None, Refused, Unsupported };

// RFC 6578 §3.2: a sync-collection REPORT, Depth 0, from the token; its
// answer lists members changed (with their ETag) and removed (404).
std::pair<TokenRefusal, TokenChanges> changes_since(const CollectionRequest& request, const Url& calendar,
                                                    const std::string& token)
{
    TokenChanges changes;
    changes.sync_token = token;
    for (int round = 0;; ++round) {
        if (round > kMaxContinuations)
            throw CalDavError("sync failed: the server kept cutting its answer short");
        HttpResponse answer = request("REPORT", "0", sync_collection_body(changes.sync_token));
        if (answer.status == 401 || answer.status > 501)
            fail("REPORT", answer.status);
        if (answer.status != 207) {
            // RFC 6578 §3.2: a token the server no longer honours is refused
            // with the DAV:valid-sync-token precondition (403, or 409 by
            // some servers); Xandikos 0.2.8 answers a token it cannot resolve
            // with 500. Anything else means no sync-collection here (RFC 3253
            // §3.6 answers 403 supported-report; others 501, 400, 405). Both
            // go on to the whole listing, which fails in turn if the server
            // is truly broken.
            bool refused = answer.status == 500 ||
                ((answer.status == 403 || answer.status == 409) &&
                 answer.body.find("valid-sync-token") != std::string::npos);
            return { refused ? TokenRefusal::Refused : TokenRefusal::Unsupported, {} };
        }
        auto responses = parse_multistatus(answer.body);
        std::string next = multistatus_sync_token(answer.body);
        if (next.empty())
            throw CalDavError("sync failed: the server's answer carries no sync-token");
        bool truncated = false;
        for (const DavResponse& response : responses) {
            auto url = member_url(calendar, response.href);
            if (!url) {
                // RFC 6578 §3.6: the collection itself with 507 marks an
                // answer cut short; the rest comes from the new token.
                truncated = truncated || response.status == 507;
                continue;
            }
            if (response.status == 404) {
                changes.changed.erase(*url);
                changes.deleted.insert(*url);
            } else {
                changes.deleted.erase(*url);
                changes.changed[*url] = etag_of(response);
            }
        }
        changes.sync_token = next;
        if (!truncated)
            return { TokenRefusal::None, std::move(changes) };
    }
}

// The collection's current DAV:sync-token (RFC 6578 §4), "" when it keeps
// none. Asked before the listing, so that a change made while listing is
// reported again by the next sync rather than lost.
std::string current_token(const CollectionRequest& request)
{
    HttpResponse answer = request("PROPFIND", "0", propfind_body({ { kDavNs, "sync-token" } }));
    if (answer.status != 207)
        fail("PROPFIND", answer.status);
    for (const DavResponse& response : parse_multistatus(answer.body))
        if (const auto* token = response.prop(kDavNs, "sync-token"))
            return token->text;
    return {};
}

// Every member's ETag (RFC 4791 §7.8 calendar-query without calendar-data).
std::map<std::string, std::string> list_etags(const CollectionRequest& request, const Url& calendar)
{
    HttpResponse answer = request("REPORT", "1", etag_listing_body());
    if (answer.status != 207)
        fail("REPORT", answer.status);
    std::map<std::string, std::string> listed;
    for (const DavResponse& response : parse_multistatus(answer.body))
        if (auto url = member_url(calendar, response.href); url && response.status / 100 == 2)
            listed[*url] = etag_of(response);
    return listed;
}

// RFC 4791 §7.9 calendar-multiget of the changed objects; a member gone in
// between answers 404 and counts as deleted.
void fetch_changed(const CollectionRequest& request, const Url& calendar,
                   const std::map<std::string, std::string>& wanted, SyncDelta& delta)
{
    std::vector<std::string> urls;
    for (const auto& entry : wanted)
        urls.push_back(entry.first);
    for (std::size_t begin = 0; begin < urls.size(); begin += kMultigetBatch) {
        std::vector<std::string> paths;
        std::set<std::string> pending;
        for (std::size_t i = begin; i < std::min(urls.size(), begin + kMultigetBatch); ++i) {
            paths.push_back(parse_url(urls[i])->path);
            pending.insert(urls[i]);
        }
        HttpResponse answer = request("REPORT", "1", multiget_body(paths));
        if (answer.status != 207)
            fail("REPORT", answer.status);
        for (const DavResponse& response : parse_multistatus(answer.body)) {
            auto url = member_url(calendar, response.href);
            if (!url || !pending.erase(*url))
                continue;
            const auto* data = response.prop(kCalDavNs, "calendar-data");
            if (response.status == 404 || (!data && response.status / 100 != 2)) {
                delta.deleted.push_back(*url);
                continue;
            }
            if (!data || data->text.empty())
                throw CalDavError("sync failed: the server sent no data for " + *url);
            std::string etag = etag_of(response);
            delta.changed.push_back({ *url, etag.empty() ? wanted.at(*url) : etag, data->text });
        }
        if (!pending.empty())
            throw CalDavError("sync failed: the server left out " + *pending.begin());
    }
}

}  // namespace

SyncDelta sync_calendar(const CollectionRequest& request, const std::string& calendar_url, const SyncKnown& known)
{
    auto calendar = parse_url(calendar_url);
    if (!calendar)
        throw CalDavError("invalid URL: " + calendar_url);
    SyncDelta delta;
    std::map<std::string, std::string> wanted;
    if (!known.sync_token.empty()) {
        auto [refusal, changes] = changes_since(request, *calendar, known.sync_token);
        if (refusal == TokenRefusal::None) {
            for (const auto& [url, etag] : changes.changed)
                if (etag.empty() || known.etags.count(url) == 0 || known.etags.at(url) != etag)
                    wanted.emplace(url, etag);
            for (const std::string& url : changes.deleted)
                if (known.etags.count(url))
                    delta.deleted.push_back(url);
            delta.sync_token = changes.sync_token;
            fetch_changed(request, *calendar, wanted, delta);
            return delta;
        }
        // Refused or not offered: the whole listing below tells the same.
        if (refusal == TokenRefusal::Refused)
            delta.sync_token = current_token(request);
    } else {
        delta.sync_token = current_token(request);
    }
    delta.full_listing = true;
    auto listed = list_etags(request, *calendar);
    for (const auto& [url, etag] : listed) {
        auto old = known.etags.find(url);
        if (etag.empty() || old == known.etags.end() || old->second != etag)
            wanted.emplace(url, etag);
    }
    for (const auto& entry : known.etags)
        if (!listed.count(entry.first))
            delta.deleted.push_back(entry.first);
    fetch_changed(request, *calendar, wanted, delta);
    return delta;
}

std::string sync_collection_body(const std::string& sync_token)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
        escape_xml(sync_token) +
        "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop></d:sync-collection>";
}

std::string etag_listing_body()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
           "<d:prop><d:getetag/></d:prop>"
           "<c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VEVENT\"/></c:comp-filter></c:filter>"
           "</c:calendar-query>";
}

std::string multiget_body(const std::vector<std::string>& paths)
{
    // The paths are normalised: nothing in them needs escaping in XML.
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<c:calendar-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                       "<d:prop><d:getetag/><c:calendar-data/></d:prop>";
    for (const std::string& path : paths)
        body += "<d:href>" + path + "</d:href>";
    return body + "</c:calendar-multiget>";
}

std::string multistatus_sync_token(const std::string& body)
{
    struct DocDeleter {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };
    if (body.size() > INT_MAX)
        return {};
    parse_multistatus("<multistatus xmlns=\"DAV:\"/>");  // the parser's one-time set-up
    std::unique_ptr<xmlDoc, DocDeleter> doc(
        xmlReadMemory(body.data(), static_cast<int>(body.size()), "multistatus.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root)
        return {};
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || !child->ns || !child->ns->href ||
            std::string(reinterpret_cast<const char*>(child->ns->href)) != kDavNs ||
            std::string(reinterpret_cast<const char*>(child->name)) != "sync-token")
            continue;
        xmlChar* text = xmlNodeGetContent(child);
        std::string token = text ? reinterpret_cast<const char*>(text) : "";
        xmlFree(text);
        auto first = token.find_first_not_of(" \t\r\n");
        auto last = token.find_last_not_of(" \t\r\n");
        return first == std::string::npos ? std::string() : token.substr(first, last - first + 1);
    }
    return {};
}

}  // namespace wrenfold::caldav
