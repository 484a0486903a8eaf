#include "core/license_notices.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace wrenfold {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMetadataSuffix = ".dist-info";
constexpr std::string_view kLabelSeparator = " \u00b7 ";

struct Candidate {
    bool in_licenses_folder { false };
    std::string name;
    fs::path path;

    std::string label() const { return in_licenses_folder ? "licenses/" + name : name; }
};

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool is_license_name(const std::string& name)
{
    std::string up = upper(name);
    return up.starts_with("LICENSE") || up.starts_with("LICENCE") || up == "NOTICE";
}

// Entry names sorted by character code (byte order of their UTF-8).
std::vector<std::string> sorted_entry_names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void collect(const fs::path& folder, bool in_licenses_folder, std::vector<Candidate>& candidates)
{
    for (const auto& name : sorted_entry_names(folder)) {
        fs::path path = folder / name;
        if (is_license_name(name) && fs::is_regular_file(path))
            candidates.push_back({ in_licenses_folder, name, path });
    }
}

std::string read_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

// Trailing white space goes, as a text strip would: ASCII blanks and the
// Unicode spaces a licence file may end with.
std::string without_trailing_space(std::string text)
{
    static const std::string_view unicode_spaces[] = {
        "\u00a0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007",
        "\u2008", "\u2009", "\u200a", "\u2028", "\u2029", "\u202f", "\u205f", "\u3000", "\u0085",
    };
    bool trimmed = true;
    while (trimmed && !text.empty()) {
        trimmed = false;
        unsigned char last = static_cast<unsigned char>(text.back());
        if (last == ' ' || (last >= 0x09 && last <= 0x0d) || (last >= 0x1c && last <= 0x1f)) {
            text.pop_back();
            trimmed = true;
            continue;
        }
        for (auto space : unicode_spaces) {
            if (text.ends_with(space)) {
                text.resize(text.size() - space.size());
                trimmed = true;
                break;
            }
        }
    }
    return text;
}

std::string rule()
{
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "\u2500";
    return line;
}

}  // namespace

std::optional<std::pair<std::string, std::string>> read_license_files(const fs::path& folder, TextDecoder decode)
{
    std::vector<Candidate> candidates;
    collect(folder, false, candidates);
    if (fs::is_directory(folder / "licenses"))
        collect(folder / "licenses", true, candidates);
    if (candidates.empty())
        return std::nullopt;

    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        bool a_dotted = a.name.find('.') != std::string::npos;
        bool b_dotted = b.name.find('.') != std::string::npos;
        return std::tie(a.in_licenses_folder, a_dotted, a.name) < std::tie(b.in_licenses_folder, b_dotted, b.name);
    });

    std::string labels;
    std::string body;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto& candidate = candidates[i];
        std::string text = without_trailing_space(decode(read_bytes(candidate.path)));
        if (i > 0) {
            labels += kLabelSeparator;
            body += "\n\n";
        }
        labels += candidate.label();
        if (candidates.size() == 1)
            body += text;
        else
            body += rule() + "\n  " + candidate.label() + "\n" + rule() + "\n" + text;
    }
    return std::pair { labels, body };
}

Json third_party_licenses(const fs::path& scan_directory, TextDecoder decode)
{
    Json items = Json::array();
    if (!fs::is_directory(scan_directory))
        return Json::object({ { "items", items } });
    for (const auto& entry_name : sorted_entry_names(scan_directory)) {
        if (!entry_name.ends_with(kMetadataSuffix))
            continue;
        std::string stem = entry_name.substr(0, entry_name.size() - kMetadataSuffix.size());
        auto dash = stem.rfind('-');
        std::string name = dash == std::string::npos ? stem : stem.substr(0, dash);
        std::string version = dash == std::string::npos ? "" : stem.substr(dash + 1);
        fs::path folder = scan_directory / entry_name;
        if (!fs::is_directory(folder))
            continue;
        auto found = read_license_files(folder, decode);
        if (!found)
            continue;
        items.push_back(Json::object(
            { { "name", name }, { "version", version }, { "license_file", found->first }, { "body", found->second } }));
    }
    return Json::object({ { "items", items } });
}

}  // namespace wrenfold
