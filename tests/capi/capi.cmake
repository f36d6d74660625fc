# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_capi_messages SOURCES ${CMAKE_CURRENT_LIST_DIR}/CapiMessagesTest.cpp LIBS cb_capi)

# Stand-ins for libcapi20: all ten entry points, and all but one.
add_library(cb_capi_standin SHARED ${CMAKE_CURRENT_LIST_DIR}/StandInCapi.cpp)
add_library(cb_capi_standin_nine SHARED ${CMAKE_CURRENT_LIST_DIR}/StandInCapi.cpp)
target_compile_definitions(cb_capi_standin_nine PRIVATE CB_STANDIN_WITHOUT_PROFILE)
foreach(_lib cb_capi_standin cb_capi_standin_nine)
  target_link_libraries(${_lib} PRIVATE cb_warnings)
  set_target_properties(${_lib} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endforeach()

cb_add_gtest(test_capi_loading SOURCES ${CMAKE_CURRENT_LIST_DIR}/CapiLoadingTest.cpp
  LIBS cb_capi ${CMAKE_DL_LIBS})
target_compile_definitions(test_capi_loading PRIVATE
  CB_STANDIN_FULL="$<TARGET_FILE:cb_capi_standin>"
  CB_STANDIN_NINE="$<TARGET_FILE:cb_capi_standin_nine>")
add_dependencies(test_capi_loading cb_capi_standin cb_capi_standin_nine)

cb_add_gtest(test_capi_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/CapiLineTest.cpp
  LIBS cb_capi Threads::Threads)
add_dependencies(test_capi_line callbeacon-line)

cb_add_gtest(test_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/LineTest.cpp LIBS Threads::Threads)
add_dependencies(test_line callbeacon-line)

# The decoder is compiled into the fuzzer itself: the libraries are built without coverage
# instrumentation, and libFuzzer would be blind inside them.
cb_add_fuzzer(fuzz_capi_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzCapiDecode.cpp
  ${CMAKE_SOURCE_DIR}/capi/CapiMessages.cpp)
