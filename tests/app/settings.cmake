cb_add_gtest(test_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_settings.cpp LIBS cb_settings)
