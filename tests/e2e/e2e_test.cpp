// SPDX-License-Identifier: GPL-3.0-or-later
// The real program, started offscreen in a temporary data folder, against the simulated ISDN
// line through the real libcapi20; checked from outside: the line's record of the messages,
// the tables, the settings file and the program's trace of what it showed.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "net/CallMessage.h"
#include "net/Mail.h"
#include "support/Process.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::ReadWholeFile;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = cbtest::BuildDir();
using cbtest::LogRow;
using cbtest::ReadLog;

// One workstation: a data folder with its own copy of the program (so its settings file is
// its own), a HOME with .capi20rc, tables, and the trace file.
class Station {
public:
    Station(const fs::path& folder, int linePort) : dir(folder) {
        cbtest::PrepareStation(dir);
        fs::create_directories(dir / "home");
        WriteWholeFile((dir / "home/.capi20rc").string(),
                       "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " + std::to_string(linePort) +
                           "\n");
    }

    void Start(const std::string& ini, std::vector<std::string> env = {}) {
        WriteWholeFile(IniPath(), ini);
        env.push_back("HOME=" + (dir / "home").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("CALLBEACON_TRACE=" + (dir / "trace.txt").string());
        app =
            std::make_unique<ChildProcess>(std::vector<std::string>{(dir / "callbeacon").string()},
                                           env, dir.string(), (dir / "stdout.txt").string());
    }
    std::string IniPath() const { return (dir / "callbeacon.INI").string(); }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }
    int Count(const std::string& needle) const { return cbtest::CountInTrace(dir, needle); }

    fs::path dir;
    std::unique_ptr<ChildProcess> app;
};

class EndToEnd : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    int linePort = cbtest::FreePort();
    std::unique_ptr<ChildProcess> line;

    void StartLine() {
        line = std::make_unique<ChildProcess>(std::vector<std::string>{kBuild + "/callbeacon-line",
                                                                       "--port",
                                                                       std::to_string(linePort)},
                                              std::vector<std::string>{}, temp.path().string());
        ASSERT_TRUE(WaitUntil([&] { return line->running(); }, 2000));
    }
    void Expect(const std::string& lineOutput, int timeoutMs = 15000) {
        EXPECT_TRUE(line->WaitForLine(lineOutput, timeoutMs))
            << "line never printed: " << lineOutput;
    }
    void TearDown() override {
        if (line) {
            for (const std::string& l : line->lines())
                EXPECT_EQ(l.find("recv CONNECT_RESP"), std::string::npos)
                    << "a call was accepted: " << l;
        }
    }
};

const std::string kQuickPopup = "[Anruf]\nSekunden=1\n";

} // namespace

TEST_F(EndToEnd, CallIsAlertedLoggedMarkedAnsweredAndShutdownIsOrderly) {
    StartLine();
    Station station(temp.path() / "server", linePort);
    station.Start(kQuickPopup + "; eigener Kommentar\n[Eigenes]\nx=1\n");
    Expect("recv LISTEN_REQ controller=1 infomask=0x0 cip=0x1fff03ff");

    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    line->Send("ring 0101 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0101");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 1; }, 10000));
    LogRow row = ReadLog(station.dir)[0];
    EXPECT_GE(std::stoll(row.zeit), before);
    EXPECT_LE(std::stoll(row.zeit), before + 30);
    EXPECT_EQ(row.anrufer, "0301234567");
    EXPECT_EQ(row.gerufener, "4711");
    EXPECT_EQ(row.ang, " ");

    line->Send("hangup 0101 349A\n");
    Expect("recv DISCONNECT_RESP plci=0x0101");
    EXPECT_TRUE(WaitUntil([&] { return ReadLog(station.dir)[0].ang == "J"; }, 10000));

    // A call nobody answered elsewhere stays unmarked; every disconnect is answered.
    line->Send("ring 0102 4711 -\nhangup 0102 3490\n");
    Expect("recv DISCONNECT_RESP plci=0x0102");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 2; }, 10000));
    EXPECT_EQ(ReadLog(station.dir)[1].anrufer, "0");
    EXPECT_EQ(ReadLog(station.dir)[1].ang, " ");

    EXPECT_TRUE(WaitUntil([&] { return station.Count("popup closed") == 2; }, 15000));
    EXPECT_EQ(station.Count("popup Meier"), 1);
    EXPECT_EQ(station.Count("popup Keine Rufnr."), 1);
    EXPECT_NE(station.Trace().find("hint CallBeacon 2 Anrufe"), std::string::npos);

    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
    Expect("released");
    const std::string ini = ReadWholeFile(station.IniPath());
    EXPECT_NE(ini.find("; eigener Kommentar\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[Eigenes]\nx=1\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Sekunden=1\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Nr9="), std::string::npos) << ini;
    EXPECT_EQ(station.Count("box"), 0) << station.Trace();
}

TEST_F(EndToEnd, MsnFilterAndHistorySetting) {
    StartLine();
    Station filtered(temp.path() / "filtered", linePort);
    filtered.Start(kQuickPopup + "[MSN]\nAlle=0\nZeige3=1\nNr3=4711\nZeige4=0\nNr4=4712\n");
    Expect("recv LISTEN_REQ");
    line->Send("ring 0201 4712 301234567\nring 0202 4711 891234\n");
    Expect("recv ALERT_REQ plci=0x0201");
    Expect("recv ALERT_REQ plci=0x0202");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(filtered.dir).size() == 1; }, 10000));
    EXPECT_EQ(ReadLog(filtered.dir)[0].gerufener, "4711");
    EXPECT_EQ(ReadLog(filtered.dir)[0].anrufer, "0891234");
    EXPECT_EQ(filtered.app->StopWith(SIGTERM, 15000), 0);
    Expect("released");

    Station noHistory(temp.path() / "nohistory", linePort);
    noHistory.Start("[Anruf]\nHistory=0\nAnruferAnzeigen=0\n");
    ASSERT_TRUE(line->WaitForLine("registered", 15000));
    line->Send("ring 0301 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0301");
    EXPECT_TRUE(WaitUntil(
        [&] { return noHistory.Trace().find("hint CallBeacon 1 Anruf") != std::string::npos; },
        10000));
    EXPECT_TRUE(ReadLog(noHistory.dir).empty());
    EXPECT_EQ(noHistory.Count("popup"), 0);
    EXPECT_EQ(noHistory.app->StopWith(SIGTERM, 15000), 0);
}

TEST_F(EndToEnd, ServerAnnouncesAndClientShowsWithoutLogging) {
    const int mailPort = cbtest::FreePort(SOCK_DGRAM);
    const std::string portEnv = "CALLBEACON_MAILSLOT_PORT=" + std::to_string(mailPort);
    StartLine();
    Station client(temp.path() / "client", linePort);
    client.Start(kQuickPopup + "[Netzwerk]\nClient=1\n",
                 {portEnv, "CALLBEACON_CAPI_LIBRARY=/nonexistent/libcapi20.so.3"});
    Station server(temp.path() / "server", linePort);
    server.Start(kQuickPopup + "[Netzwerk]\nServer=1\nBroadcast=127.255.255.255\n", {portEnv});
    Expect("recv LISTEN_REQ");
    ASSERT_TRUE(WaitUntil(
        [&] { return client.Trace().find("hint CallBeacon") != std::string::npos; }, 10000));

    // A listener of our own on the same port sees what the server announces.
    SetMailPortOverride(static_cast<uint16_t>(mailPort));
    TMailClient listener("DEDOV");
    SetMailPortOverride(0);
    line->Send("ring 0101 4711 301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return client.Count("popup Meier") == 1; }, 15000))
        << client.Trace();
    ASSERT_TRUE(WaitUntil([&] { return client.Count("popup closed") == 1; }, 15000));
    char announced[200] = {};
    uint32_t length = 0;
    ASSERT_TRUE(listener.ReadMessage(announced, sizeof announced - 1, &length));
    CallMessage first{};
    ASSERT_TRUE(ParseCallMessage(announced, length, first));

    // The same sequence number again (a stray copy) is dropped by the client.
    SetMailPortOverride(static_cast<uint16_t>(mailPort));
    {
        TMailServer stray("DEDOV");
        stray.SendText(FormatCallMessage(first.iSeq, 1, "0891234", "4711").c_str());
    }
    SetMailPortOverride(0);
    line->Send("ring 0102 4711 891234\n");
    ASSERT_TRUE(WaitUntil([&] { return client.Count("popup 0891234") == 1; }, 15000))
        << client.Trace();
    EXPECT_TRUE(WaitUntil([&] { return client.Count("popup closed") == 2; }, 15000));
    EXPECT_EQ(client.Count("popup "), 2 + 2); // two pop-ups, each with its "closed" line

    EXPECT_TRUE(ReadLog(client.dir).empty());
    EXPECT_EQ(ReadLog(server.dir).size(), 2u);
    EXPECT_EQ(client.Trace().find("hint CallBeacon 1"),
              std::string::npos); // a client counts nothing
    EXPECT_EQ(client.app->StopWith(SIGTERM, 15000), 0);
    EXPECT_EQ(server.app->StopWith(SIGTERM, 15000), 0);
}

TEST_F(EndToEnd, MissingCapiLibraryRunsSilentlyWithoutCallDetection) {
    Station station(temp.path() / "nocapi", linePort);
    station.Start(kQuickPopup, {"CALLBEACON_CAPI_LIBRARY=/nonexistent/libcapi20.so.3"});
    ASSERT_TRUE(WaitUntil(
        [&] { return station.Trace().find("hint CallBeacon") != std::string::npos; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(station.app->running());
    EXPECT_EQ(station.Count("box"), 0);
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
    EXPECT_NE(ReadWholeFile(station.IniPath()).find("[MSN]"), std::string::npos);
}

TEST_F(EndToEnd, NoLineRunningCountsAsNoDriver) {
    // libcapi20 is there but reaches no device: the same as a workstation without CAPI.
    Station station(temp.path() / "noline", linePort);
    station.Start(kQuickPopup);
    ASSERT_TRUE(WaitUntil(
        [&] { return station.Trace().find("hint CallBeacon") != std::string::npos; }, 10000));
    EXPECT_EQ(station.Count("box"), 0);
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
}

TEST_F(EndToEnd, RefusedRegistrationShowsTheBox) {
    StartLine();
    line->Send("refuse-register 1001\n");
    Station station(temp.path() / "refused", linePort);
    station.Start(kQuickPopup);
    ASSERT_TRUE(WaitUntil(
        [&] { return station.Trace().find("box CAPI Register") != std::string::npos; }, 15000));
    EXPECT_NE(station.Trace().find("box CAPI Register Code:1008"), std::string::npos)
        << station.Trace();
    EXPECT_EQ(station.Count("hint CallBeacon"), 0); // start-up ended before the timer
    // A session that ends while the box still waits for its click ends the program orderly,
    // with exit code 1: the start-up failed.
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 1 << 8);
    EXPECT_NE(ReadWholeFile(station.IniPath()).find("[MSN]"), std::string::npos);
}

TEST_F(EndToEnd, FreshFolderStartsWithEmptyTables) {
    StartLine();
    Station station(temp.path() / "fresh", linePort);
    fs::remove(station.dir / kCallLogFile);
    fs::remove(station.dir / kPhoneBookFile);
    station.Start(kQuickPopup);
    Expect("recv LISTEN_REQ");
    line->Send("ring 0101 4711 301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 1; }, 15000));
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
}

namespace {

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace

// While the first call's pop-up stays open, a second call and the first call's hang-up are
// handled at once: the pop-up's modal loop must leave the line's watch and the timer free.
TEST_F(EndToEnd, CallsArriveAndEndWhileAPopUpIsOpen) {
    StartLine();
    Station station(temp.path() / "busy", linePort);
    station.Start("[Anruf]\nSekunden=12\n");
    Expect("recv LISTEN_REQ");
    line->Send("ring 0101 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0101");
    ASSERT_TRUE(WaitUntil([&] { return station.Count("popup Meier") == 1; }, 10000));

    const auto rung = std::chrono::steady_clock::now();
    const auto rungAt = static_cast<int64_t>(std::time(nullptr));
    line->Send("ring 0202 4711 891234\n");
    Expect("recv ALERT_REQ plci=0x0202", 5000);
    EXPECT_LT(MillisecondsSince(rung), 1500);
    const auto hungUp = std::chrono::steady_clock::now();
    line->Send("hangup 0101 349A\n");
    Expect("recv DISCONNECT_RESP plci=0x0101", 5000);
    EXPECT_LT(MillisecondsSince(hungUp), 1500);

    // The second pop-up opened on top of the first, before either closed.
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 2; }, 5000));
    const std::string trace = station.Trace();
    EXPECT_LT(trace.find("popup 0891234"), trace.find("popup closed")) << trace;
    const std::vector<LogRow> rows = ReadLog(station.dir);
    EXPECT_LE(std::abs(std::stoll(rows[1].zeit) - rungAt), 1) << "logged when the pop-up closed";
    EXPECT_TRUE(WaitUntil([&] { return ReadLog(station.dir)[0].ang == "J"; }, 3000));
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
}

// A line that goes away (killed, or dropping every connection like a rebooting router) is
// shown in the tray and won back without a restart; the next call is alerted and logged.
TEST_F(EndToEnd, LostLineIsNoticedAndWonBack) {
    StartLine();
    Station station(temp.path() / "lost", linePort);
    station.Start(kQuickPopup);
    Expect("recv LISTEN_REQ");

    line->StopWith(SIGKILL, 5000);
    ASSERT_TRUE(WaitUntil([&] { return station.Count("line lost") == 1; }, 5000))
        << station.Trace();
    EXPECT_NE(station.Trace().find("hint CallBeacon - keine Verbindung zur ISDN-Leitung"),
              std::string::npos);
    StartLine(); // same port, as a router that booted again
    Expect("recv LISTEN_REQ", 12000);
    EXPECT_TRUE(WaitUntil([&] { return station.Count("line back") == 1; }, 3000));
    line->Send("ring 0301 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0301");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 1; }, 5000));

    line->Send("drop\n");
    ASSERT_TRUE(WaitUntil([&] { return station.Count("line lost") == 2; }, 5000))
        << station.Trace();
    ASSERT_TRUE(WaitUntil([&] { return station.Count("line back") == 2; }, 12000))
        << station.Trace();
    line->Send("ring 0302 4711 891234\n");
    Expect("recv ALERT_REQ plci=0x0302");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 2; }, 5000));
    EXPECT_EQ(station.Count("box"), 0) << station.Trace();
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
}

// A workstation set up for a line that is not there yet (a router that boots after it) keeps
// trying, silently apart from the tray, and takes calls once the line is up.
TEST_F(EndToEnd, LineThatComesUpAfterStartIsTakenUp) {
    Station station(temp.path() / "late", linePort);
    station.Start(kQuickPopup);
    ASSERT_TRUE(WaitUntil([&] { return station.Count("line lost") == 1; }, 10000))
        << station.Trace();
    StartLine();
    Expect("recv LISTEN_REQ", 12000);
    line->Send("ring 0401 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0401");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(station.dir).size() == 1; }, 5000));
    EXPECT_EQ(station.Count("box"), 0) << station.Trace();
    EXPECT_EQ(station.app->StopWith(SIGTERM, 15000), 0);
}
