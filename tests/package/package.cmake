# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built, checked and run from a read-only unpacked tree as another user.
add_test(NAME test_package COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/test_package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(test_package PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
