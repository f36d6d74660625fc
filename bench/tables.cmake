# SPDX-License-Identifier: GPL-3.0-or-later
# Caller lookup on a large phone book with the real area-code directory.
add_executable(bench_tables ${CMAKE_CURRENT_LIST_DIR}/bench_tables.cpp)
target_link_libraries(bench_tables PRIVATE cb_db benchmark::benchmark cb_warnings)
target_compile_definitions(bench_tables PRIVATE CB_BUILD_DIR="${CMAKE_BINARY_DIR}")
set_target_properties(bench_tables PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(bench_tables cb_avon)
