# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_callmonitor SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_callmonitor.cpp LIBS cb_db
  TIMEOUT 300)
if(TARGET test_callmonitor)
  add_dependencies(test_callmonitor callbeacon callbeacon-line cb_avon)
endif()
