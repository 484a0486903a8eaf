// The desktop window, the tray picture and the clipboard on a real (virtual)
// display: run under xvfb-run.
#include "platform/clipboard.h"
#include "platform/toolkit.h"
#include "platform/tray_indicator.h"
#include "platform/webview_window.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

using namespace std::chrono_literals;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

namespace {

// The page's side of the bridge, as the real page has it.
const char* const SHIM = R"(<script>
(function () {
  const desktop = window.webkit.messageHandlers.wrenfold;
  const pending = new Map();
  let nextId = 1;
  const api = new Proxy({}, { get(target, method) {
    return (...args) => new Promise((resolve, reject) => {
      const id = nextId++;
      pending.set(id, { resolve, reject });
      desktop.postMessage(JSON.stringify({ id, method, args }));
    });
  } });
  window.wrenfold = Object.freeze({ api, _settle(id, ok, value) {
    const call = pending.get(id);
    if (!call) return;
    pending.delete(id);
    if (ok) call.resolve(value); else call.reject(new Error(String(value)));
  } });
})();
</script>)";

class RecordingBridge final : public wrenfold::BridgeTarget {
public:
    bool has_method(std::string_view method) const override { return method != "nosuch"; }
    BridgeReply call(std::string_view method, const Json& args) override
    {
        if (method == "echo")
            return { BridgeReply::Status::Ok, args.at(0), "" };
        if (method == "boom")
            return { BridgeReply::Status::Failed, nullptr, "it broke" };
        if (method == "step") {
            std::lock_guard lock(mutex);
            steps.push_back(args.at(0).get<std::string>());
        }
        if (method == "report") {
            std::lock_guard lock(mutex);
            report = args.at(0);
            if (on_report)
                on_report();
        }
        return { BridgeReply::Status::Ok, nullptr, "" };
    }

    std::mutex mutex;
    Json report;
    std::vector<std::string> steps;  // how far the page came, for a failure's message
    std::function<void()> on_report;
};

GtkWindow* only_toplevel()
{
    GList* windows = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* node = windows; node; node = node->next)
        if (gtk_widget_get_visible(GTK_WIDGET(node->data)))
            found = GTK_WINDOW(node->data);
    g_list_free(windows);
    return found;
}

// Runs the toolkit's loop until `done` or 30 seconds have passed.
void run_loop_until(const std::function<bool()>& done)
{
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        g_main_context_iteration(nullptr, FALSE) || (std::this_thread::sleep_for(5ms), true);
}

class DesktopWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display (xvfb-run)"; }

    wrenfold::WindowSettings settings(const std::string& body_script)
    {
        write_text(page / "asset.txt", "asset text");
        write_text(page / "lib.js", "export const answer = 42;\n");
        write_text(page / "main.js", "import { answer } from './lib.js';\nwindow.moduleAnswer = answer;\n");
        write_text(root / "secret.txt", "outside the page");
        wrenfold::WindowSettings result;
        result.title = "Wrenfold";
        result.background = "#0d0f14";
        result.profile_directory = root / "profile";
        result.page_directory = page;
        result.page_html = std::string("<!doctype html><html><head><meta charset=utf-8>") + SHIM +
            "<script type=module src=main.js></script>"
            "<style>html,body{margin:0;height:100%;background:#ff2020}</style></head><body><script>" +
            body_script + "</script></body></html>";
        return result;
    }

    TempDir root;
    std::filesystem::path page = root / "html";
    RecordingBridge bridge;
};

}  // namespace

TEST_F(DesktopWindow, ThePageCallsTheBridgeAndGetsItsAnswersBack)
{
    const char* script = R"(
      (async () => {
        const api = window.wrenfold.api;
        const echoed = await api.echo({ text: "h\u00e9llo <\/script> \u2028", n: 2 });
        api.step("echo");
        let failed = ""; try { await api.boom(); } catch (e) { failed = e.message; }
        let missing = ""; try { await api.nosuch(); } catch (e) { missing = e.message; }
        api.step("errors");
        let asset = ""; try { asset = await (await fetch("asset.txt")).text(); } catch (e) { asset = String(e); }
        api.step("asset");
        let outside = "read"; try { await (await fetch("../secret.txt")).text(); } catch (e) { outside = "refused"; }
        if (outside === "read") { try { const r = await fetch("%2e%2e/secret.txt"); outside = r.ok ? "read" : "refused"; } catch (e) { outside = "refused"; } }
        api.step("outside");
        location.href = "https://example.org/";
        await new Promise(r => setTimeout(r, 700));
        api.report({ echoed, failed, missing, asset, outside, module: window.moduleAnswer, url: location.href,
                     size: [window.innerWidth, window.innerHeight] });
      })();)";
    std::vector<std::string> opened;
    wrenfold::WebViewWindow::Handlers handlers;
    handlers.open_link = [&](const std::string& uri) { opened.push_back(uri); };
    wrenfold::WebViewWindow window(settings(script), bridge, handlers);

    run_loop_until([&] {
        std::lock_guard lock(bridge.mutex);
        return !bridge.report.is_null();
    });
    Json report;
    {
        std::lock_guard lock(bridge.mutex);
        report = bridge.report;
    }
    ASSERT_FALSE(report.is_null()) << "the page never reported; it came to: " << Json(bridge.steps).dump();
    EXPECT_EQ(report["echoed"], Json::parse(R"({"text":"héllo </script> \u2028","n":2})"));
    EXPECT_EQ(report["failed"], "it broke");
    EXPECT_EQ(report["missing"], "no such method");
    EXPECT_EQ(report["asset"], "asset text");
    EXPECT_EQ(report["outside"], "refused");
    EXPECT_EQ(report["module"], 42);
    EXPECT_EQ(report["url"], "wrenfold://app/") << "navigation away from the page is refused";
    EXPECT_EQ(opened, std::vector<std::string> { "https://example.org/" }) << "handed over instead";
    EXPECT_EQ(report["size"], Json::parse("[1280,720]"));

    GtkWindow* toplevel = only_toplevel();
    ASSERT_TRUE(toplevel);
    EXPECT_STREQ(gtk_window_get_title(toplevel), "Wrenfold");
    // The page has painted: the middle of the window is the page's red, not the dark background.
    auto middle_is_red = [&] {
        GdkPixbuf* pixel = gdk_pixbuf_get_from_window(gtk_widget_get_window(GTK_WIDGET(toplevel)), 640, 360, 1, 1);
        bool red = pixel && gdk_pixbuf_get_pixels(pixel)[0] > 200 && gdk_pixbuf_get_pixels(pixel)[1] < 80;
        if (pixel)
            g_object_unref(pixel);
        return red;
    };
    run_loop_until(middle_is_red);
    EXPECT_TRUE(middle_is_red());
}

TEST_F(DesktopWindow, ClosingAsksTheHandlerAndKeepsTheWindowWhenToldSo)
{
    int asked = 0;
    bool let_go = false;
    wrenfold::WebViewWindow::Handlers handlers;
    handlers.closing = [&] {
        ++asked;
        return let_go;
    };
    wrenfold::WebViewWindow window(settings("window.wrenfold.api.report('up')"), bridge, handlers);
    run_loop_until([&] {
        std::lock_guard lock(bridge.mutex);
        return !bridge.report.is_null();
    });
    GtkWindow* toplevel = only_toplevel();
    ASSERT_TRUE(toplevel);

    gtk_window_close(toplevel);
    run_loop_until([&] { return asked == 1; });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(only_toplevel(), toplevel) << "kept";

    window.hide();
    run_loop_until([&] { return only_toplevel() == nullptr; });
    EXPECT_EQ(only_toplevel(), nullptr);
    // From another thread, as the tray and a later start do it.
    std::thread([&] { window.show(); }).join();
    run_loop_until([&] { return only_toplevel() != nullptr; });
    EXPECT_EQ(only_toplevel(), toplevel);

    let_go = true;
    gtk_window_close(toplevel);
    run_loop_until([&] { return only_toplevel() == nullptr; });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(only_toplevel(), nullptr);
}

TEST(TrayPicture, TheIconFileOrAPlainDarkSquare)
{
    TempDir dir;
    EXPECT_FALSE(wrenfold::write_tray_icon_png(dir / "missing.ico", dir / "generated.png"));
    GdkPixbuf* generated = gdk_pixbuf_new_from_file((dir / "generated.png").c_str(), nullptr);
    ASSERT_TRUE(generated);
    EXPECT_EQ(gdk_pixbuf_get_width(generated), 64);
    EXPECT_EQ(gdk_pixbuf_get_height(generated), 64);
    const guchar* pixels = gdk_pixbuf_get_pixels(generated);
    int stride = gdk_pixbuf_get_rowstride(generated);
    int channels = gdk_pixbuf_get_n_channels(generated);
    for (int at : { 0, 63 * stride + 63 * channels, 32 * stride + 10 * channels }) {
        EXPECT_EQ(pixels[at], 15);
        EXPECT_EQ(pixels[at + 1], 21);
        EXPECT_EQ(pixels[at + 2], 33);
    }
    g_object_unref(generated);

    write_text(dir / "broken.ico", "not an icon");
    EXPECT_FALSE(wrenfold::write_tray_icon_png(dir / "broken.ico", dir / "from-broken.png"));

    GdkPixbuf* red = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 16, 16);
    gdk_pixbuf_fill(red, 0xff000000u);
    gdk_pixbuf_save(red, (dir / "logo.png").c_str(), "png", nullptr, nullptr);
    g_object_unref(red);
    EXPECT_TRUE(wrenfold::write_tray_icon_png(dir / "logo.png", dir / "from-file.png"));
    GdkPixbuf* copied = gdk_pixbuf_new_from_file((dir / "from-file.png").c_str(), nullptr);
    ASSERT_TRUE(copied);
    EXPECT_EQ(gdk_pixbuf_get_width(copied), 16);
    EXPECT_EQ(gdk_pixbuf_get_pixels(copied)[0], 255);
    g_object_unref(copied);
}

TEST(TrayHost, AnXSystemTrayCountsAsATrayThatShowsTheIcon)
{
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    EXPECT_FALSE(wrenfold::tray_host_present()) << "a bare display has no tray";

    // Stand in for a tray: own the display's system-tray selection.
    GtkWidget* tray = gtk_invisible_new();
    gtk_widget_realize(tray);
    ASSERT_TRUE(gdk_selection_owner_set(gtk_widget_get_window(tray), gdk_atom_intern("_NET_SYSTEM_TRAY_S0", FALSE),
                                        GDK_CURRENT_TIME, TRUE));
    EXPECT_TRUE(wrenfold::tray_host_present());
    gtk_widget_destroy(tray);
    run_loop_until([] { return !wrenfold::tray_host_present(); });
    EXPECT_FALSE(wrenfold::tray_host_present());
}

namespace {

// Another X client owning the clipboard: xclip in the foreground until killed.
class ClipboardOwner {
public:
    ClipboardOwner(const std::filesystem::path& file, const std::string& type)
    {
        std::vector<std::string> args { "xclip", "-quiet", "-selection", "clipboard", "-t", type, "-i", file.string() };
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawnp(&m_pid, "xclip", &actions, nullptr, argv.data(), environ), 0) << "xclip is needed";
        posix_spawn_file_actions_destroy(&actions);
        std::this_thread::sleep_for(500ms);
    }
    ~ClipboardOwner()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid { -1 };
};

// Reads the clipboard from another thread while this one runs the toolkit.
std::string read_clipboard_while_looping()
{
    std::optional<std::string> text;
    std::thread reader([&] {
        auto read = wrenfold::read_clipboard_text(5s);
        wrenfold::run_on_toolkit_thread([&text, read] { text = read; });
    });
    run_loop_until([&] { return text.has_value(); });
    reader.join();
    return text.value_or("<not answered>");
}

}  // namespace

TEST(Clipboard, ReadsTextOfAnotherClientExactlyAndNothingElse)
{
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    EXPECT_EQ(read_clipboard_while_looping(), "") << "nobody owns the clipboard yet";

    TempDir dir;
    const std::string text = "first line\nsecond\tline \u00e9\u6f22\r\nthird\n";
    write_text(dir / "text.txt", text);
    {
        ClipboardOwner owner(dir / "text.txt", "UTF8_STRING");
        EXPECT_EQ(read_clipboard_while_looping(), text);
    }
    write_text(dir / "picture.png", "\x89PNG not really");
    {
        ClipboardOwner owner(dir / "picture.png", "image/png");
        EXPECT_EQ(read_clipboard_while_looping(), "");
    }
}
