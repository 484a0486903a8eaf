#pragma once

#include <cstdlib>
#include <string>

namespace wrenfold::testing {

// Sets or removes a variable of this process's environment, as getenv sees it.
inline void set_environment(const char* name, const std::string& value)
{
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void unset_environment(const char* name)
{
#ifdef _WIN32
    ::_putenv_s(name, "");  // an empty value removes the variable
#else
    ::unsetenv(name);
#endif
}

}  // namespace wrenfold::testing
