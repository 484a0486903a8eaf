#pragma once

#include "core/json.h"

#include <functional>
#include <string>

namespace wrenfold::assistant {

// Looks a message key up in the interface language and fills its
// placeholders from the named values (a JSON object).
using Translate = std::function<std::string(const std::string& key, const Json& values)>;

}  // namespace wrenfold::assistant
