// The real program adding an account on a server whose answers are made to
// exhaust its memory.
#include "support/canned_server.h"
#include "support/running_program.h"
#include "support/temp_dir.h"

#include "core/page_assets.h"
#include "core/unique_fd.h"

#include <nlohmann/json.hpp>
#include <zlib.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <functional>
#include <map>
#include <thread>

using namespace std::chrono_literals;
using Json = nlohmann::json;
using wrenfold::UniqueFd;
using wrenfold::testing::CannedServer;
using wrenfold::testing::RunningProgram;
using wrenfold::testing::TempDir;

namespace {

std::string multistatus_answer(const std::string& body, const std::string& extra_headers = "")
{
    return "HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nConnection: close\r\n" + extra_headers +
        "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Nine levels of ten: a billion "a"s from a few hundred bytes, in an attribute.
std::string entity_bomb()
{
    std::string doctype = "<!DOCTYPE multistatus [<!ENTITY e0 \"aaaaaaaaaa\">";
    for (int level = 1; level <= 9; ++level) {
        std::string previous = "&e" + std::to_string(level - 1) + ";";
        std::string ten;
        for (int i = 0; i < 10; ++i)
            ten += previous;
        doctype += "<!ENTITY e" + std::to_string(level) + " \"" + ten + "\">";
    }
    return "<?xml version=\"1.0\"?>" + doctype +
        "]><multistatus xmlns=\"DAV:\"><response><href a=\"&e9;\">/</href><propstat><prop>"
        "<current-user-principal><href>/p/</href></current-user-principal></prop>"
        "<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>";
}

// `size` zero bytes, gzip-compressed.
std::string gzipped_zeros(std::size_t size)
{
    z_stream stream {};
    deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0');
    std::string out;
    char buffer[1 << 16];
    for (std::size_t fed = 0; fed < size; fed += zeros.size()) {
        stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(zeros.size());
        int flush = fed + zeros.size() >= size ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

std::string basic_authorization(const std::string& user, const std::string& password)
{
    return "Authorization: Basic " + wrenfold::base64_encode(user + ":" + password);
}

// The highest resident memory, in kB, that a process has had.
long peak_resident_kb(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return -1;
}

// `pid` and its children.
std::vector<int> with_children(int pid)
{
    std::vector<int> processes { pid };
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    for (int child = 0; children >> child;)
        processes.push_back(child);
    return processes;
}

}  // namespace

TEST(HostileServer, AnEntityBombAndAnInflatingBodyFailTheAccountCheckWithMemoryBounded)
{
    const std::string bomb = multistatus_answer(entity_bomb());
    const std::string inflating = multistatus_answer(gzipped_zeros(256u << 20), "Content-Encoding: gzip\r\n");
    ASSERT_LT(inflating.size(), 1u << 20);
    const std::string bomb_user = basic_authorization("bomb@example.com", "pw");
    CannedServer server(
        [&](const std::string& head) { return head.find(bomb_user) != std::string::npos ? bomb : inflating; });
    TempDir home;
    RunningProgram program(
        WRENFOLD_BINARY, { "--browser", "--no-open" },
        { { "HOME", home.path().string() }, { "XDG_DATA_HOME", "" }, { "WRENFOLD_CALDAV_URL", server.root() } });
    auto address = wrenfold::testing::read_address(program, 20s);
    ASSERT_TRUE(address);

    const std::pair<const char*, const char*> refused[] = {
        { "bomb@example.com", "document type" },
        { "gzip@example.com", "too large" },
    };
    for (auto [user, why] : refused) {
        SCOPED_TRACE(user);
        auto response =
            wrenfold::testing::post_bridge_call(*address, "add_account", Json::array({ user, "pw" }).dump(), 60s);
        ASSERT_TRUE(response);
        Json answer = Json::parse(response->body)["result"];
        EXPECT_EQ(answer["ok"], false) << answer;
        EXPECT_NE(answer.value("error", "").find(why), std::string::npos) << answer;
    }
    auto processes = with_children(program.pid());
    EXPECT_EQ(processes.size(), 3u) << "the launcher, the application and the sync worker";
    for (int pid : processes) {
        long peak = peak_resident_kb(pid);
        EXPECT_GT(peak, 0) << pid;
        EXPECT_LT(peak, 150 * 1024) << pid;
    }
}
