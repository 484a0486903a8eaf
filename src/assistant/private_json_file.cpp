#include "assistant/private_json_file.h"

#include "platform/command_lookup.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <system_error>

namespace wrenfold::assistant {

namespace {

std::system_error os_error(const std::string& what)
{
    return std::system_error(errno, std::generic_category(), what);
}

std::string temporary_name_for(const std::string& path)
{
    std::random_device entropy;
    std::ostringstream name;
    name << path << ".tmp-" << std::hex << entropy() << entropy();
    return name.str();
}

void write_all(int fd, const std::string& data, const std::string& path)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw os_error(path);
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

Json read_json_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw std::runtime_error("cannot read " + path);
    return Json::parse(text.str());
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
    std::filesystem::path target(path);
    if (target.has_parent_path()) {
        std::error_code error;
        auto folder = target.parent_path();
        if (!std::filesystem::is_directory(folder)) {
            std::filesystem::create_directories(folder, error);
            if (error)
                throw std::system_error(error, folder.string());
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
        }
    }
    std::string temporary = temporary_name_for(path);
    platform::UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid())
        throw os_error(temporary);
    try {
        write_all(fd.get(), dump_pretty(value), temporary);
        if (::fsync(fd.get()) != 0)
            throw os_error(temporary);
        fd.reset();
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            throw os_error(path);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

}  // namespace wrenfold::assistant
