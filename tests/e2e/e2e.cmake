cb_add_gtest(test_e2e SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_e2e.cpp LIBS cb_db cb_net TIMEOUT 600)
if(TARGET test_e2e)
  add_dependencies(test_e2e callbeacon callbeacon-line cb_avon)
endif()
