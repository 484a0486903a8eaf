#include "core/page_assets.h"

#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

TEST(Base64, StandardAlphabetWithPadding)
{
    const std::pair<std::string, std::string> cases[] = {
        { "", "" },
        { "f", "Zg==" },   // one byte left over: two padding characters
        { "fo", "Zm8=" },  // two bytes left over: one
        { "foo", "Zm9v" },
        { "foobar", "Zm9vYmFy" },
        { std::string("\xff\xfe\x00\x3f", 4), "//4APw==" },  // the alphabet's last two and a zero byte
    };
    for (const auto& [bytes, encoded] : cases) {
        SCOPED_TRACE(encoded);
        EXPECT_EQ(wrenfold::base64_encode(bytes), encoded);
    }
}

TEST(ImageDataUrl, SubtypeFromTheExtensionInAnyCase)
{
    EXPECT_EQ(wrenfold::image_data_url("logo.png", "foo"), "data:image/png;base64,Zm9v");
    EXPECT_EQ(wrenfold::image_data_url("logo.ico", "foo"), "data:image/x-icon;base64,Zm9v");
    EXPECT_EQ(wrenfold::image_data_url("PIC.PNG", ""), "data:image/png;base64,");
}

TEST(ImageFileDataUrl, AMissingFileGivesEmptyText)
{
    TempDir dir;
    EXPECT_EQ(wrenfold::image_file_data_url(dir / "none.png"), "");
}

TEST(ImageFileDataUrl, AnEmptyFileGivesADataUrlWithoutData)
{
    TempDir dir;
    write_text(dir / "empty.png", "");
    EXPECT_EQ(wrenfold::image_file_data_url(dir / "empty.png"), "data:image/png;base64,");
}

TEST(ImageFileDataUrl, AFolderGivesEmptyText)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "folder.png");
    EXPECT_EQ(wrenfold::image_file_data_url(dir / "folder.png"), "");
}

TEST(LoadHtmlContent, FailsWithoutAPage)
{
    TempDir dir;
    EXPECT_THROW(wrenfold::load_html_content(dir.path()), std::system_error);
}

TEST(LoadHtmlContent, ReadsThePageFromTheHtmlFolder)
{
    TempDir dir;
    write_text(dir / "html" / "index.html", "<p>台灣</p>");
    EXPECT_EQ(wrenfold::load_html_content(dir.path()), "<p>台灣</p>");
}
