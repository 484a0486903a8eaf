#pragma once

#include "app/bridge_table.h"
#include "platform/environment.h"
#include "platform/http_client.h"
#include "platform/terminal_launcher.h"
#include "platform/user_path_store.h"
#include "support/app_fixture.h"
#include "support/bridge_calls.h"

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace wrenfold::testing {

class RecordingTerminal final : public platform::TerminalLauncher {
public:
    void open(const std::vector<std::string>& command) override
    {
        std::lock_guard lock(m_lock);
        if (fail)
            throw std::runtime_error("no terminal emulator found");
        opened.push_back(command);
    }
    bool fail { false };
    std::vector<std::vector<std::string>> opened;

private:
    std::mutex m_lock;
};

class ScriptedHttp final : public platform::HttpClient {
public:
    platform::HttpResponse get(const std::string& url, const std::vector<std::pair<std::string, std::string>>&,
                               std::chrono::milliseconds, std::size_t) override
    {
        urls.push_back(url);
        return response;
    }
    platform::HttpResponse response { 200, R"({"data": [{"id": "deepseek-v4"}]})" };
    std::vector<std::string> urls;
};

// An application whose assistant sees a private home folder, PATH and
// services, with a stand-in `claude` that tests script run by run.
struct AssistantFolders : AppFolders {
    std::shared_ptr<platform::MapEnvironment> env = std::make_shared<platform::MapEnvironment>();
    std::shared_ptr<platform::MemoryUserPathStore> user_path = std::make_shared<platform::MemoryUserPathStore>();
    std::shared_ptr<RecordingTerminal> terminal = std::make_shared<RecordingTerminal>();
    std::shared_ptr<ScriptedHttp> http = std::make_shared<ScriptedHttp>();
    std::vector<std::string> installer { "/bin/true" };

    AssistantFolders()
    {
        env->set("HOME", home().string());
        env->set("PATH", bin().string() + ":/usr/bin:/bin");
        std::filesystem::create_directories(home());
        std::filesystem::create_directories(bin());
    }

    std::filesystem::path home() const { return root / "home"; }
    std::filesystem::path bin() const { return root / "bin"; }
    std::filesystem::path arch() const { return module() / "architecture"; }

    std::unique_ptr<WrenfoldApp> make_assistant_app() const
    {
        AppEnvironment environment { { data(), module() },
                                     { env, user_path, terminal, http, installer, std::chrono::seconds(20) } };
        return std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, environment);
    }

    // The stand-in: each run appends {"argv", "stdin", "api_key" (its
    // ANTHROPIC_API_KEY, null when unset), "cwd", "env" (the variables' names)}
    // to calls.jsonl and
    // plays the next step of script.json (the last one repeats): optional
    // "sleep" before answering, "stdout", "flood_mb" megabytes more of it, "stderr", "exit", and "linger"
    // seconds after the answer is printed.
    void install_fake_claude(const Json& steps) const
    {
        write_text(bin() / "script.json", dump_compact(steps));
        write_text_with_mode(bin() / "claude", R"(#!/usr/bin/python3
import json, os, sys, time
here = os.path.dirname(os.path.abspath(__file__))
data = sys.stdin.read()
with open(os.path.join(here, "calls.jsonl"), "a") as f:
    f.write(json.dumps({"argv": sys.argv[1:], "stdin": data, "api_key": os.environ.get("ANTHROPIC_API_KEY"),
                        "cwd": os.getcwd(), "env": sorted(os.environ)}) + "\n")
with open(os.path.join(here, "calls.jsonl")) as f:
    run = sum(1 for _ in f) - 1
steps = json.load(open(os.path.join(here, "script.json")))
step = steps[min(run, len(steps) - 1)]
time.sleep(step.get("sleep", 0))
sys.stdout.write(step.get("stdout", ""))
for _ in range(step.get("flood_mb", 0)):
    sys.stdout.write("x" * 1048576)
sys.stderr.write(step.get("stderr", ""))
sys.stdout.flush()
time.sleep(step.get("linger", 0))
sys.exit(step.get("exit", 0))
)",
                             std::filesystem::perms(0755));
    }

    // What the stand-in was called with, run by run.
    std::vector<Json> calls() const
    {
        std::vector<Json> runs;
        std::istringstream lines(read_text(bin() / "calls.jsonl"));
        for (std::string line; std::getline(lines, line);)
            runs.push_back(Json::parse(line));
        return runs;
    }

    void wait_for_calls(std::size_t count) const
    {
        for (int i = 0; i < 1000 && calls().size() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

// Whether the argument vector holds `option` followed by `value`.
// What the stand-in claude prints for a turn that answers `result`.
inline Json claude_answer(const std::string& session, const std::string& result)
{
    return Json { { "stdout",
                    dump_compact({ { "type", "result" }, { "session_id", session }, { "result", result } }) } };
}

inline bool has_option(const Json& argv, const std::string& option, const std::string& value)
{
    for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
        if (argv[i] == option && argv[i + 1] == value)
            return true;
    }
    return false;
}

inline bool has_flag(const Json& argv, const std::string& option)
{
    for (const auto& arg : argv) {
        if (arg == option)
            return true;
    }
    return false;
}

}  // namespace wrenfold::testing

// The names the assistant's tests through the bridge use unqualified.
namespace fs = std::filesystem;
using wrenfold::AppBridge;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::AssistantFolders;
using wrenfold::testing::call;
using wrenfold::testing::read_text;
using wrenfold::testing::write_text;
using wrenfold::testing::write_text_with_mode;
