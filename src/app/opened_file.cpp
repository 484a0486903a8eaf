// Calendar files handed to the program from outside: read and checked here,
// then held until the page takes them for its import preview. The page only
// ever gets the file it was handed; it never names a path itself.
#include "app/opened_file.h"

#include "app/wrenfold_app.h"
#include "core/bridge_answer.h"
#include "core/utf8_path.h"
#include "platform/single_instance.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace wrenfold {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kHeldOpenedFiles = 8;

}  // namespace

OpenedFile read_opened_file(const fs::path& file, std::uintmax_t max_bytes)
{
    if (!file.is_absolute())
        throw std::runtime_error("not a full path");
    std::error_code error;
    fs::file_status status = fs::status(file, error);
    if (error || !fs::exists(status))
        throw std::runtime_error("no such file");
    // Checked before opening: opening a pipe would wait for a writer.
    if (!fs::is_regular_file(status))
        throw std::runtime_error("not a file");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("the file cannot be read");
    std::string text(static_cast<std::size_t>(std::min<std::uintmax_t>(max_bytes, 64u * 1024u)), '\0');
    std::size_t used = 0;
    // One byte more than allowed tells a file that grew past the limit.
    while (in) {
        if (used == text.size())
            text.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(text.size() * 2, max_bytes + 1)));
        in.read(text.data() + used, static_cast<std::streamsize>(text.size() - used));
        used += static_cast<std::size_t>(in.gcount());
        if (used > max_bytes)
            throw std::runtime_error("larger than " + std::to_string(max_bytes / (1024 * 1024)) + " MB");
    }
    if (in.bad())
        throw std::runtime_error("the file cannot be read");
    text.resize(used);
    return { utf8_text(file.filename()), std::move(text) };
}

std::optional<std::string> WrenfoldApp::_hand_file_to_page(const fs::path& file)
{
    Json handed;
    std::optional<std::string> refusal;
    try {
        OpenedFile opened = read_opened_file(file);
        handed = ok_answer({ { "file", { { "name", opened.name }, { "text", std::move(opened.text) } } } });
    } catch (const std::exception& error) {
        refusal = error.what();
        handed = failed_answer("cannot open the file " + utf8_text(file.filename()) + ": " + *refusal,
                               { { "name", utf8_text(file.filename()) } });
    }
    m_opened_files.with_locked([&](std::deque<Json>& held) {
        held.push_back(std::move(handed));
        // A page that never asks (closed in the browser) does not make them pile up.
        while (held.size() > kHeldOpenedFiles)
            held.pop_front();
    });
    ++_opened_file_token;
    return refusal;
}

std::string WrenfoldApp::_answer_later_start(std::string_view request, std::string answer)
{
    if (auto file = platform::file_to_open(request))
        if (auto refusal = _hand_file_to_page(*file))
            return std::string(platform::kRefusedAnswerPrefix) + *refusal;
    return answer;
}

Json WrenfoldApp::take_opened_file()
{
    std::optional<Json> taken = m_opened_files.with_locked([](std::deque<Json>& held) -> std::optional<Json> {
        if (held.empty())
            return std::nullopt;
        Json first = std::move(held.front());
        held.pop_front();
        return first;
    });
    return taken ? *taken : ok_answer({ { "file", nullptr } });
}

}  // namespace wrenfold
