// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(SettingsFile, NoFileGivesDefaultsAndShutdownWritesEveryKey) {
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
        "[Anruf]\nSekunden=10\nHistory=1\nAnruferAnzeigen=1\nBekannte=0\nBlinkend=0\n"
        "Ortsvorwahl=\nAnzeige=Fenster\n\n[Netzwerk]\nClient=0\nServer=0\nBroadcast=\nKennwort="
        "\n\n[Fenster]"
        "\nPosSpeichern=0\n\n"
        "[MSN]\nAlle=1\nZeige0=0\nZeige1=0\nZeige2=0\nZeige3=0\nZeige4=0\nZeige5=0\n"
        "Zeige6=0\nZeige7=0\nZeige8=0\nZeige9=0\nNr0=\nNr1=\nNr2=\nNr3=\nNr4=\nNr5=\n"
        "Nr6=\nNr7=\nNr8=\nNr9=\nName0=\nName1=\nName2=\nName3=\nName4=\nName5=\n"
        "Name6=\nName7=\nName8=\nName9=\n\n[Leitung]\nArt=CAPI\nAdresse=fritz.box\nPort=1012\n");
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

// Shutdown has a deadline: on a slow share a file rewritten once per key was cut after a few
// keys. One replacement of the file means the old settings or all the new ones.
TEST_F(SettingsFile, SaveReplacesTheFileOnceAndKeepsTheKeyFromOtherUsers) {
    WriteWholeFile(path, "[Anruf]\nSekunden=3\n[Eigenes]\nx=1\n");
    chmod(path.c_str(), 0644);
    LoadSettings();
    sKennwort = "geheim";
    iLeitungPort = 4000;

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_MOVED_TO | IN_CREATE), 0);
    SaveSettings();
    int renames = 0;
    alignas(inotify_event) char events[64 * 1024];
    for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
        for (char* p = events; p < events + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            renames += (event->mask & IN_MOVED_TO) != 0;
            p += sizeof(inotify_event) + event->len;
        }
    close(watch);
    EXPECT_EQ(renames, 1);

    const std::string ini = ReadWholeFile(path);
    EXPECT_NE(ini.find("Sekunden=3\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Kennwort=geheim\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Port=4000\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[Eigenes]\nx=1\n"), std::string::npos) << ini;
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the key is readable by others";
}

// How a call is shown: the three ways in any case, anything else the pop-up window; an old file
// without the key shows the pop-up as before.
TEST_F(SettingsFile, CallDisplayAndTheNamesOfOwnNumbers) {
    WriteWholeFile(path, "[MSN]\nNr0=4711\nNr1=4712\n");
    LoadSettings();
    EXPECT_EQ(ConfiguredCallDisplay(), CallDisplay::Window);
    EXPECT_EQ(OwnNumberName("4711"), "");
    const std::pair<const char*, CallDisplay> ways[] = {
        {"Benachrichtigung", CallDisplay::Notification},
        {"BENACHRICHTIGUNG", CallDisplay::Notification},
        {"beides", CallDisplay::Both},
        {"Beides", CallDisplay::Both},
        {"fenster", CallDisplay::Window},
        {"Popup", CallDisplay::Window},
        {"", CallDisplay::Window}};
    for (const auto& [text, way] : ways) {
        WriteWholeFile(path, std::string("[anruf]\nanzeige=") + text + "\n");
        LoadSettings();
        EXPECT_EQ(ConfiguredCallDisplay(), way) << text;
    }
    EXPECT_STREQ(CallDisplayText(CallDisplay::Both), "Beides");

    WriteWholeFile(path, "[MSN]\nNr0=4711\nName0= B\xFCro \nNr1=4712\nName1=\nNr2=4712\n"
                         "Name2=Fax\n");
    LoadSettings();
    EXPECT_EQ(OwnNumberName("4711"), "B\xFCro");
    EXPECT_EQ(OwnNumberName("4712"), "Fax"); // the first row that names it
    EXPECT_EQ(OwnNumberName("4713"), "");
    EXPECT_EQ(OwnNumberName(""), "");
    std::string gerufener = "4711";
    NameOwnNumber(gerufener, "4711");
    EXPECT_EQ(gerufener, "B\xFCro");
    gerufener = "Meier"; // the phone book named it
    NameOwnNumber(gerufener, "4711");
    EXPECT_EQ(gerufener, "Meier");
    SaveSettings();
    const std::string saved = ReadWholeFile(path);
    EXPECT_NE(saved.find("Name0=B\xFCro\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Name2=Fax\n"), std::string::npos) << saved;
}

TEST_F(SettingsFile, ActionKeysAreWrittenOnlyWhenSetAndReadBack) {
    WriteWholeFile(path, "[Aktionen]\nBefehl=\n");
    LoadSettings();
    EXPECT_EQ(sMqttPraefix, "callbeacon");
    EXPECT_FALSE(AnnounceThroughBroker());
    sMqttHost = "broker.lan";
    iMqttPort = 8884;
    bMqttTls = true;
    sMqttKennwort = "geh eim";
    sNetzwerkWeg = "mqtt";
    EXPECT_TRUE(AnnounceThroughBroker());
    SaveSettings();
    const std::string written = ReadWholeFile(path);
    // Set, or already in the file: written; the rest of the new keys stay out.
    EXPECT_NE(written.find("[MQTT]\nHost=broker.lan\nPort=8884\nTLS=1\nKennwort=geh eim\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("Befehl=\n"), std::string::npos);
    EXPECT_EQ(written.find("Webhook="), std::string::npos);
    EXPECT_EQ(written.find("Praefix="), std::string::npos);
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(sMqttHost, "broker.lan");
    EXPECT_EQ(iMqttPort, 8884);
    EXPECT_TRUE(bMqttTls);
    EXPECT_EQ(sMqttKennwort, "geh eim");
    EXPECT_TRUE(AnnounceThroughBroker());
}

TEST_F(SettingsFile, APasswordInPlainTextMakesTheFileTheOwnersAloneAKeptOneIsWrittenEmpty) {
    namespace fs = std::filesystem;
    WriteWholeFile(path, "[Anruf]\nSekunden=5\n");
    fs::permissions(path, fs::perms(0644));
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0644));

    sMqttKennwort = "geheim";
    SaveSettings();
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_NE(ReadWholeFile(path).find("[MQTT]\nKennwort=geheim\n"), std::string::npos);

    // Where the Secret Service holds them, the file gets empty values.
    sKennwort = "netz";
    SetKeptInSecretService("MQTT", "Kennwort", true);
    SetKeptInSecretService("Netzwerk", "Kennwort", true);
    SaveSettings();
    const std::string written = ReadWholeFile(path);
    EXPECT_EQ(written.find("geheim"), std::string::npos) << written;
    EXPECT_EQ(written.find("netz\n"), std::string::npos) << written;
    EXPECT_EQ(sMqttKennwort, "geheim"); // still used in memory
}
