# The tick's decisions, free of widgets.
add_library(cb_monitor STATIC CallTick.cpp CallTick.h)
target_include_directories(cb_monitor PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(cb_monitor PUBLIC cb_capi cb_db cb_net cb_settings PRIVATE cb_warnings)
