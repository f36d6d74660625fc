# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up: command line and data folder (no widgets).
add_library(cb_startup STATIC CommandLine.cpp CommandLine.h DataFolder.cpp DataFolder.h Version.h)
target_include_directories(cb_startup PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(cb_startup PUBLIC cb_db cb_platform Qt6::Core PRIVATE cb_warnings)
target_link_libraries(callbeacon PRIVATE cb_startup)
