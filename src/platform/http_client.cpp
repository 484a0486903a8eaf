#include "platform/http_client.h"

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

size_t append_body(char* data, size_t size, size_t count, void* sink)
{
    static_cast<std::string*>(sink)->append(data, size * count);
    return size * count;
}

}  // namespace

HttpResponse CurlHttpClient::get(const std::string& url,
                                 const std::vector<std::pair<std::string, std::string>>& headers,
                                 std::chrono::milliseconds timeout)
{
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle)
        throw std::runtime_error("curl initialisation failed");
    std::unique_ptr<curl_slist, SlistDeleter> header_list;
    for (const auto& [name, value] : headers) {
        curl_slist* extended = curl_slist_append(header_list.get(), (name + ": " + value).c_str());
        if (!extended)
            throw std::runtime_error("out of memory");
        (void)header_list.release();
        header_list.reset(extended);
    }
    HttpResponse response;
    char error[CURL_ERROR_SIZE] = {};
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, header_list.get());
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK)
        throw std::runtime_error(error[0] ? error : curl_easy_strerror(rc));
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

}  // namespace wrenfold::platform
