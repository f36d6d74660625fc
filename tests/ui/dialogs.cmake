# SPDX-License-Identifier: GPL-3.0-or-later
# List lines, the phone-book snapshot, the entry editor and both list dialogs.
find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_dialog_lines
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_lines_test.cpp
  LIBS cb_ui)
cb_add_gtest(test_phonebook_cache
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_phonebookcache_test.cpp
  LIBS cb_db)
cb_add_gtest(test_editor
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/editor_test.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogs_main.cpp
  LIBS cb_ui Qt6::Test)
cb_add_gtest(test_dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_anrufer_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/dialogs_teilnehmer_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/dialogs_main.cpp
  LIBS cb_ui Qt6::Test)
