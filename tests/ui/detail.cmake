# SPDX-License-Identifier: GPL-3.0-or-later
# The map control and the caller pop-up, offscreen.
find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_kvimage
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kvimage_test.cpp ${CMAKE_CURRENT_LIST_DIR}/detail_main.cpp
  LIBS cb_ui)
cb_add_gtest(test_detail
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/detail_test.cpp ${CMAKE_CURRENT_LIST_DIR}/detail_map_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/detail_main.cpp
  LIBS cb_ui Qt6::Test)
