#include "platform/free_memory.h"

// Any C library header defines __GLIBC__ on glibc; without one included
// first the checks below saw nothing and both calls did nothing.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace wrenfold::platform {

void return_free_memory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void configure_heaps()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 2);
    // Setting either limit keeps both where they are set.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
#endif
}

}  // namespace wrenfold::platform
