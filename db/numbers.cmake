# SPDX-License-Identifier: GPL-3.0-or-later
# Phone numbers: how a written number fits a delivered one, table text as Windows-1252, and
# descriptions of numbers the area-code directory cannot place (libphonenumber with its
# offline geocoder; ICU for country names in German).
find_path(CB_PHONENUMBER_INCLUDE phonenumbers/phonenumberutil.h REQUIRED)
find_library(CB_PHONENUMBER_LIBRARY phonenumber REQUIRED)
find_library(CB_GEOCODING_LIBRARY geocoding REQUIRED)
find_library(CB_ICUUC_LIBRARY icuuc REQUIRED)
list(APPEND CB_DB_SOURCES
  NumberMatch.cpp NumberMatch.h
  NumberDescription.cpp NumberDescription.h
  TableText.cpp TableText.h)
list(APPEND _links ${CB_GEOCODING_LIBRARY} ${CB_PHONENUMBER_LIBRARY} ${CB_ICUUC_LIBRARY})
