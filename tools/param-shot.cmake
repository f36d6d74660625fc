# SPDX-License-Identifier: GPL-3.0-or-later
# The SVG-to-PNG renderer for the icons and the Info pictures (tools/pictures/render-all.sh).
add_executable(cb-render-pictures ${CMAKE_CURRENT_LIST_DIR}/pictures/render-pictures.cpp)
target_link_libraries(cb-render-pictures PRIVATE Qt6::Gui Qt6::Svg cb_warnings)
