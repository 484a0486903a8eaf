#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace wrenfold::platform {

// A small page in a folder of its own (0700, the file 0600) that forwards the
// browser to an address the page alone holds. The browser is handed the
// page's path, so an address with a secret in it never stands on a command
// line, where every user of the machine can read it. The page goes when
// `remove` is called or with this object, whichever comes first.
class LaunchPage {
public:
    // Makes the folder, in $XDG_RUNTIME_DIR when that is an absolute folder,
    // else in the system's temporary folder. Throws PlatformError when it
    // cannot be made.
    LaunchPage();
    ~LaunchPage();
    LaunchPage(const LaunchPage&) = delete;
    LaunchPage& operator=(const LaunchPage&) = delete;

    const std::filesystem::path& path() const { return m_file; }
    // Writes the page; once removed, writes nothing. Throws PlatformError.
    void write(const std::string& address);
    // Safe to call from any thread, and more than once.
    void remove();

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_file;
    std::mutex m_lock;
    bool m_removed { false };
};

// The page's text: forwards at once to `address`, which must need no HTML escaping.
std::string launch_page_html(const std::string& address);

}  // namespace wrenfold::platform
