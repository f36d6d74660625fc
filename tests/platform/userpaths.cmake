cb_add_gtest(test_userpaths SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_userpaths.cpp LIBS cb_platform_gui)
