// A file of many events becomes one object per UID with the zones it names,
// and objects become one file again, every line as written.
#include "caldav/engine.h"
#include "caldav/ics_files.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

const std::string kBerlin = "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
                            "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
const std::string kTokyo = "BEGIN:VTIMEZONE\r\nTZID:Asia/Tokyo\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                           "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
const std::string kSeries = "BEGIN:VEVENT\r\nUID:series\r\nDTSTART;TZID=Europe/Berlin:20270301T090000\r\n"
                            "RRULE:FREQ=WEEKLY\r\nSUMMARY:A title folded over\r\n  two lines\r\n"
                            "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT10M\r\nEND:VALARM\r\nEND:VEVENT\r\n";
const std::string kOverride = "BEGIN:VEVENT\r\nUID:series\r\nRECURRENCE-ID;TZID=Europe/Berlin:20270308T090000\r\n"
                              "DTSTART;TZID=Europe/Berlin:20270308T110000\r\nSUMMARY:Later\r\nEND:VEVENT\r\n";
const std::string kPlain = "BEGIN:VEVENT\r\nUID:plain\r\nDTSTART:20270302T010000Z\r\nX-OTHER;X-P=\"a,b\":v\\,w\r\n"
                           "END:VEVENT\r\n";
const std::string kNoUid = "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20270303\r\nSUMMARY:Day\r\nEND:VEVENT\r\n";

std::string file(const std::string& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Program//EN\r\nMETHOD:PUBLISH\r\n" + body +
        "END:VCALENDAR\r\n";
}

std::string stored(const std::string& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Program//EN\r\n" + body + "END:VCALENDAR\r\n";
}

TEST(IcsFiles, AFileBecomesOneObjectPerUidWithTheZonesItNames)
{
    int made = 0;
    auto new_uid = [&] { return "new-" + std::to_string(++made); };
    // The override comes after another event, and a zone no event names is left out.
    auto objects = split_ics(file(kTokyo + kBerlin + kSeries + kPlain + kOverride + kNoUid), new_uid);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].uid, "series");
    EXPECT_EQ(objects[0].text, stored(kBerlin + kSeries + kOverride));
    EXPECT_EQ(objects[1].uid, "plain");
    EXPECT_EQ(objects[1].text, stored(kPlain));
    EXPECT_EQ(objects[2].uid, "new-1");
    EXPECT_EQ(objects[2].text, stored("BEGIN:VEVENT\r\nUID:new-1\r\n" + kNoUid.substr(14)));

    // A file written with bare line breaks is read as well.
    std::string bare = file(kPlain);
    for (size_t at = bare.find("\r\n"); at != std::string::npos; at = bare.find("\r\n", at))
        bare.erase(at, 1);
    EXPECT_EQ(split_ics(bare, new_uid).at(0).text, stored(kPlain));

    for (const char* empty : { "", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n", "not a calendar" })
        EXPECT_THROW(split_ics(empty, new_uid), CalDavError) << empty;
}

TEST(IcsFiles, ObjectsJoinedIntoOneFileSplitBackAsTheyWere)
{
    const std::vector<std::string> objects = { stored(kBerlin + kSeries + kOverride), stored(kPlain),
                                               stored(kBerlin +
                                                      "BEGIN:VEVENT\r\nUID:second\r\n"
                                                      "DTSTART;TZID=Europe/Berlin:20270305T090000\r\n"
                                                      "END:VEVENT\r\n") };
    const std::string joined = join_ics(objects);
    EXPECT_EQ(joined.find(kBerlin), joined.rfind(kBerlin)) << "each zone once";
    auto again = split_ics(joined, [] { return std::string("unused"); });
    ASSERT_EQ(again.size(), objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        // Only the calendar's own header is the exporter's.
        auto body = [](const std::string& text) { return text.substr(text.find("BEGIN:V", 10)); };
        EXPECT_EQ(body(again[i].text), body(objects[i])) << i;
    }
}

}  // namespace
}  // namespace wrenfold::caldav
