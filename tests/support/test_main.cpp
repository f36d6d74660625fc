// SPDX-License-Identifier: GPL-3.0-or-later
// The main of every test without widgets.
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    cbtest::PrepareTestEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
