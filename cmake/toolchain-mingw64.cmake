# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, so std::thread and std::mutex work). Used by scripts/build-windows for
# the dependencies and for Wrenfold itself:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(WRENFOLD_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WRENFOLD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WRENFOLD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WRENFOLD_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${WRENFOLD_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${WRENFOLD_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the mingw sysroot and from the prefix the
# dependencies were built into (WRENFOLD_WINDOWS_DEPS), never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${WRENFOLD_MINGW_TRIPLE})
if(DEFINED ENV{WRENFOLD_WINDOWS_DEPS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{WRENFOLD_WINDOWS_DEPS})
endif()
if(WRENFOLD_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${WRENFOLD_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 is the oldest system the program runs on.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00)

# Everything the executables need is linked in: no libstdc++, libgcc or
# winpthread DLLs to ship beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Executables run under Wine when ctest or test discovery starts them.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
