#include "assistant/private_json_file.h"

#include "core/atomic_store.h"
#include "platform/command_lookup.h"

#include <filesystem>

namespace wrenfold::assistant {

Json read_json_file(const std::string& path)
{
    return Json::parse(read_file(path));
}

Json read_json_object_or_empty(const std::string& path)
{
    if (!platform::is_regular_file(path))
        return Json::object();
    try {
        Json value = read_json_file(path);
        return value.is_object() ? value : Json::object();
    } catch (const std::exception&) {
        return Json::object();
    }
}

void write_private_json(const std::string& path, const Json& value)
{
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    if (!folder.empty() && !fs::is_directory(folder)) {
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    }
    atomic_write_json(path, value);
}

}  // namespace wrenfold::assistant
