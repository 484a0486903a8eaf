// The system prompt, its runtime file and the calendar block of each turn.
#include "app/wrenfold_app.h"

#include "assistant/assistant_error.h"
#include "assistant/prompts.h"
#include "core/atomic_store.h"
#include "core/log.h"
#include "core/utf8_path.h"
#include "platform/command_lookup.h"
#include "platform/utf8.h"

#include <ctime>

namespace wrenfold {

using namespace assistant;
namespace fs = std::filesystem;

namespace {

// Text mode: CR LF and lone CR become LF.
std::string with_unix_line_ends(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Replaced in one step: a turn that overlaps this one reads either the old
// file or the new one, never a half-written one.
bool write_text_file(const fs::path& path, const std::string& content)
{
    try {
        atomic_write_text(path, content);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

std::string WrenfoldApp::_read_text_safe(const fs::path& path) const
{
    if (path.empty() || !platform::is_regular_file(utf8_text(path)))
        return "";
    try {
        auto bytes = read_file(path);
        if (platform::decode_utf8_replacing(bytes) != bytes)
            throw AssistantError("the file is not valid UTF-8");
        return with_unix_line_ends(bytes);
    } catch (const std::exception& error) {
        log_line("[claude]", "read " + utf8_text(path) + " failed: " + error.what());
        return "";
    }
}

std::string WrenfoldApp::_lang_directive() const
{
    return language_directive(text_form(setting("language", std::string(DEFAULT_LANG))));
}

std::string WrenfoldApp::_build_claude_system_prompt() const
{
    return inline_system_prompt(_lang_directive(), _read_text_safe(_claude_arch_dir / utf8_path(kRulesDocumentName)),
                                _read_text_safe(_claude_arch_dir / utf8_path(kIndexDocumentName)));
}

// The documents go to a file the assistant reads, so the command line stays
// short however long they grow. The second choice is a private folder that
// holds only this file: the assistant may read where it lies, so never the
// data folder with the accounts and keys.
std::optional<std::pair<fs::path, std::string>>
WrenfoldApp::_write_claude_runtime_system_prompt(const fs::path& private_folder) const
{
    auto content = documents_section(_read_text_safe(_claude_arch_dir / utf8_path(kRulesDocumentName)),
                                     _read_text_safe(_claude_arch_dir / utf8_path(kIndexDocumentName)));
    if (content.empty())
        return std::nullopt;
    for (const fs::path& directory : { _claude_arch_dir, private_folder }) {
        std::error_code error;
        fs::create_directories(directory, error);
        if (error)
            continue;
        if (write_text_file(directory / kRuntimePromptName, content))
            return std::pair { directory, std::string(kRuntimePromptName) };
    }
    return std::nullopt;
}

std::string WrenfoldApp::_calendar_context_block() const
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    auto chosen = _default_calendar();
    return calendar_context_block(local, accounts_snapshot(),
                                  chosen ? std::optional<Calendar>(chosen->calendar) : std::nullopt);
}

}  // namespace wrenfold
