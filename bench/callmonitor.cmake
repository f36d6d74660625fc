# SPDX-License-Identifier: GPL-3.0-or-later
# The router's call-monitor text: how fast lines are cut and parsed.
add_executable(bench_callmonitor ${CMAKE_CURRENT_LIST_DIR}/bench_callmonitor.cpp)
target_link_libraries(bench_callmonitor PRIVATE cb_net benchmark::benchmark cb_warnings)
set_target_properties(bench_callmonitor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
