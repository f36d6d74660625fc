# SPDX-License-Identifier: GPL-3.0-or-later
# Phone book, call log, area-code directory, conversion and its dialog.
set(_tables ${CMAKE_CURRENT_LIST_DIR})
cb_add_gtest(test_tables_phonebook SOURCES ${_tables}/tables_phonebook.cpp LIBS cb_db)
cb_add_gtest(test_tables_calllog SOURCES ${_tables}/tables_calllog.cpp LIBS cb_db)
cb_add_gtest(test_tables_areacodes SOURCES ${_tables}/tables_areacodes.cpp LIBS cb_db)
add_dependencies(test_tables_areacodes cb_avon)
cb_add_gtest(test_tables_conversion SOURCES ${_tables}/tables_conversion.cpp LIBS cb_db)

# Own main: the dialog needs a QApplication.
add_executable(test_tables_dbupdate ${_tables}/tables_dbupdate.cpp)
target_link_libraries(test_tables_dbupdate PRIVATE cb_ui cb_db GTest::gtest cb_warnings)
target_include_directories(test_tables_dbupdate PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
set_target_properties(test_tables_dbupdate PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME test_tables_dbupdate COMMAND test_tables_dbupdate)
set_tests_properties(test_tables_dbupdate PROPERTIES TIMEOUT 300
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CALLBEACON_BROADCAST=127.255.255.255;CB_BUILD_DIR=${CMAKE_BINARY_DIR};CB_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
