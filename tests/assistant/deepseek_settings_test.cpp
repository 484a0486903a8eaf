#include "assistant/deepseek_settings.h"
#include "assistant/private_json_file.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using wrenfold::testing::TempDir;

namespace {

class FakeHttp final : public platform::HttpClient {
public:
    platform::HttpResponse get(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers,
                               std::chrono::milliseconds timeout, std::size_t max_body_bytes) override
    {
        requested_max_body = max_body_bytes;
        requested_url = url;
        requested_headers = headers;
        requested_timeout = timeout;
        ++requests;
        if (fail)
            throw std::runtime_error("Connection refused");
        return response;
    }

    platform::HttpResponse response { 200, "" };
    std::size_t requested_max_body { 0 };
    bool fail { false };
    int requests { 0 };
    std::string requested_url;
    std::vector<std::pair<std::string, std::string>> requested_headers;
    std::chrono::milliseconds requested_timeout { 0 };
};

}  // namespace

TEST(DeepSeekSettings, CredentialsAreReadWithDefaultsAndWrittenKeepingOtherKeys)
{
    TempDir dir;
    auto path = (dir / "deepseek-settings.json").string();
    auto missing = deepseek_credentials(path);
    EXPECT_EQ(missing["exists"], false);
    EXPECT_EQ(missing["base_url"], "https://api.deepseek.com/anthropic");

    wrenfold::testing::write_text(path, R"({"permissions": {"allow": []}})");
    auto no_env = deepseek_credentials(path);
    EXPECT_EQ(no_env["exists"], true);
    EXPECT_EQ(no_env["api_key"], "");
    EXPECT_EQ(no_env["model"], "deepseek-chat");

    wrenfold::testing::write_text(path, "[]");
    EXPECT_TRUE(deepseek_credentials(path).contains("error"));

    Json file { { "permissions", { { "allow", Json::array() } } },
                { "env",
                  { { "OTHER", "1" }, { "ANTHROPIC_BASE_URL", "http://x/anthropic" }, { "ANTHROPIC_MODEL", "m" } } } };
    auto kept = with_deepseek_credentials(file, " key ", std::nullopt, std::string("  "));
    EXPECT_EQ(kept["env"],
              (Json { { "OTHER", "1" },
                      { "ANTHROPIC_BASE_URL", "http://x/anthropic" },
                      { "ANTHROPIC_MODEL", "m" },
                      { "ANTHROPIC_AUTH_TOKEN", "key" } }));
    EXPECT_EQ(kept["permissions"], file["permissions"]);
    auto fresh = with_deepseek_credentials(Json::object(), "", std::nullopt, std::string(" deepseek-reasoner "));
    EXPECT_EQ(fresh["env"],
              (Json { { "ANTHROPIC_AUTH_TOKEN", "" },
                      { "ANTHROPIC_BASE_URL", "https://api.deepseek.com/anthropic" },
                      { "ANTHROPIC_MODEL", "deepseek-reasoner" } }));
    EXPECT_EQ(with_deepseek_credentials({ { "env", "text" } }, "k", std::nullopt,
                                        std::nullopt)["env"]["ANTHROPIC_AUTH_TOKEN"],
              "k");
}

TEST(DeepSeekSettings, ModelListComesFromTheEndpointOrFallsBack)
{
    EXPECT_EQ(deepseek_models_url("https://api.deepseek.com/anthropic/"), "https://api.deepseek.com/models");
    EXPECT_EQ(deepseek_models_url("http://h/v1//"), "http://h/v1/models");

    TempDir dir;
    auto path = (dir / "deepseek-settings.json").string();
    FakeHttp http;
    auto no_file = deepseek_model_list(path, "cur", http);
    EXPECT_EQ(no_file["error"], "settings file not found");
    EXPECT_EQ(no_file["models"], (Json { "deepseek-chat", "deepseek-reasoner" }));

    wrenfold::testing::write_text(path, R"({"env": {"ANTHROPIC_BASE_URL": "http://127.0.0.1:9/anthropic/"}})");
    auto no_token = deepseek_model_list(path, "cur", http);
    EXPECT_EQ(no_token["error"].get<std::string>().rfind("settings parse: ", 0), 0u);
    EXPECT_EQ(http.requests, 0);

    wrenfold::testing::write_text(
        path, R"({"env": {"ANTHROPIC_BASE_URL": "http://127.0.0.1:9/anthropic/", "ANTHROPIC_AUTH_TOKEN": "tok"}})");
    http.response = {
        200,
        R"({"data": [{"id": "deepseek-chat"}, {"name": "x"}, {"id": 5}, {"id": ""}, "s", {"id": "deepseek-v9"}, {"id": "deepseek-chat"}]})"
    };
    auto live = deepseek_model_list(path, "cur", http);
    EXPECT_EQ(live,
              (Json { { "ok", true },
                      { "models", { "deepseek-chat", "deepseek-v9", "deepseek-chat" } },
                      { "current", "cur" },
                      { "source", "api" } }));
    EXPECT_EQ(http.requested_url, "http://127.0.0.1:9/models");
    EXPECT_EQ(http.requested_headers,
              (std::vector<std::pair<std::string, std::string>> { { "Authorization", "Bearer tok" } }));
    EXPECT_EQ(http.requested_timeout, std::chrono::seconds(8));
    EXPECT_EQ(http.requested_max_body, 1024u * 1024u);

    http.response = { 401, R"({"error": "bad key"})" };
    auto denied = deepseek_model_list(path, "", http);
    EXPECT_EQ(denied["error"], "HTTP 401");
    EXPECT_EQ(denied["http_status"], 401);
    EXPECT_EQ(denied["source"], "fallback");

    http.response = { 200, R"({"data": [{"name": "x"}]})" };
    EXPECT_EQ(deepseek_model_list(path, "", http)["error"], "empty model list");
    http.response = { 200, "<html>" };
    EXPECT_EQ(deepseek_model_list(path, "", http)["error"].get<std::string>().rfind("fetch: ", 0), 0u);
    http.fail = true;
    EXPECT_EQ(deepseek_model_list(path, "", http)["error"], "fetch: Connection refused");
}
