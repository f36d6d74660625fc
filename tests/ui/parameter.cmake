# SPDX-License-Identifier: GPL-3.0-or-later
find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_parameter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/parameter_test.cpp ${CMAKE_CURRENT_LIST_DIR}/parameter_main.cpp
          ${CMAKE_CURRENT_LIST_DIR}/parameter_support.h
  LIBS cb_ui Qt6::Test)
cb_add_gtest(test_info
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/info_test.cpp ${CMAKE_CURRENT_LIST_DIR}/parameter_main.cpp
          ${CMAKE_SOURCE_DIR}/data/help/help.qrc
  LIBS cb_ui Qt6::Test)
