// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

using cbtest::ReadWholeFile;
using cbtest::TempDir;
using cbtest::WriteWholeFile;

namespace {
struct SettingsFile : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("CBMON.INI");
    void SetUp() override {
        ResetSettings();
        SetSettingsFilePathOverride(path);
    }
    void TearDown() override { SetSettingsFilePathOverride(""); }
};
} // namespace

TEST_F(SettingsFile, NoFileGivesDefaultsAndShutdownWritesAll29Keys) {
    LoadSettings();
    EXPECT_TRUE(bSettingsLoaded);
    EXPECT_EQ(iSekunden, 10);
    EXPECT_TRUE(bHistory);
    EXPECT_TRUE(bAnruferAnzeigen);
    EXPECT_FALSE(bBekannte || bBlinkend || bClient || bServer || bPosSpeichern);
    EXPECT_TRUE(bAlle);
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(abZeige[i]);
        EXPECT_STREQ(aszNr[i], "");
    }
    SaveSettings();
    EXPECT_EQ(
        ReadWholeFile(path),
        "[Anruf]\nSekunden=10\nHistory=1\nAnruferAnzeigen=1\nBekannte=0\nBlinkend=0\nOrtsvorwahl="
        "\n\n"
        "[Netzwerk]\nClient=0\nServer=0\nBroadcast=\nKennwort=\n\n[Fenster]\nPosSpeichern=0\n\n"
        "[MSN]\nAlle=1\nZeige0=0\nZeige1=0\nZeige2=0\nZeige3=0\nZeige4=0\nZeige5=0\n"
        "Zeige6=0\nZeige7=0\nZeige8=0\nZeige9=0\nNr0=\nNr1=\nNr2=\nNr3=\nNr4=\nNr5=\n"
        "Nr6=\nNr7=\nNr8=\nNr9=\n\n[Leitung]\nArt=CAPI\nAdresse=fritz.box\nPort=1012\n"
        "\n[CardDAV]\nAdresse=\nBenutzer=\nKennwort=\nMinuten=15\nZertifikat=\n");
}

TEST_F(SettingsFile, ValuesParseAsTheProfileFunctionsDo) {
    WriteWholeFile(path, "[Anruf]\nSekunden=0x14\nHistory=2\nAnruferAnzeigen=yes\nBekannte=yes\n"
                         "Blinkend=-1\n[Netzwerk]\nClient=0x10\nServer=0\n[MSN]\nAlle=\n"
                         "Zeige3=1\nNr3=" +
                             std::string(40, '7') + "\nNr4=0301234\n");
    LoadSettings();
    EXPECT_EQ(iSekunden, 20);
    EXPECT_TRUE(bHistory);
    EXPECT_TRUE(bAnruferAnzeigen);
    EXPECT_FALSE(bBekannte);
    EXPECT_TRUE(bBlinkend);
    EXPECT_TRUE(bClient);
    EXPECT_TRUE(bAlle);
    EXPECT_TRUE(abZeige[3]);
    EXPECT_EQ(std::string(aszNr[3]), std::string(24, '7')); // cut to its buffer
    EXPECT_STREQ(aszNr[4], "0301234");

    for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{
             {"abc", 10}, {"150", 150}, {"$10", 16}, {"-3", -3}}) {
        WriteWholeFile(path, "[Anruf]\nSekunden=" + text + "\n");
        LoadSettings();
        EXPECT_EQ(iSekunden, expected) << text;
    }
}

TEST_F(SettingsFile, SaveKeepsForeignSectionsCommentsAndWindowSections) {
    WriteWholeFile(path, "; von Hand\n[Eigenes]\nSekunden=99\n[WndDetail]\nLeft=12\nTop=34\n"
                         "[Anruf]\nSekunden=7\n");
    LoadSettings();
    EXPECT_EQ(iSekunden, 7);
    iSekunden = 8;
    std::strcpy(aszNr[0], "4711");
    SaveSettings();
    const std::string after = ReadWholeFile(path);
    EXPECT_EQ(after.rfind("; von Hand\n[Eigenes]\nSekunden=99\n[WndDetail]\nLeft=12\nTop=34\n"
                          "[Anruf]\nSekunden=8\n",
                          0),
              0u)
        << after;
    EXPECT_NE(after.find("Nr0=4711\n"), std::string::npos);
}

TEST_F(SettingsFile, NothingIsWrittenWhenNeverLoaded) {
    WriteWholeFile(path, "[Anruf]\nSekunden=3\n");
    iSekunden = 55;
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(path), "[Anruf]\nSekunden=3\n");
}

TEST_F(SettingsFile, ReadOnlyFileRaisesTheErrorWithItsPath) {
    WriteWholeFile(path, "[Anruf]\nSekunden=3\n");
    chmod(path.c_str(), 0444);
    LoadSettings();
    try {
        SaveSettings();
        FAIL() << "saving into a read-only file succeeded";
    } catch (const cb::IniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "nach " + path + " kann nicht geschrieben werden");
    }
    EXPECT_EQ(ReadWholeFile(path), "[Anruf]\nSekunden=3\n");
}

TEST_F(SettingsFile, UnreadableOrBinaryFileGivesDefaults) {
    WriteWholeFile(path, std::string("\0\xff[Anruf]\0Sekunden=\x01\n\n\n", 22));
    LoadSettings();
    EXPECT_EQ(iSekunden, 10);
    EXPECT_TRUE(bAlle);
}

TEST_F(SettingsFile, LineKindAddressAndPort) {
    LoadSettings();
    EXPECT_FALSE(UseRouterCallMonitor());
    EXPECT_EQ(sLeitungAdresse, "fritz.box");
    EXPECT_EQ(iLeitungPort, 1012);
    WriteWholeFile(path, "[Leitung]\nArt=anrufmonitor\nAdresse=192.168.178.1\nPort=abc\n");
    LoadSettings();
    EXPECT_TRUE(UseRouterCallMonitor());
    EXPECT_EQ(sLeitungAdresse, "192.168.178.1");
    EXPECT_EQ(iLeitungPort, 1012);
    // Anything but the call monitor is the ISDN line.
    WriteWholeFile(path, "[Leitung]\nArt=Router\n");
    LoadSettings();
    EXPECT_FALSE(UseRouterCallMonitor());
    ResetSettings();
    EXPECT_EQ(sLeitungArt, "CAPI");
    EXPECT_EQ(sLeitungAdresse, "fritz.box");
}
