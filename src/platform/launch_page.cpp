#include "platform/launch_page.h"

#include "platform/platform_error.h"

#ifdef _WIN32
#include "platform/win32/private_files.h"
#else
#include "core/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <system_error>

namespace wrenfold::platform {

namespace fs = std::filesystem;

#ifndef _WIN32
namespace {

fs::path base_folder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ignored;
    if (runtime && *runtime == '/' && fs::is_directory(runtime, ignored))
        return runtime;
    return fs::temp_directory_path(ignored);
}

// mkdtemp makes the folder 0700 and fails rather than reuse one that exists.
fs::path make_private_folder()
{
    std::string pattern = (base_folder() / "wrenfold-open-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw PlatformError("cannot make a private folder for the browser's start page");
    return pattern;
}

void write_private_file(const fs::path& file, const std::string& text)
{
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid())
        throw PlatformError("cannot write the browser's start page");
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t written = ::write(fd.get(), text.data() + done, text.size() - done);
        if (written <= 0)
            throw PlatformError("cannot write the browser's start page");
        done += static_cast<std::size_t>(written);
    }
}

}  // namespace
#endif

std::string launch_page_html(const std::string& address)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"refresh\" content=\"0;url=" +
        address +
        "\"><title>Wrenfold</title></head>"
        "<body><a href=\"" +
        address + "\">Wrenfold</a></body></html>\n";
}

LaunchPage::LaunchPage()
    : m_folder(make_private_folder()),
      m_file(m_folder / "wrenfold.html")
{
}

void LaunchPage::write(const std::string& address)
{
    std::lock_guard lock(m_lock);
    if (!m_removed)
        write_private_file(m_file, launch_page_html(address));
}

LaunchPage::~LaunchPage()
{
    remove();
}

void LaunchPage::remove()
{
    std::lock_guard lock(m_lock);
    if (m_removed)
        return;
    m_removed = true;
    std::error_code ignored;
    fs::remove(m_file, ignored);
    fs::remove(m_folder, ignored);
}

}  // namespace wrenfold::platform
