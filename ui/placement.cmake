list(APPEND CB_UI_SOURCES Placement.cpp Placement.h)
