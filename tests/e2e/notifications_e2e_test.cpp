// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications of the real program: a private session bus (dbus-daemon) with a real
// notification server on it (python3-dbusmock's notification_daemon template), the program
// started offscreen on the simulated ISDN line or the simulated call monitor; checked through
// the server's log of the calls it received, the trace and the signals a user's click sends.
#include "support/Process.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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

std::string Python() {
    // The system's interpreter: the one python3-dbusmock is installed for.
    return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// A session bus of the test's own, and on request a notification server on it.
class PrivateBus {
public:
    explicit PrivateBus(const fs::path& folder) : log((folder / "notify.log").string()) {
        daemon = std::make_unique<ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
            std::vector<std::string>{}, folder.string());
        if (daemon->WaitForLine("unix:", 10000)) address = daemon->lines().front();
    }

    // `capabilities` as the server reports them to GetCapabilities.
    bool StartServer(const std::string& capabilities) {
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{Python(), "-m", "dbusmock", "--template",
                                     "notification_daemon", "-l", log, "-p",
                                     "{\"capabilities\": \"" + capabilities + "\"}"},
            Env(), fs::path(log).parent_path().string());
        return WaitUntil([&] { return Call({"GetServerInformation"}) == 0; }, 15000);
    }

    // A user's click on a notification's action, as the server reports it.
    int Click(unsigned id, const std::string& key) {
        return Call({"org.freedesktop.DBus.Mock.EmitSignal", "org.freedesktop.Notifications",
                     "ActionInvoked", "us",
                     "[<uint32 " + std::to_string(id) + ">, <'" + key + "'>]"});
    }

    // The Notify calls the server received, each as the server logged it (name, replaces_id,
    // icon, summary, body, actions, hints, expire_timeout).
    std::vector<std::string> Notifies() const { return Entries("Notify"); }
    std::vector<std::string> Entries(const std::string& method) const {
        std::vector<std::string> found;
        const std::string text = ReadWholeFile(log);
        // Entries start with a time stamp at the beginning of a line; bodies span lines.
        const std::regex start("(^|\n)\\d+\\.\\d+ ");
        std::vector<size_t> starts;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), start);
             it != std::sregex_iterator(); ++it)
            starts.push_back(size_t(it->position()) + (it->str()[0] == '\n' ? 1 : 0));
        for (size_t i = 0; i < starts.size(); ++i) {
            const size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
            std::string entry = text.substr(starts[i], end - starts[i]);
            const size_t blank = entry.find(' ');
            if (entry.compare(blank + 1, method.size() + 1, method + " ") == 0)
                found.push_back(entry.substr(blank + 1));
        }
        return found;
    }

    std::vector<std::string> Env() const { return {"DBUS_SESSION_BUS_ADDRESS=" + address}; }

    std::string address;

private:
    int Call(std::vector<std::string> method) {
        std::vector<std::string> argv = {"gdbus",
                                         "call",
                                         "--session",
                                         "--dest",
                                         "org.freedesktop.Notifications",
                                         "--object-path",
                                         "/org/freedesktop/Notifications",
                                         "--method"};
        if (method[0].find('.') == std::string::npos)
            method[0] = "org.freedesktop.Notifications." + method[0];
        argv.insert(argv.end(), method.begin(), method.end());
        ChildProcess tool(argv, Env(), "");
        return tool.WaitExit(10000);
    }

    std::string log;
    std::unique_ptr<ChildProcess> daemon, server;
};

class Notifications : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    fs::path dir = temp.path() / "station";
    int port = cbtest::FreePort();
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<ChildProcess> line, app;

    void SetUp() override {
        cbtest::PrepareStation(dir);
        bus = std::make_unique<PrivateBus>(temp.path());
        ASSERT_FALSE(bus->address.empty()) << "dbus-daemon gave no address";
    }
    void TearDown() override {
        if (app) {
            EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0) << Trace();
        }
    }

    // The simulated ISDN line, or with `monitor` the router's call monitor.
    void Start(bool monitor, const std::string& ini) {
        std::vector<std::string> argv = {kBuild + "/callbeacon-line", "--port",
                                         std::to_string(port)};
        if (monitor) argv.insert(argv.begin() + 1, "--call-monitor");
        line =
            std::make_unique<ChildProcess>(argv, std::vector<std::string>{}, temp.path().string());
        ASSERT_TRUE(line->WaitForLine("listening", 5000));
        std::string settings = "[Anruf]\nSekunden=1\n" + ini;
        if (monitor)
            settings +=
                "[Leitung]\nArt=Anrufmonitor\nAdresse=127.0.0.1\nPort=" + std::to_string(port) +
                "\n";
        WriteWholeFile((dir / "callbeacon.INI").string(), settings);
        WriteWholeFile((dir / ".capi20rc").string(),
                       "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " + std::to_string(port) + "\n");
        std::vector<std::string> env = bus->Env();
        env.push_back("HOME=" + dir.string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("CALLBEACON_TRACE=" + (dir / "trace.txt").string());
        app =
            std::make_unique<ChildProcess>(std::vector<std::string>{(dir / "callbeacon").string()},
                                           env, dir.string(), (dir / "stdout.txt").string());
        ASSERT_TRUE(line->WaitForLine(monitor ? "connected 1" : "recv LISTEN_REQ", 15000));
    }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }
    int Count(const std::string& needle) const { return cbtest::CountInTrace(dir, needle); }
    bool NotifiesReach(size_t n) {
        return WaitUntil([&] { return bus->Notifies().size() >= n; }, 10000);
    }
    // The id the server gave the notification of the n-th Notify reply (from 1), as traced.
    static unsigned IdOf(const std::string& notify) {
        std::smatch m;
        const bool found =
            std::regex_search(notify, m, std::regex("^Notify \"CallBeacon\" (\\d+)"));
        return found ? unsigned(std::stoul(m[1])) : 0;
    }
};

const std::string kNotifications = "Anzeige=Benachrichtigung\n[MSN]\nNr0=4711\nName0=B\xFCro\n";

} // namespace

// On the ISDN line: a call from the phone book is notified with name, number as written for
// people, place and the own number's name, and replaced in place when another telephone takes
// it; a missed call's notice stays; the clicks on its actions open the history and the editor.
TEST_F(Notifications, IsdnCallsAreNotifiedReplacedAndMissedOnesStay) {
    ASSERT_TRUE(bus->StartServer("body actions"));
    Start(false, kNotifications);

    line->Send("ring 0101 4711 301234567\n");
    ASSERT_TRUE(NotifiesReach(1)) << Trace();
    const std::string ring = bus->Notifies()[0];
    EXPECT_EQ(ring.rfind("Notify \"CallBeacon\" 0 \"callbeacon\" \"Anruf von Anna Meier\" "
                         "\"030 1234567 · Berlin\nfür Büro (4711)\" "
                         "[\"default\", \"Anrufliste\", \"anrufliste\", \"Anrufliste\", "
                         "\"telefonbuch\", \"Ins Telefonbuch\"] {",
                         0),
              0u)
        << ring;
    EXPECT_NE(ring.find("\"urgency\": 1"), std::string::npos) << ring;
    EXPECT_NE(ring.find("\"category\": \"x-callbeacon.call.ringing\""), std::string::npos);
    EXPECT_EQ(ring.find("resident"), std::string::npos) << ring;
    EXPECT_NE(ring.find("} -1"), std::string::npos) << ring;
    ASSERT_TRUE(WaitUntil([&] { return Count("notification 1") == 1; }, 5000)) << Trace();

    line->Send("hangup 0101 349A\n");
    ASSERT_TRUE(NotifiesReach(2)) << Trace();
    const std::string answered = bus->Notifies()[1];
    EXPECT_EQ(IdOf(answered), 1u) << answered;
    EXPECT_NE(answered.find("\"Anruf von Anna Meier angenommen\""), std::string::npos) << answered;

    // An unknown caller, not answered: the notice turns into the missed call and stays.
    line->Send("ring 0102 4711 891234567\n");
    ASSERT_TRUE(NotifiesReach(3)) << Trace();
    ASSERT_TRUE(WaitUntil([&] { return Count("notification 2") == 1; }, 5000)) << Trace();
    line->Send("hangup 0102 3490\n");
    ASSERT_TRUE(NotifiesReach(4)) << Trace();
    const std::string missed = bus->Notifies()[3];
    EXPECT_EQ(IdOf(missed), 2u) << missed;
    EXPECT_NE(missed.find("\"Verpasster Anruf von Unbekannt\" \"089 1234567 · München\nfür "
                          "Büro (4711)\nam "),
              std::string::npos)
        << missed;
    EXPECT_NE(missed.find("\"resident\": True"), std::string::npos) << missed;
    EXPECT_NE(missed.find("} 0"), std::string::npos) << missed;
    EXPECT_TRUE(WaitUntil([&] { return Count("hint CallBeacon 2 Anrufe, 1 verpasst") == 1; }, 5000))
        << Trace();
    EXPECT_EQ(Count("popup"), 0) << Trace();
    EXPECT_EQ(bus->Notifies().size(), 4u);

    // Another program's notification is none of ours.
    ASSERT_EQ(bus->Click(99, "anrufliste"), 0);
    ASSERT_EQ(bus->Click(2, "telefonbuch"), 0);
    EXPECT_TRUE(WaitUntil([&] { return Count("dialog Editor 0891234567") == 1; }, 5000)) << Trace();
    // The missed call's notice has served once the user acted on it.
    EXPECT_TRUE(WaitUntil([&] { return bus->Entries("CloseNotification").size() == 1; }, 5000));
    EXPECT_EQ(bus->Entries("CloseNotification")[0].rfind("CloseNotification 2", 0), 0u);
    ASSERT_EQ(bus->Click(1, "anrufliste"), 0);
    EXPECT_TRUE(WaitUntil([&] { return Count("dialog Anrufer") == 1; }, 5000)) << Trace();
    EXPECT_EQ(Count("notification action "), 2) << Trace();
}

// On the call monitor, shown both ways: CONNECT replaces the notice, DISCONNECT without it
// leaves a missed call; a server without actions gets none offered.
TEST_F(Notifications, CallMonitorCallsAreNotifiedAlongsideThePopup) {
    ASSERT_TRUE(bus->StartServer("body"));
    Start(true, "Anzeige=BEIDES\n");
    line->Send("ring 0 4711 0301234567\nhangup 0 349A\n");
    ASSERT_TRUE(NotifiesReach(2)) << Trace();
    line->Send("ring 1 4712 0891234567\nhangup 1 3490\n");
    ASSERT_TRUE(NotifiesReach(4)) << Trace();
    const std::vector<std::string> n = bus->Notifies();
    EXPECT_NE(n[0].find("\"Anruf von Anna Meier\" \"030 1234567 · Berlin\nfür 4711\" [] {"),
              std::string::npos)
        << n[0];
    EXPECT_EQ(IdOf(n[1]), 1u);
    EXPECT_NE(n[1].find("angenommen"), std::string::npos) << n[1];
    EXPECT_EQ(IdOf(n[2]), 0u);
    EXPECT_EQ(IdOf(n[3]), 2u);
    EXPECT_NE(n[3].find("\"Verpasster Anruf von Unbekannt\""), std::string::npos) << n[3];
    EXPECT_TRUE(
        WaitUntil([&] { return Count("hint CallBeacon 2 Anrufe, 1 verpasst") == 1; }, 10000))
        << Trace();
    EXPECT_TRUE(WaitUntil([&] { return Count("popup closed") == 2; }, 10000)) << Trace();
}

// No notification server on the bus: the pop-up shows the calls, and the trace says why once.
TEST_F(Notifications, WithoutAServerThePopupShowsCalls) {
    Start(false, kNotifications);
    line->Send("ring 0101 4711 301234567\nhangup 0101 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup closed") == 1; }, 10000)) << Trace();
    line->Send("ring 0102 4711 301234567\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup closed") == 2; }, 10000)) << Trace();
    EXPECT_EQ(Count("popup Meier | Berlin"), 2) << Trace();
    EXPECT_EQ(Count("no notification service on the session bus"), 1) << Trace();
}

// The pop-up is the default, and the program then leaves the desktop's notifications alone.
TEST_F(Notifications, WindowModeSendsNoNotification) {
    ASSERT_TRUE(bus->StartServer("body actions"));
    Start(false, "");
    line->Send("ring 0101 4711 301234567\nhangup 0101 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup closed") == 1; }, 10000)) << Trace();
    ASSERT_TRUE(WaitUntil([&] { return Count("verpasst") == 1; }, 10000)) << Trace();
    EXPECT_TRUE(bus->Notifies().empty());
    EXPECT_TRUE(bus->Entries("GetCapabilities").empty());
}
