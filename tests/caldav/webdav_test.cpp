// Multistatus parsing and the stamps of time-range queries.
#include "caldav/engine.h"
#include "caldav/webdav.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

TEST(Multistatus, NamespacesNotPrefixesDecide)
{
    auto responses = parse_multistatus(
        "<x:multistatus xmlns:x=\"DAV:\" xmlns:y=\"urn:ietf:params:xml:ns:caldav\">"
        "<x:response><x:href> /c/ </x:href>"
        "<x:propstat><x:prop><x:displayname>Cal</x:displayname><y:calendar-data>DATA</y:calendar-data></x:prop>"
        "<x:status>HTTP/1.1 200 OK</x:status></x:propstat>"
        "<x:propstat><x:prop><x:getetag/></x:prop><x:status>HTTP/1.1 404 Not Found</x:status></x:propstat>"
        "</x:response>"
        "<x:response xmlns:z=\"other:\"><x:href>/d/</x:href><x:propstat><x:prop><z:displayname>No</z:displayname>"
        "</x:prop><x:status>HTTP/1.1 200 OK</x:status></x:propstat></x:response></x:multistatus>");
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(responses[0].href, "/c/");
    ASSERT_TRUE(responses[0].prop(kDavNs, "displayname"));
    EXPECT_EQ(responses[0].prop(kDavNs, "displayname")->text, "Cal");
    EXPECT_EQ(responses[0].prop(kCalDavNs, "calendar-data")->text, "DATA");
    EXPECT_FALSE(responses[0].prop(kDavNs, "getetag"));
    EXPECT_FALSE(responses[1].prop(kDavNs, "displayname"));
}

TEST(Multistatus, HostileOrBrokenAnswersAreErrors)
{
    EXPECT_THROW(parse_multistatus(""), CalDavError);
    EXPECT_THROW(parse_multistatus("<html>login</html>"), CalDavError);
    EXPECT_THROW(parse_multistatus("<multistatus xmlns=\"DAV:\"><response>"), CalDavError);
    // A document type, where entities are declared, is refused whatever it holds.
    const std::pair<const char*, const char*> declared[] = {
        { "<!DOCTYPE multistatus [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>", "&x;" },
        { "<!DOCTYPE multistatus [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>", "&b;" },
        { "<!DOCTYPE multistatus SYSTEM \"http://127.0.0.1:9/m.dtd\">", "" },
        { "<!DOCTYPE multistatus>", "" },
    };
    for (auto [doctype, reference] : declared) {
        SCOPED_TRACE(doctype);
        EXPECT_THROW(parse_multistatus(std::string("<?xml version=\"1.0\"?>") + doctype +
                                       "<multistatus xmlns=\"DAV:\"><response><href a=\"" + reference + "\">" +
                                       reference + "</href></response></multistatus>"),
                     CalDavError);
    }
    std::string deep;
    for (int i = 0; i < 200; ++i)
        deep += "<a>";
    EXPECT_THROW(parse_multistatus("<multistatus xmlns=\"DAV:\"><response><propstat><prop>" + deep +
                                   "</prop></propstat></response></multistatus>"),
                 CalDavError);
}

TEST(Multistatus, TimeRangeStamps)
{
    using namespace std::chrono;
    EXPECT_EQ(caldav_utc_stamp(sys_days { year { 2025 } / 3 / 1 } - hours(8)), "20250228T160000Z");
}

}  // namespace
}  // namespace wrenfold::caldav
