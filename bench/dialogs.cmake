# SPDX-License-Identifier: GPL-3.0-or-later
# Opening the call history and the phone book on large tables (offscreen).
#   cmake --build build --target bench_dialogs && build/bench/bench_dialogs
add_executable(bench_dialogs ${CMAKE_CURRENT_LIST_DIR}/bench_dialogs.cpp)
target_link_libraries(bench_dialogs PRIVATE cb_ui benchmark::benchmark cb_warnings)
set_target_properties(bench_dialogs PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
