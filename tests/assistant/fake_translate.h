#pragma once

#include "assistant/translate.h"

#include <map>

namespace wrenfold::test_support {

// English texts of the keys the assistant's pure code looks up, with a
// plain {name} fill, standing in for the application's table.
inline assistant::Translate english_translate()
{
    static const std::map<std::string, std::string> texts {
        { "err.api.auth", "Authentication failed (HTTP {status}). Your {provider} API key may be invalid." },
        { "err.api.balance", "Insufficient balance (HTTP 402). Your {provider} account is out of credit — please "
                             "top up at {provider} before retrying." },
        { "err.api.generic", "{provider} API error (HTTP {status})." },
        { "err.api.raw_label", "Original error" },
        { "claude.report_err", "claude reported an error" },
    };
    return [](const std::string& key, const Json& values) {
        auto it = texts.find(key);
        std::string text = it == texts.end() ? key : it->second;
        for (const auto& [name, value] : values.items()) {
            std::string placeholder = "{" + name + "}";
            for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder))
                text.replace(at, placeholder.size(), text_form(value));
        }
        return text;
    };
}

}  // namespace wrenfold::test_support
