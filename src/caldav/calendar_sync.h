#pragma once

#include "caldav/http.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wrenfold::caldav {

// What the local copy holds of a calendar before a sync.
struct SyncKnown {
    std::string sync_token;                    // "" when there is none yet
    std::map<std::string, std::string> etags;  // object URL -> ETag
};

// One calendar object as the server stores it.
struct SyncedObject {
    std::string url;
    std::string etag;
    std::string ics;
};

// What changed on the server since what was known: objects new or changed,
// objects gone, and the token to start from next time ("" when the server
// keeps none, so that the next sync compares ETags again).
struct SyncDelta {
    std::vector<SyncedObject> changed;
    std::vector<std::string> deleted;
    std::string sync_token;
    bool full_listing { false };  // the changes came from a whole listing, not from the token
};

// One request to the calendar collection being synced: method, Depth, body.
using CollectionRequest =
    std::function<HttpResponse(const std::string& method, const std::string& depth, const std::string& body)>;

// Syncs one calendar at `calendar_url` (ending in "/"): with a token, the
// changes since it (RFC 6578 sync-collection); without one, or when the
// server refuses the token or has no sync-collection, the whole listing of
// ETags compared with what is known. Changed objects are fetched with
// calendar-multiget in batches. Throws CalDavError on any failure or an
// answer that cannot be read; nothing is returned then.
SyncDelta sync_calendar(const CollectionRequest& request, const std::string& calendar_url, const SyncKnown& known);

// Request bodies and answers, for the engine and its tests.
std::string sync_collection_body(const std::string& sync_token);
std::string etag_listing_body();
std::string multiget_body(const std::vector<std::string>& paths);
// The DAV:sync-token of a multistatus (RFC 6578 §6.4); "" when it has none.
std::string multistatus_sync_token(const std::string& body);

}  // namespace wrenfold::caldav
