#include "platform/edge_window.h"
#include "platform/launch_page.h"
#include "platform/platform_error.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace wrenfold::platform;

TEST(WindowsEdge, TheRegisteredEdgeOpensTheLaunchFileAsAnApp)
{
    fs::path folder = fs::temp_directory_path() / L"wrenfold edge 行事曆";
    fs::create_directories(folder);
    fs::path edge = folder / "msedge.exe";
    std::ofstream(edge) << "x";
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe";
    std::wstring quoted = L"\"" + edge.wstring() + L"\"";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, nullptr, REG_SZ, quoted.c_str(),
                              static_cast<DWORD>((quoted.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    auto found = find_edge();
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(found);
    EXPECT_TRUE(fs::equivalent(*found, edge));

    std::string url = file_url(folder / "open" / "wrenfold.html");
    EXPECT_EQ(url.rfind("file:///", 0), 0u);
    EXPECT_NE(url.find("/wrenfold%20edge%20%E8%A1%8C%E4%BA%8B%E6%9B%86/open/wrenfold.html"), std::string::npos);
    EXPECT_EQ(url.find('\\'), std::string::npos);
    auto command = edge_app_command(*found, url, folder / "webview2_data");
    EXPECT_EQ(command[1], "--app=" + url);
    fs::remove_all(folder);
}

TEST(WindowsEdge, TheLaunchFileHoldsTheAddressUntilRemoved)
{
    fs::path file;
    {
        LaunchPage page;
        file = page.path();
        page.write("http://127.0.0.1:5/#token=abc");
        std::ifstream in(file);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("url=http://127.0.0.1:5/#token=abc"), std::string::npos);
        EXPECT_THROW(page.write("again"), PlatformError);  // never written over
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(file.parent_path()));
}
