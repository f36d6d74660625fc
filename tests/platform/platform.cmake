cb_add_gtest(test_inifile SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_inifile.cpp LIBS cb_platform)
