# SPDX-License-Identifier: GPL-3.0-or-later
# The conversion dialog shown at start-up.
list(APPEND CB_UI_SOURCES DBUpdate.cpp DBUpdate.h)
