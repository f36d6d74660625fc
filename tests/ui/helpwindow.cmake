# SPDX-License-Identifier: GPL-3.0-or-later
# The help window beside modal dialogs, driven through a private Xvfb with xdotool.
find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_help_window
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/help_window_test.cpp
          ${CMAKE_SOURCE_DIR}/data/help/help.qrc
  LIBS cb_ui Qt6::Test)
