# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_CAPI_SOURCES
  CapiBase.cpp CapiBase.h
  CapiMessages.cpp CapiMessages.h
  CapiConfig.cpp CapiConfig.h
  CapiPlatform.h
)
# The platform's half: the Windows DLL, or libcapi20.
if(WIN32)
  list(APPEND CB_CAPI_SOURCES CapiBase_win.cpp)
else()
  list(APPEND CB_CAPI_SOURCES CapiBase_posix.cpp)
endif()
