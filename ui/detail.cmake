# SPDX-License-Identifier: GPL-3.0-or-later
# The caller pop-up, its map control and the map drawing.
list(APPEND CB_UI_SOURCES
  Detail.cpp Detail.h
  kvimage.cpp kvimage.h
  ${CMAKE_SOURCE_DIR}/data/map/map.qrc)
