#include "caldav/content_lines.h"

#include <algorithm>
#include <cctype>

namespace wrenfold::caldav {
namespace {

std::string upper(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

size_t value_colon(std::string_view line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return std::string_view::npos;
}

// The physical lines of a text, their line breaks taken off.
std::vector<std::string_view> physical_lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string property_name(std::string_view unfolded)
{
    return upper(unfolded.substr(0, unfolded.find_first_of(";:")));
}

std::string_view value_after(const ContentLine& line, const char* keyword)
{
    return line.name == keyword ? line.value() : std::string_view {};
}

}  // namespace

std::string_view ContentLine::head() const
{
    return std::string_view(unfolded).substr(0, value_colon(unfolded));
}

std::string_view ContentLine::value() const
{
    size_t colon = value_colon(unfolded);
    return colon == std::string_view::npos ? std::string_view {} : std::string_view(unfolded).substr(colon + 1);
}

ContentLine content_line(std::string_view unfolded)
{
    return { std::string(unfolded), std::string(unfolded), property_name(unfolded) };
}

std::vector<RawComponent> parse_content_lines(std::string_view text)
{
    std::vector<ContentLine> lines;
    for (std::string_view physical : physical_lines(text)) {
        bool continues = !physical.empty() && (physical[0] == ' ' || physical[0] == '\t');
        if (continues && !lines.empty()) {
            lines.back().written.append("\r\n").append(physical);
            lines.back().unfolded.append(physical.substr(1));
        } else if (!physical.empty()) {
            lines.push_back({ std::string(physical), std::string(physical), {} });
        }
    }
    for (auto& line : lines)
        line.name = property_name(line.unfolded);

    std::vector<RawComponent> top;
    std::vector<RawComponent> open;
    for (auto& line : lines) {
        if (std::string_view begun = value_after(line, "BEGIN"); !begun.empty()) {
            open.push_back({ upper(begun), std::move(line), {}, {}, {} });
        } else if (std::string_view ended = value_after(line, "END"); !ended.empty()) {
            if (open.empty() || open.back().name != upper(ended))
                continue;
            RawComponent done = std::move(open.back());
            open.pop_back();
            done.end = std::move(line);
            (open.empty() ? top : open.back().children).push_back(std::move(done));
        } else if (!open.empty()) {
            open.back().properties.push_back(std::move(line));
        }
    }
    while (!open.empty()) {
        RawComponent done = std::move(open.back());
        open.pop_back();
        done.end = content_line("END:" + done.name);
        (open.empty() ? top : open.back().children).push_back(std::move(done));
    }
    return top;
}

void write_component(const RawComponent& component, std::string& out)
{
    out.append(component.begin.written).append("\r\n");
    for (const auto& line : component.properties)
        out.append(line.written).append("\r\n");
    for (const auto& child : component.children)
        write_component(child, out);
    out.append(component.end.written).append("\r\n");
}

std::string fold_line(std::string_view unfolded)
{
    std::string out;
    size_t room = 75;
    while (unfolded.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(unfolded[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(unfolded.substr(0, cut)).append("\r\n ");
        unfolded.remove_prefix(cut);
        room = 74;
    }
    return out.append(unfolded);
}

}  // namespace wrenfold::caldav
