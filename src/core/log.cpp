#include "core/log.h"

#include <cstdio>
#include <mutex>

namespace wrenfold {

void log_line(std::string_view prefix, std::string_view text)
{
    static std::mutex stdout_mutex;
    std::lock_guard lock(stdout_mutex);
    std::fwrite(prefix.data(), 1, prefix.size(), stdout);
    std::fputc(' ', stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace wrenfold
