# SPDX-License-Identifier: GPL-3.0-or-later
# The settings and Info dialogs, and the icons and pictures compiled into the library.
list(APPEND CB_UI_SOURCES
  Parameter.cpp Parameter.h
  Info.cpp Info.h
  Resources.cpp Resources.h
  ${CMAKE_SOURCE_DIR}/data/icons/icons.qrc
  ${CMAKE_SOURCE_DIR}/data/pictures/pictures.qrc)
