#include "platform/webview_window.h"

#include "core/json.h"
#include "platform/page_files.h"
#include "platform/toolkit.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace wrenfold::platform {

namespace fs = std::filesystem;

bool is_own_page_uri(std::string_view uri)
{
    return uri.starts_with(kPageOrigin) && uri.size() > kPageOrigin.size() && uri[kPageOrigin.size()] == '/';
}

bool is_own_download_uri(std::string_view uri)
{
    constexpr std::string_view blob = "blob:";
    return uri.starts_with(blob) && is_own_page_uri(uri.substr(blob.size()));
}

// Calls still running on their worker threads; the window waits for them
// before it goes, since they use the bridge target.
class InFlightCalls {
public:
    void started()
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
    }
    void finished()
    {
        std::lock_guard lock(m_mutex);
        if (--m_count == 0)
            m_idle.notify_all();
    }
    void wait_idle()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_count == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_count { 0 };
};

struct WebViewWindow::State {
    State(BridgeTarget& target, Handlers window_handlers)
        : bridge(target),
          handlers(std::move(window_handlers))
    {
    }

    BridgeTarget& bridge;
    Handlers handlers;
    std::string page_html;
    fs::path page_directory;
    bool developer_tools { false };
    // Toolkit thread only.
    GtkWidget* window { nullptr };
    WebKitWebView* view { nullptr };
    InFlightCalls calls;
};

namespace {

using State = WebViewWindow::State;

// Signal data: a shared_ptr copy that lives as long as the connection.
gpointer hold(const std::shared_ptr<State>& state)
{
    return new std::shared_ptr<State>(state);
}
void release(gpointer data, GClosure*)
{
    delete static_cast<std::shared_ptr<State>*>(data);
}

void settle(const std::weak_ptr<State>& weak_state, const Json& id, BridgeReply& reply)
{
    // JSON text is a script expression as it is (U+2028 and U+2029 included).
    std::string value = reply.status == BridgeReply::Status::Ok ? take_result_text(reply)
        : reply.status == BridgeReply::Status::Failed           ? dump_compact(Json(reply.error))
                                                                : dump_compact(Json("no such method"));
    std::string script = "window.wrenfold._settle(" + id.dump() + ", " +
        (reply.status == BridgeReply::Status::Ok ? "true" : "false") + ", " + value + ");";
    run_on_toolkit_thread([weak_state, script = std::move(script)] {
        auto state = weak_state.lock();
        if (state && state->view)
            webkit_web_view_evaluate_javascript(state->view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                                nullptr);
    });
}

void start_bridge_call(const std::shared_ptr<State>& state, Json id, std::string method, Json args)
{
    state->calls.started();
    std::weak_ptr<State> weak_state = state;
    State* raw = state.get();
    std::thread([raw, weak_state, id = std::move(id), method = std::move(method), args = std::move(args)] {
        BridgeReply reply;
        if (!raw->bridge.has_method(method))
            reply.status = BridgeReply::Status::NoSuchMethod;
        else
            reply = raw->bridge.call(method, args);
        settle(weak_state, id, reply);
        raw->calls.finished();
    }).detach();
}

void on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    // Only our own page may call: anything else never loads (see
    // on_decide_policy), and a message arriving while the view shows some
    // other address is dropped.
    const char* shown = state->view ? webkit_web_view_get_uri(state->view) : nullptr;
    JSCValue* message = webkit_javascript_result_get_js_value(result);
    if (!shown || !is_own_page_uri(shown) || !jsc_value_is_string(message))
        return;
    char* text = jsc_value_to_string(message);
    Json call = Json::parse(text, nullptr, false);
    g_free(text);
    if (!call.is_object() || !call.contains("id") || !call["method"].is_string())
        return;
    Json args = call.value("args", Json::array());
    if (!args.is_array())
        args = Json::array();
    start_bridge_call(state, call["id"], call["method"].get<std::string>(), std::move(args));
}

std::string read_file(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void finish_with(WebKitURISchemeRequest* request, std::string body, const std::string& content_type)
{
    auto* owned = new std::string(std::move(body));
    GBytes* bytes = g_bytes_new_with_free_func(
        owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(g_bytes_get_size(bytes)),
                                     content_type.c_str());
    g_object_unref(stream);
    g_bytes_unref(bytes);
}

// wrenfold://app/ and /index.html: the page read at start; anything else: a
// file of the page's folder, and nothing outside it.
void on_page_request(WebKitURISchemeRequest* request, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    std::string uri = webkit_uri_scheme_request_get_uri(request);
    std::string path = webkit_uri_scheme_request_get_path(request);
    if (is_own_page_uri(uri) && (path == "/" || path == "/index.html")) {
        finish_with(request, state->page_html, "text/html; charset=utf-8");
        return;
    }
    auto file = is_own_page_uri(uri) ? page_file_for(state->page_directory, path) : std::nullopt;
    if (!file) {
        GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not found: %s", path.c_str());
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    finish_with(request, read_file(*file), page_content_type(*file));
}

gboolean on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data)
{
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    std::string target = uri ? uri : "";
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && is_own_page_uri(target))
        return FALSE;
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && is_own_download_uri(target)) {
        webkit_policy_decision_download(decision);
        return TRUE;
    }
    webkit_policy_decision_ignore(decision);
    // A link followed away from the page goes to the user's browser (the
    // handler decides which links may leave at all).
    if (state->handlers.open_link)
        state->handlers.open_link(target);
    return TRUE;
}

std::string window_text(const State& state, std::string_view key)
{
    return state.handlers.text ? state.handlers.text(key) : std::string(key);
}

void on_save_chosen(GtkNativeDialog* dialog, gint response, gpointer data)
{
    auto* download = WEBKIT_DOWNLOAD(data);
    if (response == GTK_RESPONSE_ACCEPT) {
        char* uri = gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(dialog));
        // The dialog has asked before replacing a file.
        webkit_download_set_allow_overwrite(download, TRUE);
        webkit_download_set_destination(download, uri);
        g_free(uri);
    } else {
        webkit_download_cancel(download);
    }
    g_object_unref(download);
    g_object_unref(dialog);
}

// Asks where the page's file goes, keeping the name the page gave it; the
// download waits until the user answers.
gboolean on_decide_destination(WebKitDownload* download, gchar* suggested_name, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    std::string title = window_text(*state, "save.title");
    GtkFileChooserNative* chooser =
        gtk_file_chooser_native_new(title.c_str(), state->window ? GTK_WINDOW(state->window) : nullptr,
                                    GTK_FILE_CHOOSER_ACTION_SAVE, nullptr, nullptr);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), suggested_name ? suggested_name : "calendar.ics");
    GtkFileFilter* calendars = gtk_file_filter_new();
    gtk_file_filter_set_name(calendars, window_text(*state, "save.filter").c_str());
    gtk_file_filter_add_pattern(calendars, "*.ics");
    gtk_file_filter_add_mime_type(calendars, "text/calendar");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), calendars);
    g_signal_connect(chooser, "response", G_CALLBACK(on_save_chosen), g_object_ref(download));
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
    return TRUE;
}

void on_download_started(WebKitWebContext*, WebKitDownload* download, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    g_signal_connect_data(download, "decide-destination", G_CALLBACK(on_decide_destination), hold(state), release,
                          GConnectFlags {});
}

gboolean on_context_menu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    if (state->developer_tools)
        return FALSE;
    // Editing items stay; nothing that navigates the window or inspects it.
    GList* items = g_list_copy(webkit_context_menu_get_items(menu));
    for (GList* node = items; node; node = node->next) {
        auto* item = static_cast<WebKitContextMenuItem*>(node->data);
        switch (webkit_context_menu_item_get_stock_action(item)) {
        case WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT:
        case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
        case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
        case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
        case WEBKIT_CONTEXT_MENU_ACTION_STOP:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW:
            webkit_context_menu_remove(menu, item);
            break;
        default:
            break;
        }
    }
    g_list_free(items);
    return webkit_context_menu_get_n_items(menu) == 0;
}

gboolean on_delete_event(GtkWidget*, GdkEvent*, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    bool let_go = true;
    try {
        let_go = !state->handlers.closing || state->handlers.closing();
    } catch (...) {
    }
    return let_go ? FALSE : TRUE;
}

void on_destroy(GtkWidget*, gpointer data)
{
    auto& state = *static_cast<std::shared_ptr<State>*>(data);
    state->window = nullptr;
    state->view = nullptr;
    if (gtk_main_level() > 0)
        gtk_main_quit();
}

WebKitWebContext* make_context(const WindowSettings& settings, const std::shared_ptr<State>& state)
{
    std::error_code ignored;
    fs::create_directories(settings.profile_directory, ignored);
    std::string data_dir = (settings.profile_directory / "data").string();
    std::string cache_dir = (settings.profile_directory / "cache").string();
    WebKitWebsiteDataManager* data = webkit_website_data_manager_new(
        "base-data-directory", data_dir.c_str(), "base-cache-directory", cache_dir.c_str(), nullptr);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(data);
    g_object_unref(data);

    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
    webkit_security_manager_register_uri_scheme_as_secure(security, "wrenfold");
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, "wrenfold");
    webkit_web_context_register_uri_scheme(context, "wrenfold", on_page_request, hold(state),
                                           [](gpointer p) { release(p, nullptr); });
    g_signal_connect_data(context, "download-started", G_CALLBACK(on_download_started), hold(state), release,
                          GConnectFlags {});
    return context;
}

WebKitWebView* make_view(const WindowSettings& settings, const std::shared_ptr<State>& state)
{
    WebKitWebContext* context = make_context(settings, state);
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    g_signal_connect_data(content, "script-message-received::wrenfold", G_CALLBACK(on_script_message), hold(state),
                          release, GConnectFlags {});
    webkit_user_content_manager_register_script_message_handler(content, "wrenfold");

    WebKitSettings* web_settings = webkit_settings_new();
    webkit_settings_set_enable_developer_extras(web_settings, settings.developer_tools);

    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "user-content-manager",
                                              content, "settings", web_settings, nullptr));
    g_object_unref(web_settings);
    g_object_unref(content);
    g_object_unref(context);

    GdkRGBA background {};
    if (gdk_rgba_parse(&background, settings.background.c_str()))
        webkit_web_view_set_background_color(view, &background);
    g_signal_connect_data(view, "decide-policy", G_CALLBACK(on_decide_policy), hold(state), release, GConnectFlags {});
    g_signal_connect_data(view, "context-menu", G_CALLBACK(on_context_menu), hold(state), release, GConnectFlags {});
    return view;
}

void paint_background(GtkWidget* window, const std::string& colour)
{
    GtkCssProvider* css = gtk_css_provider_new();
    std::string rule = "window { background-color: " + colour + "; }";
    if (gtk_css_provider_load_from_data(css, rule.c_str(), -1, nullptr))
        gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

}  // namespace

WebViewWindow::WebViewWindow(const WindowSettings& settings, BridgeTarget& bridge, Handlers handlers)
    : m_state(std::make_shared<State>(bridge, std::move(handlers)))
{
    m_state->page_html = settings.page_html;
    m_state->page_directory = settings.page_directory;
    m_state->developer_tools = settings.developer_tools;

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), settings.title.c_str());
    gtk_window_set_default_size(GTK_WINDOW(window), settings.width, settings.height);
    gtk_widget_set_size_request(window, settings.min_width, settings.min_height);
    gtk_window_set_resizable(GTK_WINDOW(window), TRUE);
    paint_background(window, settings.background);
    std::error_code ignored;
    if (fs::is_regular_file(settings.icon_file, ignored))
        gtk_window_set_icon_from_file(GTK_WINDOW(window), settings.icon_file.c_str(), nullptr);

    WebKitWebView* view = make_view(settings, m_state);
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
    m_state->window = window;
    m_state->view = view;
    g_signal_connect_data(window, "delete-event", G_CALLBACK(on_delete_event), hold(m_state), release,
                          GConnectFlags {});
    g_signal_connect_data(window, "destroy", G_CALLBACK(on_destroy), hold(m_state), release, GConnectFlags {});

    webkit_web_view_load_uri(view, (std::string(kPageOrigin) + "/").c_str());
    gtk_widget_show_all(window);
}

WebViewWindow::~WebViewWindow()
{
    if (m_state->window)
        gtk_widget_destroy(m_state->window);
    m_state->calls.wait_idle();
}

void WebViewWindow::show()
{
    run_on_toolkit_thread([weak = std::weak_ptr<State>(m_state)] {
        if (auto state = weak.lock(); state && state->window)
            gtk_window_present(GTK_WINDOW(state->window));
    });
}

void WebViewWindow::hide()
{
    run_on_toolkit_thread([weak = std::weak_ptr<State>(m_state)] {
        if (auto state = weak.lock(); state && state->window)
            gtk_widget_hide(state->window);
    });
}

void WebViewWindow::destroy()
{
    run_on_toolkit_thread([weak = std::weak_ptr<State>(m_state)] {
        if (auto state = weak.lock(); state && state->window)
            gtk_widget_destroy(state->window);
    });
}

void WebViewWindow::run_event_loop()
{
    gtk_main();
}

void WebViewWindow::quit_loop()
{
    run_on_toolkit_thread([] {
        if (gtk_main_level() > 0)
            gtk_main_quit();
    });
}

}  // namespace wrenfold::platform
