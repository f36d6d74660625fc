# SPDX-License-Identifier: GPL-3.0-or-later
# Pictures of the two list dialogs for docs/ (run under Xvfb, see the source).
add_executable(cb-dialogs-shot ${CMAKE_CURRENT_LIST_DIR}/dialogs-shot.cpp)
target_link_libraries(cb-dialogs-shot PRIVATE cb_ui cb_warnings)
set_target_properties(cb-dialogs-shot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
