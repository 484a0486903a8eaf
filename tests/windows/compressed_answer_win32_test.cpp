// Servers may compress their answers (iCloud's CalDAV does when asked): the
// Windows transport asks for gzip and reads it as on Linux, and the limit on
// an answer's size holds for what the compressed body becomes.
#include "caldav/curl_transport.h"
#include "caldav/engine.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <string>
#include <thread>

namespace {

std::string gzipped(const std::string& text)
{
    z_stream stream {};
    deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

TEST(WindowsTransport, AGzipAnswerIsReadAndItsSizeLimitHoldsForTheInflatedBody)
{
    const std::string event = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:review\r\n"
                              "SUMMARY:季度檢討\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    const std::string huge(17u << 20, ' ');
    std::string asked_encoding;
    httplib::Server server;
    server.Get("/calendar/review.ics", [&](const httplib::Request& request, httplib::Response& response) {
        asked_encoding = request.get_header_value("Accept-Encoding");
        response.set_header("Content-Encoding", "gzip");
        response.set_content(gzipped(event), "text/calendar");
    });
    server.Get("/calendar/huge.ics", [&](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Encoding", "gzip");
        response.set_content(gzipped(huge), "text/calendar");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string root = "http://127.0.0.1:" + std::to_string(port) + "/calendar/";

    wrenfold::caldav::CurlTransport transport;
    auto response = transport.perform({ "GET", root + "review.ics", {}, "", std::nullopt });
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, event);
    EXPECT_NE(asked_encoding.find("gzip"), std::string::npos) << asked_encoding;
    EXPECT_THROW(transport.perform({ "GET", root + "huge.ics", {}, "", std::nullopt }), wrenfold::caldav::CalDavError);

    server.stop();
    serving.join();
}
