#include "platform/win32/unique_handle.h"

#include <windows.h>

namespace wrenfold::platform {

void UniqueHandle::reset(void* handle)
{
    if (valid())
        ::CloseHandle(m_handle);
    m_handle = handle;
}

}  // namespace wrenfold::platform
