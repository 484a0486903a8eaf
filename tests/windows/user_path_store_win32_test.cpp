#include "platform/user_path_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

using wrenfold::platform::RegistryUserPathStore;

namespace {

constexpr const wchar_t* kTestKey = L"Software\\Wrenfold tests\\Environment";

class RegistryPath : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wrenfold tests"); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wrenfold tests"); }
    RegistryUserPathStore store { "Software\\Wrenfold tests\\Environment" };
};

DWORD stored_type()
{
    DWORD type = 0;
    ::RegGetValueW(HKEY_CURRENT_USER, kTestKey, L"Path", RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, nullptr);
    return type;
}

}  // namespace

TEST_F(RegistryPath, ReferencesStayUnexpandedThroughAReadAndAWrite)
{
    EXPECT_EQ(store.read(), "");
    std::string value = "%USERPROFILE%\\.local\\bin;C:\\工具";
    store.write(value);
    EXPECT_EQ(store.read(), value);
    EXPECT_EQ(stored_type(), static_cast<DWORD>(REG_EXPAND_SZ));

    // A value another program wrote as plain REG_SZ reads the same way.
    std::wstring plain = L"C:\\one;C:\\two";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, L"Path", REG_SZ, plain.c_str(),
                      static_cast<DWORD>((plain.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(store.read(), "C:\\one;C:\\two");
}

namespace {

std::atomic<bool> g_environment_announced { false };

LRESULT CALLBACK listening_window(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_SETTINGCHANGE && l && std::wstring(reinterpret_cast<const wchar_t*>(l)) == L"Environment")
        g_environment_announced = true;
    return ::DefWindowProcW(window, message, w, l);
}

}  // namespace

TEST_F(RegistryPath, TheChangeReachesTopLevelWindows)
{
    std::promise<HWND> made;
    std::atomic<bool> stop { false };
    // A hidden top-level window on a thread that pumps its messages, as
    // Explorer has.
    std::thread listener([&] {
        WNDCLASSW window_class {};
        window_class.lpfnWndProc = listening_window;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"WrenfoldSettingListener";
        ::RegisterClassW(&window_class);
        HWND window = ::CreateWindowExW(0, L"WrenfoldSettingListener", L"listener", WS_OVERLAPPED, 0, 0, 10, 10,
                                        nullptr, nullptr, window_class.hInstance, nullptr);
        made.set_value(window);
        MSG message;
        while (!stop) {
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&message);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        ::DestroyWindow(window);
    });
    ASSERT_NE(made.get_future().get(), nullptr);
    store.broadcast_change();
    stop = true;
    listener.join();
    EXPECT_TRUE(g_environment_announced);
}
