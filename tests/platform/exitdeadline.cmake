cb_add_gtest(test_exitdeadline SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_exitdeadline.cpp LIBS cb_platform_gui)
