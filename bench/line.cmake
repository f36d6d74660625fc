# SPDX-License-Identifier: GPL-3.0-or-later
# The real program against the simulated line: reaction times in milliseconds.
add_executable(bench_line ${CMAKE_CURRENT_LIST_DIR}/bench_line.cpp)
target_link_libraries(bench_line PRIVATE cb_platform benchmark::benchmark cb_warnings)
target_include_directories(bench_line PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(bench_line PRIVATE CB_BUILD_DIR="${CMAKE_BINARY_DIR}")
set_target_properties(bench_line PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(bench_line callbeacon callbeacon-line)
