#include "caldav/curl_transport.h"

#include "caldav/engine.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

namespace wrenfold::caldav {
namespace {

// Counted on the decoded bytes as they arrive, so that a small compressed
// answer cannot inflate without bound. The largest honest answers, a range
// query over a calendar with thousands of repeating series, come to a few MB;
// the sync worker and an event query fetch up to 8 calendars at once.
constexpr size_t kMaxBodyBytes = 16u * 1024u * 1024u;

void global_init_once()
{
    static const bool initialised = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    if (!initialised)
        throw CalDavError("network error: could not initialise libcurl");
}

// How often a transfer waiting on a server looks at the abort flag.
constexpr int kAbortCheckMs = 100;

struct CurlFailure {
    CURLcode code;
};

struct Received {
    HttpResponse response;
    bool too_large = false;
};

size_t on_body(char* data, size_t size, size_t count, void* user)
{
    auto* received = static_cast<Received*>(user);
    size_t bytes = size * count;
    if (received->response.body.size() + bytes > kMaxBodyBytes) {
        received->too_large = true;
        return 0;
    }
    received->response.body.append(data, bytes);
    return bytes;
}

size_t on_header(char* data, size_t size, size_t count, void* user)
{
    auto* received = static_cast<Received*>(user);
    size_t bytes = size * count;
    std::string line(data, bytes);
    if (line.rfind("HTTP/", 0) == 0) {
        received->response.headers.clear();  // a new response (after 100 Continue)
        return bytes;
    }
    auto colon = line.find(':');
    if (colon == std::string::npos)
        return bytes;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string value = line.substr(colon + 1);
    auto not_space = [](unsigned char c) { return !std::isspace(c); };
    value.erase(value.begin(), std::find_if(value.begin(), value.end(), not_space));
    value.erase(std::find_if(value.rbegin(), value.rend(), not_space).base(), value.end());
    received->response.headers[name] = value;
    return bytes;
}

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const std::string& line)
    {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown)
            throw CalDavError("network error: out of memory");
        list = grown;
    }
};

std::string describe(CURLcode code, const char* detail)
{
    std::string text = detail && *detail ? detail : curl_easy_strerror(code);
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "DNS error: " + text;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return "TLS error: " + text;
    case CURLE_OPERATION_TIMEDOUT:
        return "network error: timed out (" + text + ")";
    default:
        return "network error: " + text;
    }
}

}  // namespace

struct CurlTransport::Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
};

void CurlTransport::HandleDeleter::operator()(Handles* handles) const
{
    if (handles->easy)
        curl_easy_cleanup(handles->easy);
    if (handles->multi)
        curl_multi_cleanup(handles->multi);
    delete handles;
}

CurlTransport::CurlTransport(std::shared_ptr<const TransferAbort> abort)
    : m_abort(std::move(abort))
{
}

CurlTransport::~CurlTransport() = default;

CurlTransport::Handle CurlTransport::acquire()
{
    {
        std::lock_guard lock(m_pool_lock);
        if (!m_idle.empty()) {
            Handle handle = std::move(m_idle.back());
            m_idle.pop_back();
            return handle;
        }
    }
    global_init_once();
    // The multi handle keeps the connection cache, so the pair stays together.
    Handle handle(new Handles { curl_easy_init(), curl_multi_init() });
    if (!handle->easy || !handle->multi)
        throw CalDavError("network error: could not create a connection handle");
    return handle;
}

void CurlTransport::release(Handle handle)
{
    std::lock_guard lock(m_pool_lock);
    if (m_idle.size() < kMaxIdleHandles)
        m_idle.push_back(std::move(handle));
}

void CurlTransport::run(Handles& handles)
{
    if (m_abort && m_abort->aborted())
        throw NetworkError("network error: the program is ending");
    if (curl_multi_add_handle(handles.multi, handles.easy) != CURLM_OK)
        throw NetworkError("network error: could not start the request");
    struct Detach {
        Handles& handles;
        ~Detach() { curl_multi_remove_handle(handles.multi, handles.easy); }
    } detach { handles };
    int running = 1;
    while (true) {
        CURLMcode step = curl_multi_perform(handles.multi, &running);
        if (step == CURLM_OK && running > 0)
            step = curl_multi_poll(handles.multi, nullptr, 0, kAbortCheckMs, nullptr);
        if (step != CURLM_OK)
            throw NetworkError(std::string("network error: ") + curl_multi_strerror(step));
        if (running == 0)
            break;
        if (m_abort && m_abort->aborted())
            throw NetworkError("network error: the program is ending");
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(handles.multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->data.result != CURLE_OK)
            throw CurlFailure { message->data.result };
    }
}

HttpResponse CurlTransport::perform(const HttpRequest& request)
{
    Handle handle = acquire();
    CURL* curl = handle->easy;
    curl_easy_reset(curl);  // keeps the connection cache, forgets the last request

    Received received;
    HeaderList headers;
    for (const auto& [name, value] : request.headers)
        headers.add(name + ": " + value);
    headers.add("Expect:");  // no 100-continue round trip

    char error_text[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_text);
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Wrenfold/1.0");
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (request.method == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    if (!request.body.empty() || request.method == "PUT") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
    if (request.credentials) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, request.credentials->user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, request.credentials->password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &received);

    try {
        run(*handle);
    } catch (const CurlFailure& failure) {
        if (received.too_large)
            throw CalDavError("server answer too large");
        throw NetworkError(describe(failure.code, error_text));
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    received.response.status = static_cast<int>(status);
    // The handle must not keep the password around while idle.
    curl_easy_setopt(curl, CURLOPT_PASSWORD, "");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    release(std::move(handle));
    return std::move(received.response);
}

}  // namespace wrenfold::caldav
