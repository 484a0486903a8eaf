#include "core/page_assets.h"

#include "core/atomic_store.h"

#include <algorithm>
#include <cctype>

namespace wrenfold {
namespace fs = std::filesystem;

std::string base64_encode(std::string_view bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned chunk = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
            static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[chunk >> 18 & 63];
        out += alphabet[chunk >> 12 & 63];
        out += alphabet[chunk >> 6 & 63];
        out += alphabet[chunk & 63];
    }
    std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        unsigned chunk = static_cast<unsigned char>(bytes[i]) << 16;
        out += alphabet[chunk >> 18 & 63];
        out += alphabet[chunk >> 12 & 63];
        out += "==";
    } else if (rest == 2) {
        unsigned chunk = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[chunk >> 18 & 63];
        out += alphabet[chunk >> 12 & 63];
        out += alphabet[chunk >> 6 & 63];
        out += '=';
    }
    return out;
}

std::string image_data_url(const std::string& file_name, std::string_view bytes)
{
    std::string subtype = file_name.substr(file_name.rfind('.') + 1);
    std::transform(subtype.begin(), subtype.end(), subtype.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (subtype == "ico")
        subtype = "x-icon";
    return "data:image/" + subtype + ";base64," + base64_encode(bytes);
}

std::string image_file_data_url(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return "";
    return image_data_url(path.filename().string(), read_file(path));
}

std::string load_html_content(const fs::path& module_directory)
{
    return read_file(module_directory / "html" / "index.html");
}

}  // namespace wrenfold
