# The tray main window.
add_library(cb_app STATIC MainWnd.cpp MainWnd.h TrayIcon.cpp TrayIcon.h CapiLine.cpp CapiLine.h)
target_link_libraries(cb_app PUBLIC cb_monitor cb_ui cb_platform_gui Qt6::Widgets PRIVATE cb_warnings)

add_executable(callbeacon main.cpp ${CMAKE_SOURCE_DIR}/data/help/help.qrc)
target_link_libraries(callbeacon PRIVATE cb_app cb_warnings)
