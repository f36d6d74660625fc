// SPDX-License-Identifier: GPL-3.0-or-later
// The real program against what an attacker and a hard shutdown try: captured announcements
// sent again after a restart, keys refused without a word, two starts on one settings file,
// a program file replaced while it runs, overlong numbers on both kinds of line, a wrong
// option without a display and a data folder named in another encoding.
#include "net/AnnouncementKey.h"
#include "net/CallMessage.h"
#include "net/Mail.h"
#include "support/Process.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::ReadLog;
using cbtest::ReadWholeFile;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = cbtest::BuildDir();
const std::string kSlot = "DEDOV";

// A workstation: its own copy of the program (the settings file beside it), tables, a HOME
// and a trace file.
class Workstation {
public:
    explicit Workstation(const fs::path& folder) : dir(folder) {
        cbtest::PrepareStation(dir);
        fs::create_directories(dir / "home");
    }
    void Start(const std::string& ini, std::vector<std::string> env = {},
               std::vector<std::string> args = {}) {
        if (!ini.empty()) WriteWholeFile((dir / "callbeacon.INI").string(), ini);
        env.push_back("HOME=" + (dir / "home").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("CALLBEACON_TRACE=" + (dir / "trace.txt").string());
        args.insert(args.begin(), (dir / "callbeacon").string());
        app =
            std::make_unique<ChildProcess>(args, env, dir.string(), (dir / "stdout.txt").string());
    }
    bool WaitUntilUp() {
        return WaitUntil([&] { return Count("hint CallBeacon") > iHintsBefore; }, 15000);
    }
    int Stop() {
        iHintsBefore = Count("hint CallBeacon");
        return app->StopWith(SIGTERM, 15000);
    }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }
    int Count(const std::string& needle) const { return cbtest::CountInTrace(dir, needle); }

    fs::path dir;
    std::unique_ptr<ChildProcess> app;
    int iHintsBefore = 0;
};

// Sends one datagram to the clients on `port`, as a server (or an attacker) would.
void SendBlock(int port, const std::string& block) {
    SetMailPortOverride(static_cast<uint16_t>(port));
    TMailServer sender(kSlot.c_str());
    sender.WriteBlock(block.data(), static_cast<uint32_t>(block.size()));
    SetMailPortOverride(0);
}

int ExitCode(int status) {
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> ScratchFilesIn(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp") != std::string::npos)
            found.push_back(entry.path().filename().string());
    return found;
}

class Safeguards : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    int mailPort = cbtest::FreePort(SOCK_DGRAM);
    std::vector<std::string> ClientEnv() const {
        return {"CALLBEACON_MAILSLOT_PORT=" + std::to_string(mailPort),
                "CALLBEACON_CAPI_LIBRARY=/nonexistent/libcapi20.so.3"};
    }
};

const std::string kKeyedClient = "[Anruf]\nSekunden=1\n[Netzwerk]\nClient=1\nKennwort=geheim\n";

} // namespace

// A genuine announcement captured on the network and sent again after the client restarted
// (within the five minutes it is fresh) must not be shown a second time. The key in the
// portable settings file is readable by its owner only, and no scratch copy is left.
TEST_F(Safeguards, ACapturedAnnouncementIsNotShownAgainAfterTheClientRestarts) {
    Workstation client(temp.path() / "client");
    client.Start(kKeyedClient, ClientEnv());
    ASSERT_TRUE(client.WaitUntilUp()) << client.Trace();

    TAnnouncementSigner server("geheim", kSlot);
    const auto now = static_cast<int64_t>(std::time(nullptr));
    const std::string captured =
        server.Sign(FormatCallMessage(100, static_cast<int32_t>(now), "0301234567", "4711"), now);
    SendBlock(mailPort, captured);
    ASSERT_TRUE(WaitUntil([&] { return client.Count("popup Meier") == 1; }, 10000))
        << client.Trace();
    ASSERT_TRUE(WaitUntil([&] { return client.Count("popup closed") == 1; }, 10000));
    ASSERT_EQ(client.Stop(), 0);

    const std::string ini = (client.dir / "callbeacon.INI").string();
    struct stat st {};
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the key is readable by others";
    EXPECT_NE(ReadWholeFile(ini).find("Kennwort=geheim"), std::string::npos);
    EXPECT_TRUE(ScratchFilesIn(client.dir).empty()) << ScratchFilesIn(client.dir)[0];

    client.Start("", ClientEnv());
    ASSERT_TRUE(client.WaitUntilUp()) << client.Trace();
    SendBlock(mailPort, captured);
    // The next genuine one is shown: the client listens, it only refused the copy.
    const auto later = static_cast<int64_t>(std::time(nullptr));
    SendBlock(
        mailPort,
        server.Sign(FormatCallMessage(101, static_cast<int32_t>(later), "0891234", "4711"), later));
    ASSERT_TRUE(WaitUntil([&] { return client.Count("popup 0891234") == 1; }, 10000))
        << client.Trace();
    EXPECT_EQ(client.Count("popup Meier"), 1) << client.Trace();
    EXPECT_EQ(client.Count("replayed"), 1) << client.Trace();
    EXPECT_EQ(client.Stop(), 0);
}

// A client whose key or clock differs shows nothing; it says why in the trace, once per
// sender a minute however often the sender tries.
TEST_F(Safeguards, RefusedAnnouncementsLeaveATraceLine) {
    Workstation client(temp.path() / "client");
    client.Start(kKeyedClient, ClientEnv());
    ASSERT_TRUE(client.WaitUntilUp()) << client.Trace();
    const auto now = static_cast<int64_t>(std::time(nullptr));
    const std::string text = FormatCallMessage(7, static_cast<int32_t>(now), "0301234567", "4711");
    TAnnouncementSigner otherKey("anders", kSlot);
    for (int i = 0; i < 5; ++i)
        SendBlock(mailPort, otherKey.Sign(text, now));
    TAnnouncementSigner slowClock("geheim", kSlot);
    SendBlock(mailPort, slowClock.Sign(text, now - 1000));
    SendBlock(mailPort, text + '\0'); // a server without a key
    ASSERT_TRUE(WaitUntil([&] { return client.Count("announcement refused") >= 3; }, 10000))
        << client.Trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(client.Count("announcement refused"), 3) << client.Trace();
    EXPECT_EQ(client.Count("wrong key"), 1);
    EXPECT_EQ(client.Count("clock off by -10"), 1) << client.Trace();
    EXPECT_EQ(client.Count("unsigned"), 1);
    EXPECT_EQ(client.Count("popup"), 0);
    EXPECT_EQ(client.Stop(), 0);
}

// The lock follows the settings file itself: another spelling of its folder and a start
// without XDG_RUNTIME_DIR still meet the running monitor.
TEST_F(Safeguards, TwoStartsOnOneSettingsFileWhateverTheirEnvironment) {
    // Installed: the settings go to $XDG_CONFIG_HOME/callbeacon.
    const fs::path root = temp.path() / "inst";
    fs::create_directories(root / "usr/bin");
    fs::create_directories(root / "usr/share/callbeacon");
    fs::copy_file(kBuild + "/callbeacon", root / "usr/bin/callbeacon");
    fs::copy_file(kBuild + "/Avon.dbf", root / "usr/share/callbeacon/Avon.dbf");
    Workstation data(temp.path() / "data");
    fs::create_directories(temp.path() / "run");
    fs::create_directories(temp.path() / "cfg/callbeacon");
    WriteWholeFile((temp.path() / "cfg/callbeacon/callbeacon.INI").string(), "[Anruf]\n");
    auto start = [&](const std::string& config, const std::string& runtime,
                     const std::string& trace) {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{(root / "usr/bin/callbeacon").string()},
            std::vector<std::string>{"HOME=" + (data.dir / "home").string(),
                                     "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + config,
                                     "XDG_RUNTIME_DIR=" + runtime,
                                     "CALLBEACON_CAPI_LIBRARY=/nonexistent/libcapi20.so.3",
                                     "CALLBEACON_TRACE=" + (data.dir / trace).string()},
            data.dir.string(), (data.dir / "stdout.txt").string());
    };
    auto first = start((temp.path() / "cfg").string(), (temp.path() / "run").string(), "1.txt");
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ReadWholeFile((data.dir / "1.txt").string()).find("hint CallBeacon") !=
                   std::string::npos;
        },
        15000));
    auto second = start(temp.path().string() + "//cfg/", "", "2.txt");
    EXPECT_EQ(ExitCode(second->WaitExit(15000)), 1) << "a second monitor runs";
    EXPECT_NE(ReadWholeFile((data.dir / "2.txt").string()).find("läuft bereits"),
              std::string::npos);
    EXPECT_TRUE(first->running());
    EXPECT_EQ(first->StopWith(SIGTERM, 15000), 0);
}

// A rebuild or a package update replaces the program file while it runs: the settings are
// still saved beside the program, under its name.
TEST_F(Safeguards, SettingsStayInPlaceWhenTheProgramFileIsReplaced) {
    Workstation station(temp.path() / "station");
    station.Start("[Anruf]\nSekunden=7\n", {"CALLBEACON_CAPI_LIBRARY=/nonexistent/lib.so"});
    ASSERT_TRUE(station.WaitUntilUp()) << station.Trace();
    fs::remove(station.dir / "callbeacon");
    fs::copy_file(kBuild + "/callbeacon", station.dir / "callbeacon");
    EXPECT_EQ(station.Stop(), 0);
    const std::string ini = ReadWholeFile((station.dir / "callbeacon.INI").string());
    EXPECT_NE(ini.find("Sekunden=7\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Nr9="), std::string::npos) << "settings not saved here: " << ini;
    for (const auto& entry : fs::directory_iterator(station.dir))
        EXPECT_EQ(entry.path().filename().string().find("deleted"), std::string::npos)
            << entry.path();
}

// A number longer than any real one is refused with a trace line, on the ISDN line and on
// the router's call monitor, instead of being logged cut to the column.
TEST_F(Safeguards, OverlongNumbersAreRefusedOnBothKindsOfLine) {
    const std::string overlong(39, '9');
    const int capiPort = cbtest::FreePort();
    ChildProcess capiLine({kBuild + "/callbeacon-line", "--port", std::to_string(capiPort)}, {},
                          temp.path().string());
    Workstation isdn(temp.path() / "isdn");
    WriteWholeFile((isdn.dir / "home/.capi20rc").string(),
                   "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " + std::to_string(capiPort) + "\n");
    isdn.Start("[Anruf]\nSekunden=1\n");
    ASSERT_TRUE(capiLine.WaitForLine("recv LISTEN_REQ", 15000));
    capiLine.Send("ring 0101 4711 " + overlong + "\nring 0102 " + overlong +
                  " 301234567\nring 0103 4711 301234567\n");
    ASSERT_TRUE(capiLine.WaitForLine("recv ALERT_REQ plci=0x0103", 10000));
    // Refused numbers, but the calls are alerted like every other.
    EXPECT_TRUE(capiLine.WaitForLine("recv ALERT_REQ plci=0x0101", 1000));
    EXPECT_TRUE(capiLine.WaitForLine("recv ALERT_REQ plci=0x0102", 1000));
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(isdn.dir).size() == 1; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(ReadLog(isdn.dir).size(), 1u);
    EXPECT_EQ(ReadLog(isdn.dir)[0].anrufer, "0301234567");
    EXPECT_EQ(isdn.Count("refused CONNECT_IND"), 2) << isdn.Trace();
    EXPECT_EQ(isdn.Stop(), 0);

    const int monitorPort = cbtest::FreePort();
    ChildProcess router(
        {kBuild + "/callbeacon-line", "--call-monitor", "--port", std::to_string(monitorPort)}, {},
        temp.path().string());
    ASSERT_TRUE(router.WaitForLine("listening", 5000));
    Workstation ip(temp.path() / "ip");
    ip.Start("[Anruf]\nSekunden=1\n[Leitung]\nArt=Anrufmonitor\nAdresse=127.0.0.1\nPort=" +
             std::to_string(monitorPort) + "\n");
    ASSERT_TRUE(router.WaitForLine("connected 1", 15000));
    router.Send("ring 0 4711 " + overlong + "\nring 1 " + overlong +
                " 0301234567\nring 2 4711 0301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return ReadLog(ip.dir).size() == 1; }, 10000)) << ip.Trace();
    ASSERT_TRUE(WaitUntil([&] { return ip.Count("popup Meier") == 1; }, 10000)) << ip.Trace();
    EXPECT_EQ(ReadLog(ip.dir).size(), 1u);
    EXPECT_EQ(ip.Count("call monitor: refused"), 2) << ip.Trace();
    EXPECT_EQ(ip.Stop(), 0);
}

// The command line is answered before anything needs a display; a data folder whose name is
// not UTF-8 is found by its bytes.
TEST_F(Safeguards, CommandLineWithoutADisplayAndAFolderNamedInLatin1) {
    const std::string exe = kBuild + "/callbeacon";
    ChildProcess bogus({"sh", "-c",
                        "exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + exe +
                            "' --bogus 2>'" + temp.file("bogus.err") + "'"},
                       {}, temp.path().string());
    EXPECT_EQ(ExitCode(bogus.WaitExit(10000)), 2) << ReadWholeFile(temp.file("bogus.err"));
    EXPECT_NE(ReadWholeFile(temp.file("bogus.err")).find("Unbekannte Option: --bogus"),
              std::string::npos)
        << ReadWholeFile(temp.file("bogus.err"));

    Workstation station(temp.path() / "station");
    const fs::path latin1 = temp.path() / "Gr\xfc\xdf"
                                          "e";
    fs::create_directories(latin1);
    for (const char* table : {"Adressen.dbf", "Anrufe.dbf", "Avon.dbf"})
        fs::copy_file(station.dir / table, latin1 / table);
    station.Start("[Anruf]\nSekunden=1\n", {"CALLBEACON_CAPI_LIBRARY=/nonexistent/lib.so"},
                  {"--daten", latin1.string()});
    ASSERT_TRUE(station.WaitUntilUp()) << station.Trace();
    EXPECT_EQ(station.Count("nicht gefunden"), 0) << station.Trace();
    EXPECT_EQ(station.Stop(), 0);
}
