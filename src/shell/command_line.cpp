#include "shell/command_line.h"

#include "core/hex.h"
#include "core/utf8_path.h"

#include <cctype>
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

std::string percent_decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? hex_digit_value(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? hex_digit_value(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            throw std::invalid_argument("a malformed file URI: " + std::string(text));
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (out.find('\0') != std::string::npos)
        throw std::invalid_argument("a malformed file URI: " + std::string(text));
    return out;
}

bool has_uri_scheme(std::string_view word)
{
    std::size_t colon = word.find("://");
    return colon != std::string_view::npos && colon > 0 &&
        word.substr(0, colon).find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+.-") ==
        std::string_view::npos;
}

void take_file(LaunchOptions& options, std::string_view word)
{
    if (!options.open_file.empty())
        throw std::invalid_argument("only one file can be opened at a time");
    if (word.empty())
        throw std::invalid_argument("an empty file name");
    options.open_file = has_uri_scheme(word) ? path_of_file_uri(word) : utf8_path(word);
}

}  // namespace

std::filesystem::path path_of_file_uri(std::string_view uri)
{
    constexpr std::string_view scheme = "file://";
    std::string lowered_scheme;
    for (char c : uri.substr(0, scheme.size()))
        lowered_scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lowered_scheme != scheme)
        throw std::invalid_argument("only local files can be opened, not " + std::string(uri));
    std::string_view rest = uri.substr(scheme.size());
    std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    if (slash == std::string_view::npos || (!host.empty() && host != "localhost"))
        throw std::invalid_argument("only files of this computer can be opened, not " + std::string(uri));
    std::string_view path = rest.substr(slash);
    path = path.substr(0, path.find_first_of("?#"));
    std::string decoded = percent_decoded(path);
#ifdef _WIN32
    // file:///C:/... names C:/..., not a folder "C:" under the current drive's root.
    if (decoded.size() >= 3 && decoded[0] == '/' && std::isalpha(static_cast<unsigned char>(decoded[1])) &&
        decoded[2] == ':')
        decoded.erase(0, 1);
#endif
    return utf8_path(decoded);
}

LaunchOptions parse_command_line(int argc, const char* const* argv)
{
    LaunchOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") {
            if (i + 1 < argc)
                take_file(options, argv[++i]);
            if (i + 1 < argc)
                throw std::invalid_argument("only one file can be opened at a time");
        } else if (!arg.starts_with("-")) {
            take_file(options, arg);
        } else if (arg == "--help" || arg == "-h") {
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
    return "usage: wrenfold [--browser] [--port N] [--no-open] [--help] [--version] [FILE.ics]\n";
}

std::string help_text()
{
    return usage_text() +
        "\n"
        "Wrenfold, a desktop calendar for iCloud with an AI assistant.\n"
        "With a display it opens its window and lives in the tray; started again,\n"
        "it brings the running window back. A calendar file (a path or a file:// URI)\n"
        "is shown for import, in the running window when there is one.\n"
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
