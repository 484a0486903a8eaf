// Messages shown to the user, in the interface language.
#include "app/wrenfold_app.h"

#include "app/settings_rules.h"
#include "core/bridge_answer.h"

namespace wrenfold {

std::string WrenfoldApp::_t(std::string_view key, const Json& values) const
{
    Json language = setting("language", Json(DEFAULT_LANG));
    return translate(PY_I18N(), language.is_string() ? language.get<std::string>() : "", key, values);
}

Json WrenfoldApp::set_language(const Json& lang)
{
    std::string language = is_supported_language(lang) ? lang.get<std::string>() : std::string(DEFAULT_LANG);
    bool changed = settings.with_locked([&](Json& in_memory) {
        if (in_memory.value("language", Json()) == Json(language))
            return false;
        in_memory["language"] = language;
        return true;
    });
    if (changed) {
        _save_settings();
        auto tray = m_shell.snapshot().tray_icon;
        if (tray) {
            try {
                tray->rebuild_menu();
            } catch (...) {
                // The menu keeps its old labels; the language is in force anyway.
            }
        }
    }
    return ok_answer(Json { { "language", language } });
}

}  // namespace wrenfold
