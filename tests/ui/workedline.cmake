# SPDX-License-Identifier: GPL-3.0-or-later
# Selection, type-ahead and the worked-on line across rebuilds in both list dialogs.
find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_dialogs_worked_line
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_worked_line_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/dialogs_main.cpp
  LIBS cb_ui Qt6::Test)
