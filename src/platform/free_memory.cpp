#include "platform/free_memory.h"

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

}  // namespace wrenfold::platform
