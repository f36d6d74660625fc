// SPDX-License-Identifier: GPL-3.0-or-later
// What every test program sets before its first test, whether CTest starts it or a developer
// runs it on its own: announcements stay on the loopback network, and the build and source
// folders are known. A test that needs other addresses makes a network namespace of its own
// and unsets CALLBEACON_BROADCAST there.
#pragma once

#include <cstdlib>

namespace cbtest {

inline void PrepareTestEnvironment() {
    ::setenv("CALLBEACON_BROADCAST", "127.255.255.255", 1);
#ifdef CB_TEST_BUILD_DIR
    ::setenv("CB_BUILD_DIR", CB_TEST_BUILD_DIR, 0);
#endif
#ifdef CB_TEST_SOURCE_DIR
    ::setenv("CB_SOURCE_DIR", CB_TEST_SOURCE_DIR, 0);
#endif
}

} // namespace cbtest
