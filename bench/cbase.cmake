# SPDX-License-Identifier: GPL-3.0-or-later
# Table engine: search scan against shapelib's reader over the same file, append, pack.
#   cmake --build build --target bench_cbase && build/bench/bench_cbase
add_executable(bench_cbase ${CMAKE_CURRENT_LIST_DIR}/bench_cbase.cpp)
target_link_libraries(bench_cbase PRIVATE cb_db shp benchmark::benchmark cb_warnings)
set_target_properties(bench_cbase PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
