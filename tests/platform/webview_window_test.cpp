// Run under xvfb-run: the toolkit needs a (virtual) display.
#include "platform/webview_window.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "toolkit_loop.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <mutex>

using namespace std::chrono_literals;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::run_loop_until;
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
        // Answered as written JSON text, as a month of events is; "step"
        // and "report" answer a tree.
        if (method == "echo")
            return { BridgeReply::Status::Ok, nullptr, "", wrenfold::dump_compact(args.at(0)) };
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

class DesktopWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display (xvfb-run)"; }

    wrenfold::platform::WindowSettings settings(const std::string& body_script)
    {
        write_text(page / "asset.txt", "asset text");
        write_text(page / "lib.js", "export const answer = 42;\n");
        write_text(page / "main.js", "import { answer } from './lib.js';\nwindow.moduleAnswer = answer;\n");
        write_text(root / "secret.txt", "outside the page");
        wrenfold::platform::WindowSettings result;
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
    wrenfold::platform::WebViewWindow::Handlers handlers;
    handlers.open_link = [&](const std::string& uri) { opened.push_back(uri); };
    wrenfold::platform::WebViewWindow window(settings(script), bridge, handlers);

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
    wrenfold::platform::WebViewWindow::Handlers handlers;
    handlers.closing = [&] {
        ++asked;
        return let_go;
    };
    wrenfold::platform::WebViewWindow window(settings("window.wrenfold.api.report('up')"), bridge, handlers);
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

namespace {

GtkFileChooser* open_file_chooser()
{
    GList* windows = gtk_window_list_toplevels();
    GtkFileChooser* found = nullptr;
    for (GList* node = windows; node; node = node->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(node->data) && gtk_widget_get_visible(GTK_WIDGET(node->data)))
            found = GTK_FILE_CHOOSER(node->data);
    g_list_free(windows);
    return found;
}

}  // namespace

TEST_F(DesktopWindow, AFileThePageDownloadsIsSavedWhereTheUserSays)
{
    const char* script = R"(
      const text = "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
      const link = document.createElement("a");
      link.href = URL.createObjectURL(new Blob([text], { type: "text/calendar" }));
      link.download = "Work 2027.ics";
      document.body.append(link);
      link.click();)";
    wrenfold::platform::WebViewWindow::Handlers handlers;
    handlers.text = [](std::string_view key) { return "text of " + std::string(key); };
    wrenfold::platform::WebViewWindow window(settings(script), bridge, handlers);

    run_loop_until([] { return open_file_chooser() != nullptr; });
    GtkFileChooser* chooser = open_file_chooser();
    ASSERT_TRUE(chooser) << "no save dialog";
    EXPECT_EQ(gtk_file_chooser_get_action(chooser), GTK_FILE_CHOOSER_ACTION_SAVE);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(chooser)), "text of save.title");
    char* offered = gtk_file_chooser_get_current_name(chooser);
    EXPECT_STREQ(offered, "Work 2027.ics") << "the page's name is offered";
    g_free(offered);
    GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser);
    ASSERT_TRUE(filter);
    EXPECT_STREQ(gtk_file_filter_get_name(filter), "text of save.filter");

    std::filesystem::path saved = root / "chosen.ics";
    gtk_file_chooser_set_current_folder(chooser, root.path().c_str());
    gtk_file_chooser_set_current_name(chooser, "chosen.ics");
    // As the user clicks it: the dialog checks the name before it answers.
    gtk_widget_activate(gtk_dialog_get_widget_for_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT));
    auto saved_whole = [&] {
        std::error_code ignored;
        return std::filesystem::file_size(saved, ignored) == 32;
    };
    run_loop_until(saved_whole);
    EXPECT_TRUE(saved_whole()) << "nothing saved where the user said";
    EXPECT_FALSE(std::filesystem::exists(root / "Work 2027.ics"));
}
