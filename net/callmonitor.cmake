# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_NET_SOURCES CallMonitorParser.cpp CallMonitorParser.h)
