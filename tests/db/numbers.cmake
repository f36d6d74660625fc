# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_numbers SOURCES ${CMAKE_CURRENT_LIST_DIR}/numbers_test.cpp LIBS cb_db)
