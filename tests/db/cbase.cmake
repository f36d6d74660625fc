# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_cbase SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_test.cpp LIBS cb_db)
# Needs /usr/bin/python3 with dbfread and dbf, shapelib and GDAL (tools/install-deps.sh).
cb_add_gtest(test_cbase_interop SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_interop_test.cpp
  LIBS cb_db shp)
# The engine is compiled into the fuzzer itself so that its branches carry coverage.
cb_add_fuzzer(fuzz_cbase SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/db/CBase.cpp LIBS cb_platform)
