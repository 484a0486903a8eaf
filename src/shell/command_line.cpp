#include "shell/command_line.h"

#include <charconv>
#include <stdexcept>
#include <string_view>

namespace wrenfold {

namespace {

int parse_port(std::string_view text)
{
    int port = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535)
        throw std::invalid_argument("--port needs a number from 0 to 65535");
    return port;
}

}  // namespace

LaunchOptions parse_command_line(int argc, const char* const* argv)
{
    LaunchOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.show_help = true;
        } else if (arg == "--version") {
            options.show_version = true;
        } else if (arg == "--browser") {
            options.browser = true;
        } else if (arg == "--no-open") {
            options.open_browser = false;
        } else if (arg == "--port") {
            if (i + 1 >= argc)
                throw std::invalid_argument("--port needs a number");
            options.port = parse_port(argv[++i]);
        } else if (arg.starts_with("--port=")) {
            options.port = parse_port(arg.substr(7));
        } else {
            throw std::invalid_argument("unknown option " + std::string(arg));
        }
    }
    return options;
}

std::string usage_text()
{
    return "usage: wrenfold [--browser] [--port N] [--no-open] [--help] [--version]\n";
}

std::string help_text()
{
    return usage_text() +
        "\n"
        "Wrenfold, a desktop calendar for iCloud with an AI assistant.\n"
        "With a display it opens its window and lives in the tray; started again,\n"
        "it brings the running window back.\n"
        "\n"
        "  --browser    serve the page to a web browser on 127.0.0.1 instead of a window\n"
        "  --port N     the browser host's port (0 or absent: a free one)\n"
        "  --no-open    do not open the page's address in the default browser\n"
        "  --help       show this text\n"
        "  --version    show the version\n";
}

std::string version_text()
{
    return std::string("wrenfold ") + WRENFOLD_VERSION + "\n";
}

}  // namespace wrenfold
