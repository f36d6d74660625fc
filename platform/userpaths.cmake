# SPDX-License-Identifier: GPL-3.0-or-later
# Settings and data locations (core, no Qt).
target_sources(cb_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/UserPaths.cpp ${CMAKE_CURRENT_LIST_DIR}/UserPaths.h)
# An installed program finds its shared files relative to itself, so an unpacked package
# works from any root.
include(GNUInstallDirs)
file(RELATIVE_PATH _data_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/callbeacon)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/UserPaths.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS CB_DATA_FROM_BIN="${_data_from_bin}")
