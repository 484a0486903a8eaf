#include "assistant/api_error.h"
#include "core/translations.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;

namespace {

Translate translator_for(const std::string& language)
{
    return [language](const std::string& key, const Json& values) {
        return translate(translation_table(), language, key, values);
    };
}

}  // namespace

TEST(ApiError, FriendlyTextFollowsStatusProviderAndLanguage)
{
    auto en = translator_for("en");
    Json balance { { "is_error", true },
                   { "api_error_status", 402 },
                   { "result", "API Error: 402 Insufficient Balance" } };
    EXPECT_EQ(humanize_api_error(balance, "deepseek", en),
              "Insufficient balance (HTTP 402). Your DeepSeek account is out of credit — please top up at DeepSeek "
              "before retrying.\n\nOriginal error: API Error: 402 Insufficient Balance");
    EXPECT_EQ(humanize_api_error(balance, "claude", translator_for("zh-Hant")),
              "餘額不足（HTTP 402）。Anthropic 帳號額度已用完 — 請至 Anthropic 後台儲值後再試。\n\n原始錯誤: "
              "API Error: 402 Insufficient Balance");
    EXPECT_EQ(humanize_api_error({ { "api_error_status", 418 }, { "error", " teapot " } }, "claude", en),
              "Anthropic API error (HTTP 418).\n\nOriginal error: teapot");
    EXPECT_EQ(humanize_api_error({ { "api_error_status", 503 }, { "result", "" } }, "claude", en),
              "Anthropic server error (HTTP 503). This is not caused by your input — please retry in a moment.");
    // Raw text that the friendly text already holds is not repeated.
    EXPECT_EQ(humanize_api_error({ { "api_error_status", 418 }, { "result", "API error" } }, "claude", en),
              "Anthropic API error (HTTP 418).");
    // A status given as text is no status.
    EXPECT_EQ(humanize_api_error({ { "api_error_status", "402" }, { "result", " raw\n" } }, "claude", en), "raw");
    EXPECT_EQ(humanize_api_error({ { "is_error", true } }, "claude", en), "claude reported an error");
    EXPECT_EQ(api_error_key(403), "err.api.auth");
    EXPECT_EQ(api_error_key(429), "err.api.ratelimit");
    EXPECT_EQ(api_error_key(400), "err.api.generic");
}
