# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_e2e_numbers SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_e2e_numbers.cpp LIBS cb_db
  TIMEOUT 300)
if(TARGET test_e2e_numbers)
  add_dependencies(test_e2e_numbers callbeacon callbeacon-line cb_avon)
endif()
