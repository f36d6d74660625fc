// SPDX-License-Identifier: GPL-3.0-or-later
// The main of every widget test: an application object before the first widget, offscreen
// unless a test run names another platform, and the pictures of the ui library.
#include "support/TestEnvironment.h"
#include "ui/Resources.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    cbtest::PrepareTestEnvironment();
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    InitUiResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
