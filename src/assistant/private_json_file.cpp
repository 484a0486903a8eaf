#include "assistant/private_json_file.h"

#include "core/atomic_store.h"
#include "core/private_folder.h"
#include "core/utf8_path.h"
#include "platform/command_lookup.h"

#include <filesystem>

namespace wrenfold::assistant {

Json read_json_file(const std::string& path)
{
    return parse_json(read_file(utf8_path(path)));
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

Json read_json_object_for_rewrite(const std::string& path)
{
    if (!platform::is_regular_file(path))
        return Json::object();
    try {
        Json value = read_json_file(path);
        if (value.is_object())
            return value;
    } catch (const std::exception&) {
    }
    keep_unreadable_copy(utf8_path(path));
    return Json::object();
}

namespace {

// Where a write of `path` must land: the file a symbolic link (or a chain of
// them) points to, so that a settings file kept elsewhere and linked in is
// updated rather than replaced by a copy.
std::filesystem::path write_target(const std::filesystem::path& path)
{
    namespace fs = std::filesystem;
    fs::path target = path;
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(target, error); ++hop) {
        fs::path link = fs::read_symlink(target);
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

}  // namespace

void write_private_json(const std::string& path, const Json& value)
{
    namespace fs = std::filesystem;
    fs::path target = write_target(utf8_path(path));
    fs::path folder = target.parent_path();
    if (!folder.empty() && !fs::is_directory(folder)) {
        make_private_directories(folder);
    }
    atomic_write_json(target, value);
}

}  // namespace wrenfold::assistant
