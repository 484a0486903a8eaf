#include "assistant/api_error.h"

#include "assistant/exe_discovery.h"

#include <optional>

namespace wrenfold::assistant {

namespace {

std::string raw_error_text(const Json& error_object)
{
    for (const char* key : { "result", "error" }) {
        if (error_object.contains(key) && truthy(error_object[key]))
            return trim(text_form(error_object[key]));
    }
    return "";
}

// Only a JSON integer is a status; a text such as "402" or a boolean is not.
std::optional<long long> status_of(const Json& error_object)
{
    if (!error_object.contains("api_error_status"))
        return std::nullopt;
    const Json& status = error_object["api_error_status"];
    if (status.is_number_integer())
        return status.get<long long>();
    return std::nullopt;
}

}  // namespace

std::string api_error_key(long long status)
{
    switch (status) {
    case 401:
    case 403:
        return "err.api.auth";
    case 402:
        return "err.api.balance";
    case 429:
        return "err.api.ratelimit";
    case 500:
    case 502:
    case 503:
    case 504:
        return "err.api.server";
    default:
        return "err.api.generic";
    }
}

std::string humanize_api_error(const Json& error_object, const std::string& provider, const Translate& translate)
{
    std::string raw = error_object.is_object() ? raw_error_text(error_object) : "";
    std::string provider_name = provider == "deepseek" ? "DeepSeek" : "Anthropic";

    if (auto status = error_object.is_object() ? status_of(error_object) : std::nullopt) {
        const auto code = status.value();
        std::string friendly =
            translate(api_error_key(code), Json { { "status", code }, { "provider", provider_name } });
        if (!friendly.empty()) {
            if (raw.empty() || friendly.find(raw) != std::string::npos)
                return friendly;
            return friendly + "\n\n" + translate("err.api.raw_label", Json::object()) + ": " + raw;
        }
    }
    if (!raw.empty())
        return raw;
    return translate("claude.report_err", Json::object());
}

}  // namespace wrenfold::assistant
