# SPDX-License-Identifier: GPL-3.0-or-later
# The phone book, the area-code directory, the call log and the conversion of older tables.
list(APPEND CB_DB_SOURCES
  Anruf.cpp Anruf.h
  AreaCodes.cpp AreaCodes.h
  CallLog.cpp CallLog.h
  Conversion.cpp Conversion.h
)
