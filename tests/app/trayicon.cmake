find_package(Qt6 REQUIRED COMPONENTS Test)
cb_add_gtest(test_trayicon SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_trayicon.cpp LIBS cb_app Qt6::Test)
