# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_cbase SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_test.cpp LIBS cb_db)
# Needs /usr/bin/python3 with dbfread and dbf, shapelib and GDAL (tools/install-deps.sh).
cb_add_gtest(test_cbase_interop SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_interop_test.cpp
  LIBS cb_db shp)
cb_add_fuzzer(fuzz_cbase SOURCES ${CMAKE_CURRENT_LIST_DIR}/cbase_fuzz.cpp LIBS cb_db)
