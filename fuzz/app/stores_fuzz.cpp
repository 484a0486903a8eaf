// Starts the application on whatever accounts.json and settings.json hold
// (the input, split at its first NUL byte) and asks it what the page asks
// first. The constructor must never fail on store contents, and what it
// answers must serialise.
#include "app/wrenfold_app.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string_view>

using namespace wrenfold;
namespace fs = std::filesystem;

namespace {

const fs::path& scratch_folder()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "wrenfold-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        fs::create_directories(fs::path(pattern) / "data");
        fs::create_directories(fs::path(pattern) / "module");
        return fs::path(pattern);
    }();
    return folder;
}

void write_file(const fs::path& path, std::string_view text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto split = input.find('\0');
    const fs::path& folder = scratch_folder();
    write_file(folder / "data" / "accounts.json", input.substr(0, split));
    write_file(folder / "data" / "settings.json", split == std::string_view::npos ? "" : input.substr(split + 1));

    AppEnvironment environment { { folder / "data", folder / "module" } };
    environment.make_engine = [](const std::string&, const std::string&, const std::optional<std::string>&) {
        return std::shared_ptr<caldav::CalendarEngine>();
    };
    WrenfoldApp app(platform::QueueMap {}, platform::EventMap {}, environment);
    (void)dump_compact(app.list_accounts());
    (void)dump_pretty(app.settings_snapshot());
    (void)dump_compact(app.claude_get_models());
    return 0;
}
