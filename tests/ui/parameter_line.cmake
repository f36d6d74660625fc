# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_parameter_line
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/parameter_line_test.cpp ${CMAKE_CURRENT_LIST_DIR}/parameter_main.cpp
  LIBS cb_ui Qt6::Test)
