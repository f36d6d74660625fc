if(TARGET cb_app)
  cb_add_gtest(test_mainwnd SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mainwnd.cpp LIBS cb_app)
endif()
