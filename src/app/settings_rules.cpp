#include "app/settings_rules.h"

#include "app/app_constants.h"
#include "core/unicode_text.h"

#include <algorithm>

namespace wrenfold {

namespace {

template <std::size_t N> bool is_one_of(const Json& value, const std::array<std::string_view, N>& choices)
{
    if (!value.is_string())
        return false;
    const auto& text = value.get_ref<const std::string&>();
    return std::find(choices.begin(), choices.end(), text) != choices.end();
}

Json stored(const Json& settings, const char* key)
{
    return settings.is_object() && settings.contains(key) ? settings.at(key) : Json();
}

}  // namespace

bool is_supported_language(const Json& value)
{
    return is_one_of(value, AppConstants::SUPPORTED_LANGS);
}

bool is_effort_level(const Json& value)
{
    return is_one_of(value, AppConstants::CLAUDE_EFFORT_LEVELS);
}

std::string language_in_force(const Json& settings)
{
    Json language = stored(settings, "language");
    return is_supported_language(language) ? language.get<std::string>() : std::string(AppConstants::DEFAULT_LANG);
}

std::string claude_model_in_force(const Json& settings)
{
    Json model = stored(settings, "claude_model");
    if (model.is_string() && !is_blank_text(model.get_ref<const std::string&>()))
        return model.get<std::string>();
    return std::string(AppConstants::CLAUDE_DEFAULT_MODEL);
}

std::string claude_effort_in_force(const Json& settings)
{
    Json effort = stored(settings, "claude_effort");
    if (is_effort_level(effort))
        return effort.get<std::string>();
    if (stored(settings, "claude_effort_enabled") == Json(false))
        return "high";
    return std::string(AppConstants::CLAUDE_DEFAULT_EFFORT);
}

std::string claude_provider_in_force(const Json& settings)
{
    Json provider = stored(settings, "claude_provider");
    if (provider == Json("claude") || provider == Json("deepseek"))
        return provider.get<std::string>();
    return "claude";
}

std::string claude_deepseek_model_in_force(const Json& settings)
{
    Json model = stored(settings, "claude_deepseek_model");
    return model.is_string() ? model.get<std::string>() : "";
}

}  // namespace wrenfold
