# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_NET_SOURCES Mail.cpp Mail.h CallMessage.cpp CallMessage.h
  AnnouncementKey.cpp AnnouncementKey.h)
