# SPDX-License-Identifier: GPL-3.0-or-later
# The SVG-to-PNG renderer for the icons and the Info pictures (tools/pictures/render-all.sh).
add_executable(cb-render-pictures ${CMAKE_CURRENT_LIST_DIR}/pictures/render-pictures.cpp)
target_link_libraries(cb-render-pictures PRIVATE Qt6::Gui Qt6::Svg cb_warnings)

# Screenshots of the settings and Info dialogs for docs/ (run under Xvfb).
add_executable(param-shot ${CMAKE_CURRENT_LIST_DIR}/param-shot.cpp)
target_link_libraries(param-shot PRIVATE cb_ui cb_warnings)
