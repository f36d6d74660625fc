# SPDX-License-Identifier: GPL-3.0-or-later
# The area-code directory: built from data/area-codes.csv into build/Avon.dbf on every build.
add_executable(cb_build_avon ${CMAKE_CURRENT_LIST_DIR}/BuildAvon.cpp)
target_link_libraries(cb_build_avon PRIVATE cb_db Qt6::Core cb_warnings)
set_target_properties(cb_build_avon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/Avon.dbf
  COMMAND cb_build_avon ${CMAKE_SOURCE_DIR}/data/area-codes.csv ${CMAKE_BINARY_DIR}/Avon.dbf
  DEPENDS cb_build_avon ${CMAKE_SOURCE_DIR}/data/area-codes.csv
  COMMENT "Building Avon.dbf from data/area-codes.csv"
  VERBATIM)
add_custom_target(cb_avon ALL DEPENDS ${CMAKE_BINARY_DIR}/Avon.dbf)
