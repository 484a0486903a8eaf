#include "core/random.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <sys/random.h>
#endif

#include <array>
#include <cerrno>
#include <system_error>
#include <vector>

namespace wrenfold {
namespace {

#ifdef _WIN32
void fill_random(unsigned char* out, std::size_t size)
{
    NTSTATUS status = BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (!BCRYPT_SUCCESS(status))
        throw std::system_error(static_cast<int>(status), std::system_category(), "BCryptGenRandom");
}
#else
void fill_random(unsigned char* out, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::getrandom(out + done, size - done, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        done += static_cast<std::size_t>(got);
    }
}
#endif

std::string to_hex(const unsigned char* data, std::size_t size)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(digits[data[i] >> 4]);
        text.push_back(digits[data[i] & 0x0f]);
    }
    return text;
}

}  // namespace

std::string random_hex(std::size_t bytes)
{
    std::vector<unsigned char> buffer(bytes);
    fill_random(buffer.data(), buffer.size());
    return to_hex(buffer.data(), buffer.size());
}

std::string new_uuid()
{
    std::string text = new_uuid_hex();
    for (std::size_t dash : { 8, 13, 18, 23 })
        text.insert(dash, 1, '-');
    return text;
}

std::string new_uuid_hex()
{
    std::array<unsigned char, 16> uuid {};
    fill_random(uuid.data(), uuid.size());
    uuid[6] = static_cast<unsigned char>((uuid[6] & 0x0f) | 0x40);  // version 4
    uuid[8] = static_cast<unsigned char>((uuid[8] & 0x3f) | 0x80);  // RFC 4122 variant
    return to_hex(uuid.data(), uuid.size());
}

}  // namespace wrenfold
