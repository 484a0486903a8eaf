#pragma once

#include <string>
#include <vector>

namespace wrenfold::platform {

// The argv or envp of an exec call: a pointer to each of `strings`, then a
// null pointer. The pointers are valid while `strings` lives unchanged.
std::vector<char*> c_strings(const std::vector<std::string>& strings);

}  // namespace wrenfold::platform
