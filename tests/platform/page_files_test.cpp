#include "platform/page_files.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using wrenfold::platform::page_content_type;
using wrenfold::platform::page_file_for;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

namespace {

// A page folder with a script, a style sheet behind a space, a picture in a
// folder with a non-ASCII name and a link to a file outside the folder.
class PageFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_text(page / "app.js", "js");
        write_text(page / "lib/x y.css", "css");
        write_text(page / "圖/logo.png", "png");
        write_text(root / "secret.txt", "outside");
        std::filesystem::create_symlink(root / "secret.txt", page / "link.txt");
        canonical_page = std::filesystem::canonical(page);
    }

    TempDir root;
    std::filesystem::path page = root / "html";
    std::filesystem::path canonical_page;
};

}  // namespace

TEST_F(PageFiles, ServesFilesOfThePageFolderWithoutQueryOrFragment)
{
    EXPECT_EQ(page_file_for(page, "/app.js"), canonical_page / "app.js");
    EXPECT_EQ(page_file_for(page, "/app.js?v=2#top"), canonical_page / "app.js");
}

TEST_F(PageFiles, DecodesPercentEscapesInThePath)
{
    EXPECT_EQ(page_file_for(page, "/lib/x%20y.css"), canonical_page / "lib/x y.css");
    EXPECT_EQ(page_file_for(page, "/%E5%9C%96/logo.png"), canonical_page / "圖/logo.png");
}

TEST_F(PageFiles, RefusesWhatLiesOutsideTheFolderOrIsNoFileOfIt)
{
    for (const char* refused :
         { "/../secret.txt", "/lib/../../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt", "/link.txt", "/lib",
           "/", "", "app.js", "/missing.js", "/app.js%00.png", "/%zz", "/app.js%" }) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(page_file_for(page, refused));
    }
}

TEST_F(PageFiles, AMissingPageFolderServesNothing)
{
    EXPECT_FALSE(page_file_for(root / "no-such-folder", "/app.js"));
}

TEST(PageContentType, FollowsTheExtensionInAnyCase)
{
    const std::pair<const char*, const char*> cases[] = {
        { "a/index.HTML", "text/html; charset=utf-8" },
        { "main.mjs", "text/javascript; charset=utf-8" },
        { "style.css", "text/css; charset=utf-8" },
        { "logo.svg", "image/svg+xml" },
        { "font.woff2", "font/woff2" },
        { "README", "application/octet-stream" },
    };
    for (const auto& [file, type] : cases) {
        SCOPED_TRACE(file);
        EXPECT_EQ(page_content_type(file), type);
    }
}
