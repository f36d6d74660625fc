// SPDX-License-Identifier: GPL-3.0-or-later
// Both kinds of line through the main window's real listeners: the simulated ISDN line
// through the real libcapi20, and the simulated router call monitor over TCP. The same calls
// give the same events; the kind of line is switched in the settings dialog while running.
#include "app/MainWnd.h"
#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/LineProcess.h"
#include "support/Process.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using cbtest::ChildProcess;
using cbtest::WriteWholeFile;

namespace {

// One HOME for this process: libcapi20 reads its configuration at its first call.
class LineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        home = std::make_unique<cbtest::TempDir>(false);
        setenv("HOME", home->path().c_str(), 1);
        WriteWholeFile(home->file(".capi20rc"), "TRACELEVEL 0\n");
        isdn = std::make_unique<cbtest::LineProcess>();
        ASSERT_NE(isdn->port(), 0) << "callbeacon-line did not start: " << cbtest::LinePath();
        WriteWholeFile(home->file(".capi20rc"), "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " +
                                                    std::to_string(isdn->port()) + "\n");
    }
    void TearDown() override {
        isdn.reset();
        home.reset();
    }
    std::unique_ptr<cbtest::TempDir> home;
    std::unique_ptr<cbtest::LineProcess> isdn;
};

LineEnvironment* g_env =
    static_cast<LineEnvironment*>(::testing::AddGlobalTestEnvironment(new LineEnvironment));

// Every event that reaches the listeners, in a form both lines share.
class Recorder : public ICallListener {
public:
    std::vector<std::string> seen;
    const char* ListenerName() const override { return "recorder"; }
    void OnCallEvent(const CallEvent& e) override {
        std::string text = CallEventName(e.kind);
        text += " " + e.calling + ">" + e.called + " " + e.caller.sName;
        seen.push_back(text);
    }
};

bool Until(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Lines : ::testing::Test {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    std::string ini = dir.file("callbeacon.INI");
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();

    void SetUp() override {
        ResetSettings();
        SetSettingsFilePathOverride(ini);
        CBase book;
        AddPhoneBookFields(book);
        ASSERT_TRUE(book.Create(kPhoneBookFile));
        book.PutField("NAME", "Meier");
        book.PutField("TELEFON", "0301234567");
        ASSERT_EQ(book.Append(), 1);
        book.Close();
        CBase log;
        AddCallLogFields(log);
        ASSERT_TRUE(log.Create(kCallLogFile));
    }
    void TearDown() override { SetSettingsFilePathOverride(""); }

    // A simulated router call monitor on a free port.
    std::unique_ptr<ChildProcess> StartCallMonitor(int& port) {
        port = cbtest::FreePort();
        auto monitor = std::make_unique<ChildProcess>(
            std::vector<std::string>{cbtest::LinePath(), "--call-monitor", "--port",
                                     std::to_string(port)},
            std::vector<std::string>{}, dir.path().string());
        EXPECT_TRUE(monitor->WaitForLine("listening", 5000));
        return monitor;
    }
    // The same two calls on any line: one another telephone takes, one nobody takes.
    // first, second: the ids as the line's commands take them; trunk: the 0 a call monitor
    // writes in front of a national number, where an ISDN line gives its type instead.
    static void RingTwoCalls(const std::function<void(const std::string&)>& send,
                             const std::string& first, const std::string& second,
                             const std::string& trunk) {
        send("ring " + first + " 4711 " + trunk + "301234567");
        send("sleep 300");
        send("hangup " + first + " 349A");
        send("sleep 300");
        send("ring " + second + " 4711 " + trunk + "891234");
        send("sleep 300");
        send("hangup " + second + " 3490");
    }
    const std::vector<std::string> kExpected = {
        "ring 0301234567>4711 Meier",  "answered 0301234567>4711 Meier",
        "ended 0301234567>4711 Meier", "ring 0891234>4711 0891234",
        "ended 0891234>4711 0891234",  "missed 0891234>4711 0891234"};
};

} // namespace

TEST_F(Lines, IsdnAndCallMonitorGiveTheSameEventsToTheSameListeners) {
    std::vector<std::string> isdnEvents, routerEvents;
    {
        WriteWholeFile(ini, "[Anruf]\nSekunden=1\nAnruferAnzeigen=0\n");
        TMainWindow window;
        window.FormCreate();
        ASSERT_FALSE(window.QuitRequested());
        ASSERT_EQ(window.Line()->Kind(), CallLineKind::Isdn);
        ASSERT_EQ(window.Line()->LineState(), TCallLine::State::Connected);
        window.Pipeline().Add(recorder);
        RingTwoCalls([](const std::string& c) { g_env->isdn->Send(c); }, "0101", "0102", "");
        ASSERT_TRUE(Until([&] { return recorder->seen.size() >= 6; }, 8000));
        EXPECT_NE(g_env->isdn->WaitForPrefix("recv ALERT_REQ plci=0x0101"), "");
        window.FormDestroy();
        isdnEvents = recorder->seen;
    }
    recorder->seen.clear();
    {
        int port = 0;
        auto monitor = StartCallMonitor(port);
        WriteWholeFile(ini, "[Anruf]\nSekunden=1\nAnruferAnzeigen=0\n[Leitung]\nArt=Anrufmonitor\n"
                            "Adresse=127.0.0.1\nPort=" +
                                std::to_string(port) + "\n");
        TMainWindow window;
        window.FormCreate();
        ASSERT_EQ(window.Line()->Kind(), CallLineKind::Router);
        window.Pipeline().Add(recorder);
        ASSERT_TRUE(monitor->WaitForLine("connected", 5000));
        RingTwoCalls([&](const std::string& c) { monitor->Send(c + "\n"); }, "1", "2", "0");
        ASSERT_TRUE(Until([&] { return recorder->seen.size() >= 6; }, 8000));
        window.FormDestroy();
        routerEvents = recorder->seen;
    }
    EXPECT_EQ(isdnEvents, kExpected);
    EXPECT_EQ(routerEvents, kExpected);
    EXPECT_TRUE(boxes.texts().empty());
}

// The settings dialog switches from the ISDN line to the router's call monitor: the old line
// is let go, the new one answers the next call, without a restart.
TEST_F(Lines, SwitchingTheKindOfLineInTheSettingsTakesTheNextCallOnTheNewLine) {
    int port = 0;
    auto monitor = StartCallMonitor(port);
    WriteWholeFile(ini, "[Anruf]\nSekunden=1\nAnruferAnzeigen=0\n");
    TMainWindow window;
    window.FormCreate();
    ASSERT_EQ(window.Line()->Kind(), CallLineKind::Isdn);
    window.Pipeline().Add(recorder);
    const int releasesBefore = g_env->isdn->CountPrefix("released");

    QTimer::singleShot(100, [port] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QRadioButton*>("LeitungAnrufmonitor")->setChecked(true);
        dialog->findChild<QLineEdit*>("LeitungAdresse")->setText("127.0.0.1");
        dialog->findChild<QSpinBox*>("LeitungPort")->setValue(port);
        dialog->findChild<QPushButton*>("BtnOk")->click();
    });
    window.MPunktParameterClick();
    ASSERT_EQ(window.Line()->Kind(), CallLineKind::Router);
    // The ISDN registration was given back.
    EXPECT_TRUE(Until([&] { return g_env->isdn->CountPrefix("released") > releasesBefore; }, 3000));
    ASSERT_TRUE(monitor->WaitForLine("connected", 6000));
    monitor->Send("ring 3 4711 0301234567\n");
    ASSERT_TRUE(Until([&] { return !recorder->seen.empty(); }, 6000));
    EXPECT_EQ(recorder->seen[0], "ring 0301234567>4711 Meier");
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon 1 Anruf");
    window.FormDestroy();
}
