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

struct ReadingChoice {
    const char* key;
    std::array<std::string_view, 3> choices;
};

constexpr std::array<ReadingChoice, 4> kReadingChoices = { {
    { "theme", { "system", "light", "dark" } },
    { "week_start", { "system", "sunday", "monday" } },
    { "clock", { "language", "12", "24" } },
    { "lunar", { "language", "on", "off" } },
} };

// The valid reading entries of `given` laid over `base`.
Json with_reading_entries(Json base, const Json& given)
{
    if (!given.is_object())
        return base;
    for (const ReadingChoice& choice : kReadingChoices)
        if (given.contains(choice.key) && is_one_of(given.at(choice.key), choice.choices))
            base[choice.key] = given.at(choice.key);
    if (given.contains("week_numbers") && given.at("week_numbers").is_boolean())
        base["week_numbers"] = given.at("week_numbers");
    return base;
}

}  // namespace

Json reading_settings_in_force(const Json& settings)
{
    Json defaults = Json::object();
    for (const ReadingChoice& choice : kReadingChoices)
        defaults[choice.key] = choice.choices.front();
    defaults["week_numbers"] = false;
    return with_reading_entries(std::move(defaults), stored(settings, "reading"));
}

Json reading_settings_changed(const Json& settings, const Json& changes)
{
    return with_reading_entries(reading_settings_in_force(settings), changes);
}

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
