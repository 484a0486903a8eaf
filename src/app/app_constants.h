#pragma once

#include "core/translations.h"

#include <array>
#include <string_view>

namespace wrenfold {

struct ClaudeModelRecord {
    std::string_view id;
    std::string_view family;
    std::string_view version;
    std::string_view kind;
};

// The class constants of the application object, never changed at run time.
struct AppConstants {
    static constexpr std::string_view APP_NAME = "Wrenfold";
    // The data directory on Windows; elsewhere it follows the platform's rules (AppPaths).
    static constexpr std::string_view APP_DIR_ON_WINDOWS = "C:/kelvane/Wrenfold";
    static constexpr std::array<std::string_view, 2> SUPPORTED_LANGS { "en", "zh-Hant" };
    static constexpr std::string_view DEFAULT_LANG = "en";

    static constexpr std::string_view CLAUDE_DEFAULT_MODEL = "claude-opus-4-8";
    static constexpr std::array<ClaudeModelRecord, 8> CLAUDE_BUILTIN_MODELS { {
        { "claude-fable-5", "fable", "5", "pinned" },
        { "claude-opus-4-8", "opus", "4.8", "pinned" },
        { "claude-opus-4-7", "opus", "4.7", "pinned" },
        { "claude-sonnet-4-6", "sonnet", "4.6", "pinned" },
        { "claude-haiku-4-5", "haiku", "4.5", "pinned" },
        { "opus", "opus", "latest", "alias" },
        { "sonnet", "sonnet", "latest", "alias" },
        { "haiku", "haiku", "latest", "alias" },
    } };
    static constexpr std::array<std::string_view, 5> CLAUDE_EFFORT_LEVELS { "low", "medium", "high", "xhigh", "max" };
    static constexpr std::string_view CLAUDE_DEFAULT_EFFORT = "xhigh";
    static constexpr std::array<std::string_view, 2> CLAUDE_DEEPSEEK_FALLBACK_MODELS { "deepseek-chat",
                                                                                       "deepseek-reasoner" };
    static constexpr std::string_view CLAUDE_DEEPSEEK_DEFAULT_BASE_URL = "https://api.deepseek.com/anthropic";
    static constexpr std::string_view CLAUDE_DEEPSEEK_DEFAULT_MODEL = "deepseek-chat";

    static const TranslationTable& PY_I18N() { return translation_table(); }
};

}  // namespace wrenfold
