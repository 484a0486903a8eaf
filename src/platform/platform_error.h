#pragma once

#include <stdexcept>

namespace wrenfold::platform {

// What platform code throws when the system or a library refuses what was
// asked; its text says what failed and may reach the user. Failures of the
// system calls themselves stay std::system_error, with their error code.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace wrenfold::platform
