# The Windows cross build's dependencies, under the target names the Linux
# build gets from dependencies.cmake, so the subsystems' CMake files link the
# same names on both. scripts/build-windows builds the libraries (static) into
# WRENFOLD_WINDOWS_DEPS from Debian's source packages.
if(NOT WRENFOLD_WINDOWS_DEPS)
  message(FATAL_ERROR "WRENFOLD_WINDOWS_DEPS is not set: build for Windows with scripts/build-windows")
endif()
set(deps ${WRENFOLD_WINDOWS_DEPS})

find_package(Threads REQUIRED)
find_package(libxml2 CONFIG REQUIRED)
if(WRENFOLD_TESTS)
  find_package(GTest CONFIG REQUIRED)
endif()

# Header-only: JSON (nlohmann) and the loopback HTTP server (httplib).
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${deps}/include)
add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED)
target_include_directories(PkgConfig::HTTPLIB SYSTEM INTERFACE ${deps}/include)
target_link_libraries(PkgConfig::HTTPLIB INTERFACE ws2_32)

add_library(PkgConfig::LIBICAL INTERFACE IMPORTED)
target_include_directories(PkgConfig::LIBICAL SYSTEM INTERFACE ${deps}/include)
target_compile_definitions(PkgConfig::LIBICAL INTERFACE LIBICAL_ICAL_STATIC_DEFINE LIBICAL_ICALSS_STATIC_DEFINE
  LIBICAL_VCAL_STATIC_DEFINE)
target_link_libraries(PkgConfig::LIBICAL INTERFACE ${deps}/lib/libicalss.a ${deps}/lib/libicalvcal.a
  ${deps}/lib/libical.a Threads::Threads)

# zlib: curl's gzip and deflate answers.
add_library(ZLIB::ZLIB INTERFACE IMPORTED)
target_include_directories(ZLIB::ZLIB SYSTEM INTERFACE ${deps}/include)
target_link_libraries(ZLIB::ZLIB INTERFACE ${deps}/lib/libz.a)

# libcurl with Schannel: the system's TLS, certificate store and crypto.
add_library(CURL::libcurl INTERFACE IMPORTED)
target_include_directories(CURL::libcurl SYSTEM INTERFACE ${deps}/include)
target_compile_definitions(CURL::libcurl INTERFACE CURL_STATICLIB)
target_link_libraries(CURL::libcurl INTERFACE ${deps}/lib/libcurl.a ZLIB::ZLIB ws2_32 crypt32 secur32 bcrypt advapi32)

add_library(PkgConfig::SQLITE3 INTERFACE IMPORTED)
target_include_directories(PkgConfig::SQLITE3 SYSTEM INTERFACE ${deps}/include)
target_link_libraries(PkgConfig::SQLITE3 INTERFACE ${deps}/lib/libsqlite3.a)

# Windows targets the program links everywhere: sockets, the shell, the
# registry and the user interface are part of every Windows system.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# localtime_r and gmtime_r, as the C runtime's thread-safe forms of localtime and gmtime.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)
