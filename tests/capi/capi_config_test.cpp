// SPDX-License-Identifier: GPL-3.0-or-later
// What the workstation's libcapi20 settings say, read the way the library reads them.
#include "capi/CapiConfig.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(CapiConfig, TheUserFileWinsAndOnlyARemoteLineOrTheDeviceCountsAsALine) {
    cbtest::TempDir dir;
    cb::TCapiPlaces places{dir.file("capi20"), dir.file(".capi20rc"), dir.file("capi20.conf")};
    cb::TCapiConfig config = cb::ReadCapiConfig(places);
    EXPECT_FALSE(config.bDevice || config.bRemote);
    EXPECT_TRUE(config.sFile.empty());
    EXPECT_EQ(config.iTraceLevel, -1);

    cbtest::WriteWholeFile(dir.file("capi20.conf"),
                           "TRACELEVEL 3\n  REMOTE fritzbox fritz.box 5031\n");
    config = cb::ReadCapiConfig(places);
    EXPECT_TRUE(config.bRemote);
    EXPECT_EQ(config.iTraceLevel, 3);
    EXPECT_EQ(config.sFile, dir.file("capi20.conf"));

    // The user's own file, even without a line, hides the system-wide one.
    cbtest::WriteWholeFile(dir.file(".capi20rc"), "TRACELEVEL 0\n# REMOTE fritzbox x 1\n");
    config = cb::ReadCapiConfig(places);
    EXPECT_FALSE(config.bRemote);
    EXPECT_EQ(config.iTraceLevel, 0);
    EXPECT_EQ(config.sFile, dir.file(".capi20rc"));

    cbtest::WriteWholeFile(dir.file(".capi20rc"), "TRACELEVEL x\nTRACELEVEL 99999\n");
    EXPECT_EQ(cb::ReadCapiConfig(places).iTraceLevel, 255);

    cbtest::WriteWholeFile(dir.file("capi20"), "");
    EXPECT_TRUE(cb::ReadCapiConfig(places).bDevice);
}

} // namespace
