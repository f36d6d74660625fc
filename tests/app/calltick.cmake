cb_add_gtest(test_calltick SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_calltick.cpp LIBS cb_monitor)
