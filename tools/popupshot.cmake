# SPDX-License-Identifier: GPL-3.0-or-later
# Pictures of the caller pop-up for docs/ (run under Xvfb, see the source).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(cb-popup-shot ${CMAKE_CURRENT_LIST_DIR}/popup-shot.cpp)
target_link_libraries(cb-popup-shot PRIVATE cb_ui Qt6::Test cb_warnings)
set_target_properties(cb-popup-shot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
