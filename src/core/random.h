#pragma once

#include <cstddef>
#include <string>

namespace wrenfold {

// Hexadecimal text of `bytes` bytes from the kernel's random source.
std::string random_hex(std::size_t bytes);

// A random (version 4) UUID as 32 lowercase hexadecimal characters, no dashes.
std::string new_uuid_hex();

// A random (version 4) UUID in its usual form, 8-4-4-4-12 lowercase hexadecimal.
std::string new_uuid();

}  // namespace wrenfold
