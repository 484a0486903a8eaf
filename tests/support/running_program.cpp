#include "support/running_program.h"

#include <httplib.h>

#include <cstdio>

namespace wrenfold::testing {

void RunningProgram::stop_watchdog_and_kill_group()
{
    {
        std::lock_guard lock(m_mutex);
        m_going = true;
    }
    m_ended.notify_all();
    m_watchdog.join();
    kill_group();
}

// A whole line read already, without its end (a Windows program's "\r\n" too).
std::optional<std::string> RunningProgram::take_buffered_line()
{
    auto newline = m_buffer.find('\n');
    if (newline == std::string::npos)
        return std::nullopt;
    std::string line = m_buffer.substr(0, newline);
    m_buffer.erase(0, newline + 1);
    if (line.ends_with('\r'))
        line.pop_back();
    return line;
}

void RunningProgram::kill_group_when_overdue(std::chrono::seconds lifetime)
{
    std::unique_lock lock(m_mutex);
    if (m_ended.wait_for(lock, lifetime, [&] { return m_going || m_reaped; }))
        return;
    std::fprintf(stderr, "the program under test ran past %llds: killed\n", static_cast<long long>(lifetime.count()));
    kill_group();
}

std::optional<std::vector<std::string>> read_line_matching(RunningProgram& program, const std::regex& pattern,
                                                           std::chrono::milliseconds per_line,
                                                           std::vector<std::string>* seen)
{
    while (auto text = program.read_line(per_line)) {
        if (seen)
            seen->push_back(*text);
        std::smatch match;
        if (std::regex_match(*text, match, pattern))
            return std::vector<std::string>(match.begin(), match.end());
    }
    return std::nullopt;
}

std::optional<ProgramAddress> read_address(RunningProgram& program, std::chrono::milliseconds per_line,
                                           std::vector<std::string>* seen)
{
    static const std::regex line(R"(Wrenfold is running at http://127\.0\.0\.1:(\d+)/#token=([0-9a-f]{64}))");
    auto match = read_line_matching(program, line, per_line, seen);
    if (!match)
        return std::nullopt;
    return ProgramAddress { std::stoi((*match)[1]), (*match)[2] };
}

std::optional<BridgeResponse> post_bridge_call(const ProgramAddress& address, const std::string& method,
                                               const std::string& arguments_json, std::chrono::seconds read_timeout)
{
    httplib::Client client("127.0.0.1", address.port);
    client.set_read_timeout(read_timeout);
    auto response = client.Post(("/api/" + method).c_str(), { { "X-Wrenfold-Token", address.token } }, arguments_json,
                                "application/json");
    if (!response)
        return std::nullopt;
    return BridgeResponse { response->status, response->body };
}

}  // namespace wrenfold::testing
