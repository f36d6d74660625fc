# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_e2e_datafolder SOURCES ${CMAKE_CURRENT_LIST_DIR}/datafolder_e2e.cpp LIBS cb_db TIMEOUT 600)
if(TARGET test_e2e_datafolder)
  add_dependencies(test_e2e_datafolder callbeacon callbeacon-line)
endif()
