# Sample phone book and empty call log for the demo.
add_executable(callbeacon-demo-data MakeDemoData.cpp)
target_link_libraries(callbeacon-demo-data PRIVATE cb_db cb_warnings)
