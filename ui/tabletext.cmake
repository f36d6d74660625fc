# SPDX-License-Identifier: GPL-3.0-or-later
# Table text (Windows-1252) for the widgets.
list(APPEND CB_UI_SOURCES TableString.cpp TableString.h)
