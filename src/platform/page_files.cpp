#include "platform/page_files.h"

#include "core/hex.h"
#include "core/utf8_path.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace wrenfold::platform {

namespace fs = std::filesystem;

namespace {

// Percent-decoding; nothing for a malformed escape or an encoded NUL.
std::optional<std::string> percent_decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = hex_digit_value(text[i + 1]);
        int low = hex_digit_value(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool is_inside(const fs::path& folder, const fs::path& file)
{
    auto [folder_end, file_at] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    return folder_end == folder.end() && file_at != file.end();
}

}  // namespace

std::optional<fs::path> page_file_for(const fs::path& page_directory, std::string_view request_path)
{
    request_path = request_path.substr(0, request_path.find_first_of("?#"));
    auto decoded = percent_decoded(request_path);
    if (!decoded || decoded->empty() || decoded->front() != '/')
        return std::nullopt;
    fs::path relative = utf8_path(decoded->substr(1)).lexically_normal();
    if (relative.empty() || *relative.begin() == ".." || relative.is_absolute())
        return std::nullopt;

    std::error_code error;
    fs::path folder = fs::canonical(page_directory, error);
    if (error)
        return std::nullopt;
    fs::path file = fs::canonical(folder / relative, error);
    if (error || !is_inside(folder, file) || !fs::is_regular_file(file, error))
        return std::nullopt;
    return file;
}

std::string page_content_type(const fs::path& file)
{
    static const std::map<std::string, std::string> types {
        { ".html", "text/html; charset=utf-8" },
        { ".js", "text/javascript; charset=utf-8" },
        { ".mjs", "text/javascript; charset=utf-8" },
        { ".css", "text/css; charset=utf-8" },
        { ".json", "application/json" },
        { ".map", "application/json" },
        { ".svg", "image/svg+xml" },
        { ".png", "image/png" },
        { ".jpg", "image/jpeg" },
        { ".jpeg", "image/jpeg" },
        { ".gif", "image/gif" },
        { ".webp", "image/webp" },
        { ".ico", "image/x-icon" },
        { ".woff", "font/woff" },
        { ".woff2", "font/woff2" },
        { ".ttf", "font/ttf" },
        { ".txt", "text/plain; charset=utf-8" },
    };
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto found = types.find(extension);
    return found != types.end() ? found->second : "application/octet-stream";
}

}  // namespace wrenfold::platform
