#include "sync/reports.h"

#include <regex>

namespace wrenfold::sync {

namespace {

Json empty_change_message(bool with_account, const std::string& account_id)
{
    Json message = Json::object({ { "type", "calendars_changed" }, { "urls", Json::array() } });
    message["list_changed_accounts"] = with_account ? Json::array({ account_id }) : Json::array();
    return message;
}

}  // namespace

std::vector<Json> change_messages(const std::string& account_id, const Changes& changes, std::size_t line_limit)
{
    std::vector<Json> messages;
    if (changes.empty())
        return messages;
    Json current = empty_change_message(changes.list_changed, account_id);
    std::size_t size = dump_compact(current).size() + 1;
    for (const std::string& url : changes.changed_urls) {
        std::size_t grows = dump_compact(Json(url)).size() + 1;
        if (!current["urls"].empty() && size + grows > line_limit) {
            messages.push_back(std::move(current));
            current = empty_change_message(false, account_id);
            size = dump_compact(current).size() + 1;
        }
        current["urls"].push_back(url);
        size += grows;
    }
    messages.push_back(std::move(current));
    return messages;
}

Json error_message(const std::string& account_id, const std::string& error)
{
    return Json::object({ { "type", "sync_error" }, { "account_id", account_id }, { "error", error } });
}

std::string redacted(std::string text, const std::vector<std::string>& secrets)
{
    for (const std::string& secret : secrets) {
        if (secret.empty())
            continue;
        for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }
    static const std::regex url_credentials(R"(([A-Za-z][A-Za-z0-9+.-]*://)[^/@\s]*@)");
    return std::regex_replace(text, url_credentials, "$1***@");
}

}  // namespace wrenfold::sync
