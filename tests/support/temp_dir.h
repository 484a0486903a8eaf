#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace wrenfold::testing {

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir()
    {
#ifdef _WIN32
        // No mkdtemp: a random name, taken only when no directory has it yet.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            auto candidate = std::filesystem::temp_directory_path() / ("wrenfold-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate))
                m_path = candidate;
        }
        if (m_path.empty())
            throw std::runtime_error("no temporary directory could be made");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "wrenfold-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
#endif
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const
    {
        return m_path;
    }
    std::filesystem::path operator/(const std::filesystem::path& name) const
    {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace wrenfold::testing
