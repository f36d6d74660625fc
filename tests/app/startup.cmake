cb_add_gtest(test_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp LIBS cb_startup)
