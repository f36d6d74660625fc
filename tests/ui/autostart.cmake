# SPDX-License-Identifier: GPL-3.0-or-later
find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_parameter_autostart
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/autostart_test.cpp ${CMAKE_CURRENT_LIST_DIR}/parameter_main.cpp
  LIBS cb_ui Qt6::Test)
