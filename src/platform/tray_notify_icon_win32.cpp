#include "platform/tray_notify_icon.h"

#include "core/wide_text.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <future>
#include <thread>
#include <vector>

namespace wrenfold::platform {

namespace {

constexpr UINT kIconMessage = kTrayIconMessage;
constexpr UINT kIconId = 1;

// Copies as much of `text` as fits, always ending in a zero.
template <std::size_t N> void copy_into(wchar_t (&field)[N], const std::string& text)
{
    std::wstring wide = to_wide(text);
    std::size_t count = std::min(wide.size(), N - 1);
    wide.copy(field, count);
    field[count] = L'\0';
}

HICON fallback_icon()
{
    // A solid 64 × 64 square of (15, 21, 33); the mask lets every pixel show.
    std::vector<std::uint32_t> pixels(64 * 64, 0xFF0F1521u);
    HBITMAP colour = ::CreateBitmap(64, 64, 1, 32, pixels.data());
    std::vector<std::uint8_t> mask_bits(64 * 64 / 8, 0);
    HBITMAP mask = ::CreateBitmap(64, 64, 1, 1, mask_bits.data());
    ICONINFO info { TRUE, 0, 0, mask, colour };
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return icon;
}

}  // namespace

struct NotifyIconTray::State {
    std::vector<TrayMenuItem> items;
    NotificationAction on_notification_action;
    std::wstring tip;
    HICON icon { nullptr };
    HWND window { nullptr };
    UINT taskbar_created { 0 };
    std::atomic<bool> added { false };
    std::atomic<bool> stopped { false };
    std::atomic<std::uint32_t> last_notification { 0 };
    std::thread thread;

    NOTIFYICONDATAW icon_data(UINT flags) const
    {
        NOTIFYICONDATAW data {};
        data.cbSize = sizeof data;
        data.hWnd = window;
        data.uID = kIconId;
        data.uFlags = flags;
        return data;
    }

    void add_icon()
    {
        auto data = icon_data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
        data.uCallbackMessage = kIconMessage;
        data.hIcon = icon;
        std::size_t count = std::min<std::size_t>(tip.size(), std::size(data.szTip) - 1);
        tip.copy(data.szTip, count);
        added = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    }

    void run_item(std::size_t index)
    {
        if (stopped || index >= items.size())
            return;
        try {
            items[index].action();
        } catch (...) {
            // A menu action never ends the tray.
        }
    }

    void open_menu()
    {
        HMENU menu = ::CreatePopupMenu();
        for (std::size_t index = 0; index < items.size(); ++index) {
            std::string text;
            try {
                text = items[index].text();
            } catch (...) {
            }
            ::AppendMenuW(menu, MF_STRING | (items[index].is_default ? MF_DEFAULT : 0), index + 1,
                          to_wide(text).c_str());
        }
        POINT at {};
        ::GetCursorPos(&at);
        // Without this the menu would not close when the user clicks elsewhere.
        ::SetForegroundWindow(window);
        UINT chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
        ::DestroyMenu(menu);
        if (chosen > 0)
            run_item(chosen - 1);
    }

    void on_icon_event(LPARAM event)
    {
        switch (LOWORD(event)) {
        case WM_LBUTTONUP:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            for (std::size_t index = 0; index < items.size(); ++index) {
                if (items[index].is_default)
                    run_item(index);
            }
            break;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            open_menu();
            break;
        case NIN_BALLOONUSERCLICK:
            if (on_notification_action && !stopped)
                on_notification_action(last_notification, "default");
            break;
        default:
            break;
        }
    }

    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l)
    {
        auto* state = reinterpret_cast<State*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCCREATE) {
            state = static_cast<State*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        }
        if (state && message == kIconMessage) {
            state->on_icon_event(l);
            return 0;
        }
        if (state && message == state->taskbar_created && message != 0) {
            state->add_icon();  // Explorer restarted and forgot every icon
            return 0;
        }
        if (message == WM_CLOSE) {
            ::DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) {
            ::PostQuitMessage(0);
            return 0;
        }
        return ::DefWindowProcW(window, message, w, l);
    }

    void run(std::promise<void>& ready)
    {
        WNDCLASSW window_class {};
        window_class.lpfnWndProc = &State::window_procedure;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = kTrayWindowClass;
        ::RegisterClassW(&window_class);
        taskbar_created = ::RegisterWindowMessageW(L"TaskbarCreated");
        // No title: the page's window is found by the program's name, which
        // this hidden window must not answer to.
        window = ::CreateWindowExW(0, kTrayWindowClass, nullptr, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                   window_class.hInstance, this);
        if (window)
            add_icon();
        ready.set_value();
        if (!window)
            return;
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        auto data = icon_data(0);
        ::Shell_NotifyIconW(NIM_DELETE, &data);
        added = false;
    }
};

NotifyIconTray::NotifyIconTray(const std::string& tip, const std::filesystem::path& icon_file,
                               std::vector<TrayMenuItem> items, NotificationAction on_notification_action)
    : m_state(std::make_shared<State>())
{
    m_state->items = std::move(items);
    m_state->on_notification_action = std::move(on_notification_action);
    m_state->tip = to_wide(tip);
    m_state->icon = static_cast<HICON>(
        ::LoadImageW(nullptr, icon_file.wstring().c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    if (!m_state->icon)
        m_state->icon = fallback_icon();
    std::promise<void> ready;
    auto started = ready.get_future();
    m_state->thread = std::thread([state = m_state.get(), &ready] { state->run(ready); });
    started.wait();
}

NotifyIconTray::~NotifyIconTray()
{
    stop();
    if (m_state->thread.joinable())
        m_state->thread.join();
    if (m_state->icon)
        ::DestroyIcon(m_state->icon);
}

void NotifyIconTray::rebuild_menu()
{
    // The menu is built from its texts each time it opens.
}

void NotifyIconTray::stop()
{
    m_state->stopped = true;
    if (m_state->window)
        ::PostMessageW(m_state->window, WM_CLOSE, 0, 0);
}

bool NotifyIconTray::shown() const
{
    return !m_state->stopped && m_state->added;
}

std::optional<std::uint32_t> NotifyIconTray::show(const DesktopNotification& notification)
{
    if (!shown())
        return std::nullopt;
    auto data = m_state->icon_data(NIF_INFO);
    copy_into(data.szInfoTitle, notification.title);
    copy_into(data.szInfo, notification.body);
    data.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | (notification.sound ? 0 : NIIF_NOSOUND);
    data.hBalloonIcon = m_state->icon;
    std::uint32_t id = ++m_state->last_notification;
    if (!::Shell_NotifyIconW(NIM_MODIFY, &data))
        return std::nullopt;
    return id;
}

}  // namespace wrenfold::platform
