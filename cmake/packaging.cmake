# `cmake --install build --prefix P` lays the program out as:
#   P/lib/wrenfold/   the binary with its data, pictures and licence notices
#   P/bin/wrenfold    a link to it (the binary finds its data through /proc/self/exe)
#   P/share/applications/wrenfold.desktop and P/share/icons/hicolor/*/apps/wrenfold.*
# scripts/package turns the same layout under /usr into a .deb.
install(CODE [[
  file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(CREATE_LINK ../lib/wrenfold/wrenfold "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/wrenfold" SYMBOLIC)
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wrenfold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kelvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop calendar for iCloud with an AI assistant")
set(CPACK_PACKAGE_DESCRIPTION "Wrenfold shows and edits the events of iCloud calendars (CalDAV), lays Taiwan's public holidays over them, lives in the tray and can hand calendar questions to the Claude Code assistant.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Wrenfold developers <wrenfold@kelvane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Library dependencies come from the binary itself; the rest is what it runs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
