# SPDX-License-Identifier: GPL-3.0-or-later
# The simulated ISDN line: a remote-CAPI server for libcapi20, driven by commands on stdin.
add_executable(callbeacon-line
  line/LineMain.cpp
  line/LineProtocol.cpp line/LineProtocol.h
  line/AppIdClaim.cpp line/AppIdClaim.h
  line/LineCommands.cpp line/LineCommands.h
  line/CallMonitorMode.cpp line/CallMonitorMode.h
)
target_link_libraries(callbeacon-line PRIVATE cb_warnings)
