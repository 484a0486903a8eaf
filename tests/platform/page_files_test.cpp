#include "platform/page_files.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using wrenfold::platform::page_content_type;
using wrenfold::platform::page_file_for;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

TEST(PageFiles, ServesFilesOfThePageFolderAndNothingOutsideIt)
{
    TempDir root;
    auto page = root / "html";
    write_text(page / "app.js", "js");
    write_text(page / "lib/x y.css", "css");
    write_text(page / "圖/logo.png", "png");
    write_text(root / "secret.txt", "outside");
    std::filesystem::create_symlink(root / "secret.txt", page / "link.txt");
    auto canonical_page = std::filesystem::canonical(page);

    EXPECT_EQ(page_file_for(page, "/app.js"), canonical_page / "app.js");
    EXPECT_EQ(page_file_for(page, "/app.js?v=2#top"), canonical_page / "app.js");
    EXPECT_EQ(page_file_for(page, "/lib/x%20y.css"), canonical_page / "lib/x y.css");
    EXPECT_EQ(page_file_for(page, "/%E5%9C%96/logo.png"), canonical_page / "圖/logo.png");

    for (const char* refused :
         { "/../secret.txt", "/lib/../../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt", "/link.txt", "/lib",
           "/", "", "app.js", "/missing.js", "/app.js%00.png", "/%zz", "/app.js%" })
        EXPECT_FALSE(page_file_for(page, refused)) << refused;
    EXPECT_FALSE(page_file_for(root / "no-such-folder", "/app.js"));
}

TEST(PageFiles, ContentTypesFollowTheExtensionInAnyCase)
{
    EXPECT_EQ(page_content_type("a/index.HTML"), "text/html; charset=utf-8");
    EXPECT_EQ(page_content_type("main.mjs"), "text/javascript; charset=utf-8");
    EXPECT_EQ(page_content_type("style.css"), "text/css; charset=utf-8");
    EXPECT_EQ(page_content_type("logo.svg"), "image/svg+xml");
    EXPECT_EQ(page_content_type("font.woff2"), "font/woff2");
    EXPECT_EQ(page_content_type("README"), "application/octet-stream");
}
