# SPDX-License-Identifier: GPL-3.0-or-later
if(TARGET cb_app)
  cb_add_gtest(test_routerline SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_routerline.cpp LIBS cb_app)
endif()
