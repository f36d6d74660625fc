# SPDX-License-Identifier: GPL-3.0-or-later
# Caller lookup at 10,000 and 100,000 phone-book entries with the full area-code directory.
add_executable(bench_lookup ${CMAKE_CURRENT_LIST_DIR}/bench_lookup.cpp)
target_link_libraries(bench_lookup PRIVATE cb_db benchmark::benchmark cb_warnings)
target_compile_definitions(bench_lookup PRIVATE CB_BUILD_DIR="${CMAKE_BINARY_DIR}")
set_target_properties(bench_lookup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(bench_lookup cb_avon)
