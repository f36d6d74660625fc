// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a router's call monitor: the simulated line in --call-monitor mode,
// the program started offscreen with [Leitung] Art=Anrufmonitor, checked from outside
// through the call log, the settings file and the trace.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/Process.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::ReadWholeFile;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = cbtest::BuildDir();
using cbtest::LogRow;
using cbtest::ReadLog;

class CallMonitorEndToEnd : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    int port = cbtest::FreePort();
    int capiPort = cbtest::FreePort();
    fs::path dir = temp.path() / "station";
    std::unique_ptr<ChildProcess> line, app;

    void SetUp() override { cbtest::PrepareStation(dir); }
    void StartLine() {
        line = std::make_unique<ChildProcess>(std::vector<std::string>{kBuild + "/callbeacon-line",
                                                                       "--call-monitor", "--port",
                                                                       std::to_string(port)},
                                              std::vector<std::string>{}, temp.path().string());
        ASSERT_TRUE(line->WaitForLine("listening", 5000));
    }
    void StartApp() {
        WriteWholeFile(
            (dir / "callbeacon.INI").string(),
            "[Anruf]\nSekunden=1\n[Leitung]\nArt=Anrufmonitor\nAdresse=127.0.0.1\nPort=" +
                std::to_string(port) + "\n");
        // An ISDN line is configured as well (see CapiLineStaysUnused); quiet library.
        WriteWholeFile((dir / ".capi20rc").string(), "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " +
                                                         std::to_string(capiPort) + "\n");
        app = std::make_unique<ChildProcess>(
            std::vector<std::string>{(dir / "callbeacon").string()},
            std::vector<std::string>{"HOME=" + dir.string(), "QT_QPA_PLATFORM=offscreen",
                                     "CALLBEACON_TRACE=" + (dir / "trace.txt").string()},
            dir.string(), (dir / "stdout.txt").string());
    }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }
    int Count(const std::string& needle) const { return cbtest::CountInTrace(dir, needle); }
    size_t LogSize() const { return ReadLog(dir).size(); }
    // Connections the line has taken so far.
    int Connections() {
        int n = 0;
        for (const std::string& l : line->lines())
            n += l.rfind("connected ", 0) == 0;
        return n;
    }
};

} // namespace

TEST_F(CallMonitorEndToEnd, CallsAreLoggedShownAndMarkedAndADroppedConnectionIsWonBack) {
    StartLine();
    StartApp();
    ASSERT_TRUE(line->WaitForLine("connected 1", 15000));

    line->Send("ring 0 4711 0301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return LogSize() == 1; }, 10000)) << Trace();
    EXPECT_EQ(ReadLog(dir)[0].anrufer, "0301234567");
    EXPECT_EQ(ReadLog(dir)[0].gerufener, "4711");
    EXPECT_EQ(ReadLog(dir)[0].ang, " ");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup Meier | ") == 1; }, 10000)) << Trace();
    EXPECT_NE(Trace().find("Berlin"), std::string::npos) << Trace();
    line->Send("hangup 0 349A\n");
    EXPECT_TRUE(WaitUntil([&] { return ReadLog(dir)[0].ang == "J"; }, 10000));

    // Withheld number, not answered; then two calls at once, the second one answered, on
    // connection ids the router hands out again.
    line->Send("ring 0 4711 -\nhangup 0 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return LogSize() == 2; }, 10000));
    EXPECT_EQ(ReadLog(dir)[1].anrufer, "0");
    EXPECT_TRUE(WaitUntil([&] { return Count("popup Keine Rufnr.") == 1; }, 10000)) << Trace();
    line->Send("ring 0 4711 0891234\nring 1 4712 0301234567\nhangup 1 349A\nhangup 0 3490\n");
    ASSERT_TRUE(line->WaitForLine("sent DISCONNECT id=0", 10000));
    ASSERT_TRUE(WaitUntil([&] { return LogSize() == 4 && ReadLog(dir)[3].ang == "J"; }, 10000))
        << Trace();
    std::vector<LogRow> rows = ReadLog(dir);
    EXPECT_EQ(rows[2].anrufer, "0891234");
    EXPECT_EQ(rows[2].ang, " ");
    EXPECT_EQ(rows[3].gerufener, "4712");
    EXPECT_EQ(rows[0].ang, "J");
    EXPECT_EQ(rows[1].ang, " ");

    // The router drops every connection (as when it reboots): the loss shows, the program
    // connects again within its 5 s and takes the next call.
    line->Send("drop\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("line lost") == 1; }, 5000)) << Trace();
    EXPECT_NE(Trace().find("hint CallBeacon - keine Verbindung zum Anrufmonitor des Routers"),
              std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return Connections() == 2; }, 12000));
    ASSERT_TRUE(WaitUntil([&] { return Count("line back") == 1; }, 3000)) << Trace();
    line->Send("ring 2 4711 0301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return LogSize() == 5; }, 10000)) << Trace();
    EXPECT_EQ(ReadLog(dir)[4].anrufer, "0301234567");

    EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0);
    EXPECT_EQ(Count("box"), 0) << Trace();
    const std::string ini = ReadWholeFile((dir / "callbeacon.INI").string());
    EXPECT_NE(
        ini.find("[Leitung]\nArt=Anrufmonitor\nAdresse=127.0.0.1\nPort=" + std::to_string(port)),
        std::string::npos)
        << ini;
}

// A router that is not reachable when the program starts (it boots later) is shown as lost
// and taken up once it answers.
TEST_F(CallMonitorEndToEnd, MonitorThatComesUpAfterStartIsTakenUp) {
    StartApp();
    ASSERT_TRUE(WaitUntil([&] { return Count("line lost") == 1; }, 10000)) << Trace();
    StartLine();
    ASSERT_TRUE(line->WaitForLine("connected 1", 12000));
    line->Send("ring 7 4711 0891234\n");
    ASSERT_TRUE(WaitUntil([&] { return LogSize() == 1; }, 10000)) << Trace();
    EXPECT_EQ(Count("line back"), 1) << Trace();
    EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0);
}

// With the call monitor chosen, an ISDN line that is also there is left alone.
TEST_F(CallMonitorEndToEnd, CapiLineStaysUnused) {
    ChildProcess capiLine({kBuild + "/callbeacon-line", "--port", std::to_string(capiPort)}, {},
                          temp.path().string());
    ASSERT_TRUE(capiLine.WaitForLine("listening", 5000));
    StartLine();
    StartApp();
    ASSERT_TRUE(line->WaitForLine("connected 1", 15000));
    line->Send("ring 0 4711 0301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return LogSize() == 1; }, 10000)) << Trace();
    EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0);
    for (const std::string& l : capiLine.lines())
        EXPECT_EQ(l.find("registered"), std::string::npos) << l;
}

namespace {

// Reads from a connected socket until `lines` complete lines arrived or the time is up.
std::string ReadLines(int fd, int lines, int timeoutMs) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::count(text.begin(), text.end(), '\n') < lines &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buf[1024];
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

} // namespace

// What the simulated call monitor writes, as a router's call monitor writes it.
TEST_F(CallMonitorEndToEnd, SimulatedMonitorWritesRouterLines) {
    StartLine();
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_TRUE(line->WaitForLine("connected 1", 5000));
    line->Send("ring 12 4711 0301234567\nhangup 12 349A\nring 3 4712 -\nhangup 3 3490\ndrop\n");
    const std::string text = ReadLines(fd, 5, 5000);
    close(fd);
    // dd.mm.yy hh:mm:ss; then the fields.
    const std::regex expected(
        "\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d;RING;12;0301234567;4711;SIP0;\n"
        "\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d;CONNECT;12;1;0301234567;\n"
        "\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d;DISCONNECT;12;\\d+;\n"
        "\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d;RING;3;;4712;SIP0;\n"
        "\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d;DISCONNECT;3;0;\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
    EXPECT_TRUE(line->WaitForLine("dropped 1", 5000));
    EXPECT_TRUE(line->WaitForLine("sent CONNECT id=12", 100));
}
