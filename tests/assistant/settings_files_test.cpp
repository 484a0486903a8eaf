#include "assistant/claude_code_files.h"
#include "assistant/deepseek_settings.h"
#include "assistant/path_merge.h"
#include "assistant/private_json_file.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using wrenfold::testing::TempDir;

namespace {

int mode_of(const std::string& path)
{
    struct stat info { };
    ::stat(path.c_str(), &info);
    return static_cast<int>(info.st_mode & 0777);
}

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

TEST(PathMerge, InstallFoldersJoinTheUserPathOnlyWhenMissing)
{
    auto exists = [](const std::string& folder) { return folder.find("missing") == std::string::npos; };
    std::vector<std::string> folders { "C:\\Users\\u\\.local\\bin", "C:\\missing\\claude" };

    auto fresh = add_install_folders("", folders, exists, kWindowsPaths);
    EXPECT_TRUE(fresh.changed);
    EXPECT_EQ(fresh.value, "C:\\Users\\u\\.local\\bin");

    auto same = add_install_folders("C:\\Windows;c:/users/U/.local/./bin\\", folders, exists, kWindowsPaths);
    EXPECT_FALSE(same.changed);

    auto referenced = add_install_folders("%USERPROFILE%\\.local\\bin", folders, exists, kWindowsPaths);
    EXPECT_EQ(referenced.value, "%USERPROFILE%\\.local\\bin;C:\\Users\\u\\.local\\bin");

    // Linux names are case-sensitive.
    auto posix = add_install_folders("/home/U/.local/bin", { "/home/u/.local/bin/" }, exists, kPosixPaths);
    EXPECT_EQ(posix.value, "/home/U/.local/bin:/home/u/.local/bin/");
}

TEST(PathMerge, ProcessPathKeepsItsOrderAndGainsWhatTheUserPathAdds)
{
    EXPECT_EQ(merge_user_path("/usr/bin::/bin:/usr/bin", "/bin/:/opt/claude:%HOME%/x:/opt/claude", kPosixPaths),
              "/usr/bin:/bin:/usr/bin:/opt/claude:%HOME%/x");
    EXPECT_EQ(merge_user_path("C:\\A;;C:\\B", "c:\\a\\;C:\\New", kWindowsPaths), "C:\\A;C:\\B;C:\\New");
    EXPECT_EQ(normalized_path_entry("/a//b/./c/../d/", kPosixPaths), "/a/b/d");
    EXPECT_EQ(normalized_path_entry("/../x", kPosixPaths), "/x");
    EXPECT_EQ(normalized_path_entry("a/../../x", kPosixPaths), "../x");
}

TEST(ClaudeCodeFiles, SignInIsReadFromClaudeCodesOwnFiles)
{
    TempDir home;
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(),
                                  R"({"oauthAccount": {}, "primaryApiKey": ""})");
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(), R"([{"oauthAccount": {"a": 1}}])");
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(),
                                  R"({"oauthAccount": {"emailAddress": "a@b"}})");
    EXPECT_TRUE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(), "{not json");
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/.credentials.json").string(), "");
    EXPECT_TRUE(claude_signed_in(home.path().string()));
}

TEST(ClaudeCodeFiles, ApiKeyIsStoredPrivatelyBesideTheOtherKeys)
{
    TempDir home;
    store_claude_api_key(home.path().string(), "  sk-ant-1  ");
    EXPECT_EQ(wrenfold::testing::read_text((home / ".claude/settings.json").string()),
              "{\n  \"primaryApiKey\": \"sk-ant-1\"\n}");
    EXPECT_EQ(mode_of((home / ".claude/settings.json").string()), 0600);
    EXPECT_EQ(mode_of((home / ".claude").string()), 0700);
    EXPECT_TRUE(claude_signed_in(home.path().string()));

    wrenfold::testing::write_text((home / ".claude/settings.json").string(),
                                  R"({"theme": "dark", "primaryApiKey": "old", "x": "天"})");
    store_claude_api_key(home.path().string(), " ");
    EXPECT_EQ(read_json_file((home / ".claude/settings.json").string()), (Json { { "theme", "dark" }, { "x", "天" } }));
    EXPECT_EQ(std::filesystem::directory_iterator((home / ".claude").string())->path().filename(), "settings.json");

    TempDir locked;
    ::chmod(locked.path().string().c_str(), 0500);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_THROW(store_claude_api_key(locked.path().string(), "k"), std::system_error);
    }
}

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
