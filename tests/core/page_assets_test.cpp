#include "core/page_assets.h"

#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

TEST(Base64, StandardAlphabetWithPadding)
{
    EXPECT_EQ(wrenfold::base64_encode(""), "");
    EXPECT_EQ(wrenfold::base64_encode("f"), "Zg==");
    EXPECT_EQ(wrenfold::base64_encode("fo"), "Zm8=");
    EXPECT_EQ(wrenfold::base64_encode("foo"), "Zm9v");
    EXPECT_EQ(wrenfold::base64_encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(wrenfold::base64_encode(std::string("\xff\xfe\x00\x3f", 4)), "//4APw==");
}

TEST(ImageDataUrl, SubtypeFromTheExtension)
{
    EXPECT_EQ(wrenfold::image_data_url("logo.png", "foo"), "data:image/png;base64,Zm9v");
    EXPECT_EQ(wrenfold::image_data_url("logo.ico", "foo"), "data:image/x-icon;base64,Zm9v");
    EXPECT_EQ(wrenfold::image_data_url("PIC.PNG", ""), "data:image/png;base64,");
}

TEST(ImageFileDataUrl, MissingFileGivesEmptyTextUnreadableOneThrows)
{
    TempDir dir;
    EXPECT_EQ(wrenfold::image_file_data_url(dir / "none.png"), "");
    write_text(dir / "empty.png", "");
    EXPECT_EQ(wrenfold::image_file_data_url(dir / "empty.png"), "data:image/png;base64,");
    std::filesystem::create_directories(dir / "folder.png");
    EXPECT_EQ(wrenfold::image_file_data_url(dir / "folder.png"), "");
}

TEST(LoadHtmlContent, ReadsThePageOrFails)
{
    TempDir dir;
    EXPECT_THROW(wrenfold::load_html_content(dir.path()), std::system_error);
    write_text(dir / "html" / "index.html", "<p>台灣</p>");
    EXPECT_EQ(wrenfold::load_html_content(dir.path()), "<p>台灣</p>");
}
