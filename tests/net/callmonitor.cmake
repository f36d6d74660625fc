# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_callmonitor_parser SOURCES ${CMAKE_CURRENT_LIST_DIR}/CallMonitorParserTest.cpp LIBS cb_net)
cb_add_fuzzer(fuzz_callmonitor SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzCallMonitor.cpp LIBS cb_net)
