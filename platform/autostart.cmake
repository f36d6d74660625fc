# SPDX-License-Identifier: GPL-3.0-or-later
# Start at login (desktop entry in the user's autostart folder; core, no Qt).
target_sources(cb_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Autostart.cpp ${CMAKE_CURRENT_LIST_DIR}/Autostart.h)
