#include "platform/http_client.h"

#include "platform/platform_error.h"

#include <curl/curl.h>
#include <memory>
#include <stdexcept>

namespace wrenfold::platform {

namespace {

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct BodySink {
    std::string& body;
    std::size_t limit;
    bool overflowed { false };
};

// Answering fewer bytes than given makes libcurl abort the transfer.
size_t append_body(char* data, size_t size, size_t count, void* sink_pointer)
{
    auto& sink = *static_cast<BodySink*>(sink_pointer);
    std::size_t length = size * count;
    if (length > sink.limit - sink.body.size()) {
        sink.overflowed = true;
        return 0;
    }
    sink.body.append(data, length);
    return length;
}

}  // namespace

HttpResponse CurlHttpClient::get(const std::string& url,
                                 const std::vector<std::pair<std::string, std::string>>& headers,
                                 std::chrono::milliseconds timeout, std::size_t max_body_bytes)
{
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle)
        throw PlatformError("curl initialisation failed");
    std::unique_ptr<curl_slist, SlistDeleter> header_list;
    for (const auto& [name, value] : headers) {
        curl_slist* extended = curl_slist_append(header_list.get(), (name + ": " + value).c_str());
        if (!extended)
            throw PlatformError("out of memory");
        (void)header_list.release();
        header_list.reset(extended);
    }
    HttpResponse response;
    BodySink sink { response.body, max_body_bytes };
    char error[CURL_ERROR_SIZE] = {};
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, header_list.get());
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(max_body_bytes));
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    CURLcode rc = curl_easy_perform(h);
    if (sink.overflowed || rc == CURLE_FILESIZE_EXCEEDED)
        throw PlatformError("the answer is longer than " + std::to_string(max_body_bytes) + " bytes");
    if (rc != CURLE_OK)
        throw PlatformError(error[0] ? error : curl_easy_strerror(rc));
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

}  // namespace wrenfold::platform
