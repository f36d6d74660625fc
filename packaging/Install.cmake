# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, and the Debian package built from it (`cpack -G DEB`).
include(GNUInstallDirs)

# No homepage is named until the project has one; a packager may name theirs.
set(CB_HOMEPAGE "" CACHE STRING "Project homepage for the package and AppStream (empty: none)")
set(CB_MAINTAINER "CallBeacon developers <callbeacon@users.noreply.invalid>"
    CACHE STRING "Package maintainer for the CPack package")
option(CB_INSTALL_DOCS
       "Install copyright and changelog into share/doc (a Debian source build leaves it to debhelper)"
       ON)
# One id for the desktop entry, the AppStream component and the icon (reverse domain name of
# a GitHub organisation's pages, the form AppStream suggests for projects without a domain).
set(CB_APP_ID "io.github.callbeacon.CallBeacon")
if(CB_HOMEPAGE)
  set(CB_METAINFO_URL "\n  <url type=\"homepage\">${CB_HOMEPAGE}</url>")
else()
  set(CB_METAINFO_URL "")
endif()
# The release date is fixed, not taken from the clock, so builds stay reproducible.
set(CB_RELEASE_DATE "2026-12-08")

set(_pkg ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_CURRENT_LIST_DIR}/callbeacon.metainfo.xml.in
               ${_pkg}/${CB_APP_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/callbeacon.1.in ${_pkg}/callbeacon.1 @ONLY)
# One changelog for both packages: the Debian source package's.
configure_file(${CMAKE_SOURCE_DIR}/debian/changelog ${_pkg}/changelog COPYONLY)

# Debian wants the man page and the changelog compressed, without a time stamp inside.
foreach(_doc callbeacon.1 changelog)
  add_custom_command(OUTPUT ${_pkg}/${_doc}.gz
    COMMAND gzip -9nc ${_pkg}/${_doc} > ${_pkg}/${_doc}.gz
    DEPENDS ${_pkg}/${_doc}
    VERBATIM)
  list(APPEND _gz ${_pkg}/${_doc}.gz)
endforeach()
add_custom_target(cb_package_docs ALL DEPENDS ${_gz})

install(TARGETS callbeacon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/Avon.dbf ${CMAKE_BINARY_DIR}/Avon.cpg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/callbeacon)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${CB_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/${CB_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(_size 16 22 24 32 48 64)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/callbeacon_${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME ${CB_APP_ID}.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/callbeacon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${CB_APP_ID}.svg)
install(FILES ${_pkg}/callbeacon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/area-codes.SOURCES.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/callbeacon)
if(CB_INSTALL_DOCS)
  install(FILES ${CMAKE_SOURCE_DIR}/debian/copyright ${_pkg}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/callbeacon)
endif()

# The package.
set(CPACK_PACKAGE_NAME callbeacon)
set(CPACK_PACKAGE_VENDOR "CallBeacon")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CB_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "caller-ID monitor for IP and ISDN lines (German interface)")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/COPYING)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(CB_HOMEPAGE)
  set(CPACK_PACKAGE_HOMEPAGE_URL ${CB_HOMEPAGE})
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CB_HOMEPAGE})
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcapi20 is opened with dlopen, so no tool finds it; without it the program still runs as
# a network client.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcapi20-3")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"CallBeacon shows who is calling before anyone picks up. It reads the call
monitor of a home router on an IP line (switched on with #96*5* on a
telephone at the router), or registers with the CAPI 2.0 driver of an ISDN
card or a router's CAPI over TCP. It never takes a call: the telephones keep
ringing.
.
It names the caller from a local phone book, marks the area code on a map of
Germany, keeps a call log in dBASE tables and can announce calls to other
workstations on the local network. It lives as an icon in the desktop's
notification area; the user interface is in German.")
include(CPack)
