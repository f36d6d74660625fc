# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_NET_SOURCES Mail.cpp Mail.h CallMessage.cpp CallMessage.h
  AnnouncementKey.cpp AnnouncementKey.h)
# The platform's half: real mailslots on Windows, UDP datagrams elsewhere.
if(WIN32)
  list(APPEND CB_NET_SOURCES Mail_win.cpp)
else()
  list(APPEND CB_NET_SOURCES Mail_posix.cpp)
endif()
