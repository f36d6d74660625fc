# SPDX-License-Identifier: GPL-3.0-or-later
# A line reached through the router's call monitor (TCP, text lines).
add_library(cb_routerline STATIC RouterLine.cpp RouterLine.h)
target_include_directories(cb_routerline PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(cb_routerline PUBLIC cb_net cb_capi cb_platform Qt6::Network Qt6::Core PRIVATE cb_warnings)
target_link_libraries(cb_app PUBLIC cb_routerline)
