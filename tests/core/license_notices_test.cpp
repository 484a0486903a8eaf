#include "core/license_notices.h"
#include "platform/utf8.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

namespace {

std::string rule()
{
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "\u2500";
    return line;
}

Json scan(const TempDir& dir)
{
    return wrenfold::third_party_licenses(dir.path(), wrenfold::platform::decode_utf8_replacing);
}

// Metadata folders of every kind the scan meets, scanned once. The items come
// out as Xlib, blank, no-dash-here-2.0, plain, zlib.
class LicenseNotices : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_text(dir / "zlib-1.3.dist-info/LICENSE", "zlib licence\n\n\n");
        write_text(dir / "Xlib-0.1.dist-info/LICENSE.txt", "X");
        write_text(dir / "no-dash-here-2.0-rc1.dist-info/LICENCE", "dashes");
        write_text(dir / "plain.dist-info/licenses/LICENSE", "only in sub-folder");
        write_text(dir / "empty-1.dist-info/README", "no licence here");
        write_text(dir / "blank-1.dist-info/LICENSE", "");
        write_text(dir / "not-metadata-1.0/LICENSE", "ignored");
        items = scan(dir)["items"];
    }

    TempDir dir;
    Json items;
};

}  // namespace

TEST_F(LicenseNotices, ListsOnlyMetadataFoldersWithLicenceFilesUpperCaseFirst)
{
    std::vector<std::string> names;
    for (const auto& item : items)
        names.push_back(item["name"]);
    // Upper case sorts before lower case; a library without licence files is left out.
    EXPECT_EQ(names, (std::vector<std::string> { "Xlib", "blank", "no-dash-here-2.0", "plain", "zlib" }));
}

TEST_F(LicenseNotices, SplitsNameAndVersionAtTheLastDash)
{
    EXPECT_EQ(items[2]["version"], "rc1");
}

TEST_F(LicenseNotices, AFolderNameWithoutADashHasAnEmptyVersion)
{
    EXPECT_EQ(items[3]["version"], "");
}

TEST_F(LicenseNotices, FindsALicenceInTheLicensesSubFolder)
{
    EXPECT_EQ(items[3]["license_file"], "licenses/LICENSE");
    EXPECT_EQ(items[3]["body"], "only in sub-folder");
}

TEST_F(LicenseNotices, AnEmptyLicenceTextStillCounts)
{
    EXPECT_EQ(items[1]["body"], "");
}

TEST_F(LicenseNotices, AnItemHoldsItsKeysInOrderAndTheBodyWithoutTrailingBlankLines)
{
    EXPECT_EQ(items[4].dump(), R"({"name":"zlib","version":"1.3","license_file":"LICENSE","body":"zlib licence"})");
}

TEST(LicenseFiles, SeveralFilesMakeRuledSectionsInTheirOrder)
{
    TempDir dir;
    auto folder = dir / "lib-2.dist-info";
    write_text(folder / "LICENSE.BSD", "bsd  \n");
    write_text(folder / "LICENSE.APACHE", "apache");
    write_text(folder / "LICENSE", "main");
    write_text(folder / "licenses/NOTICE", "notice");
    write_text(folder / "notice", "lower-case notice");
    write_text(folder / "License.md", "mixed case");
    write_text(folder / "COPYING", "not a licence name");
    write_text(folder / "NOTICE.txt", "NOTICE only without extension");

    auto found = wrenfold::read_license_files(folder, wrenfold::platform::decode_utf8_replacing);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->first,
              "LICENSE \u00b7 notice \u00b7 LICENSE.APACHE \u00b7 LICENSE.BSD \u00b7 License.md \u00b7 "
              "licenses/NOTICE");
    auto section = [](const std::string& label, const std::string& text) {
        return rule() + "\n  " + label + "\n" + rule() + "\n" + text;
    };
    EXPECT_EQ(found->second,
              section("LICENSE", "main") + "\n\n" + section("notice", "lower-case notice") + "\n\n" +
                  section("LICENSE.APACHE", "apache") + "\n\n" + section("LICENSE.BSD", "bsd") + "\n\n" +
                  section("License.md", "mixed case") + "\n\n" + section("licenses/NOTICE", "notice"));
}

TEST(LicenseText, UndecodableBytesBecomeReplacementCharacters)
{
    TempDir dir;
    write_text(dir / "bytes-1.dist-info/LICENSE", "caf\xe9 \xe2\x80\x94 ok\xe3\x80\x80\n");
    Json items = scan(dir)["items"];
    ASSERT_EQ(items.size(), 1u);
    // Trailing ideographic space goes as white space does.
    EXPECT_EQ(items[0]["body"], "caf\uFFFD \u2014 ok");
}

TEST(LicenseFolder, AMissingFolderListsNothing)
{
    TempDir dir;
    EXPECT_EQ(wrenfold::third_party_licenses(dir / "missing", wrenfold::platform::decode_utf8_replacing).dump(),
              R"({"items":[]})");
}
