#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

using namespace std::chrono_literals;

namespace {

bool put_on_clipboard(const std::wstring& text)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    bool placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    return placed;
}

}  // namespace

TEST(WindowsClipboard, TextComesBackAsUtf8AndOtherContentAsNothing)
{
    ASSERT_TRUE(put_on_clipboard(L"會議 Meeting\r\n10:00"));
    EXPECT_EQ(wrenfold::platform::read_clipboard_text(2s), "會議 Meeting\r\n10:00");

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(wrenfold::platform::read_clipboard_text(2s), "");
}
