# SPDX-License-Identifier: GPL-3.0-or-later
# Tables on data folders as users have them: other spellings, damage, full disks, several
# programs at once, permissions and links.
cb_add_gtest(test_cbase_shared SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_shared_test.cpp LIBS cb_db)
cb_add_gtest(test_tables_datafolder SOURCES ${CMAKE_CURRENT_LIST_DIR}/tables_datafolder.cpp LIBS cb_db)
