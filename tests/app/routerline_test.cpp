// SPDX-License-Identifier: GPL-3.0-or-later
// The router's call monitor over a real TCP connection: a QTcpServer in the test plays the
// router; the line alone, and the main window offscreen with real tables and pop-ups.
#include "app/MainWnd.h"
#include "app/RouterLine.h"
#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using cbtest::WriteWholeFile;

namespace {

bool Until(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// The router: accepts the monitor's connections and writes lines to every one of them.
class Router {
public:
    Router() { server.listen(QHostAddress::LocalHost); }
    int Port() const { return server.serverPort(); }
    // Waits until `n` connections were accepted in all.
    bool WaitForConnections(int n, int timeoutMs = 3000) {
        return Until(
            [&] {
                while (QTcpSocket* s = server.nextPendingConnection())
                    clients.push_back(s);
                return static_cast<int>(clients.size()) >= n;
            },
            timeoutMs);
    }
    void Write(const QByteArray& text) {
        for (QTcpSocket* s : clients)
            if (s->state() == QAbstractSocket::ConnectedState) {
                s->write(text);
                s->flush();
            }
    }
    void DropAll() {
        for (QTcpSocket* s : clients)
            s->abort();
    }

    QTcpServer server;
    std::vector<QTcpSocket*> clients;
};

struct LogRow {
    std::string anrufer, gerufener, ang;
};

std::vector<LogRow> ReadLog() {
    CBase log;
    std::vector<LogRow> rows;
    if (!log.Open(kCallLogFile)) return rows;
    for (uint32_t i = 0; i < log.RecCount(); ++i) {
        log.GoTo(i);
        rows.push_back(
            {log.GetField("ANRUFER"), log.GetField("GERUFENER"), log.GetField("ANG", false)});
    }
    return rows;
}

struct RouterLine : ::testing::Test {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    std::string ini = dir.file("callbeacon.INI");
    Router router;
    std::vector<std::pair<TCallLine::State, QString>> states;

    void SetUp() override {
        ResetSettings();
        SetSettingsFilePathOverride(ini);
        WriteWholeFile(
            ini, "[Anruf]\nSekunden=1\n[Leitung]\nArt=Anrufmonitor\nAdresse=127.0.0.1\nPort=" +
                     std::to_string(router.Port()) + "\n");
        CBase book;
        AddPhoneBookFields(book);
        ASSERT_TRUE(book.Create(kPhoneBookFile));
        book.PutField("NAME", "Meier");
        book.PutField("TELEFON", "0301234567");
        book.Append();
        book.Close();
        CBase log;
        AddCallLogFields(log);
        ASSERT_TRUE(log.Create(kCallLogFile));
    }
    void TearDown() override { SetSettingsFilePathOverride(""); }

    // The changes of state after the first connection.
    void Watch(TRouterLine& line) {
        QObject::connect(&line, &TCallLine::StateChanged,
                         [this](TCallLine::State s, TCallLine::State before, const QString& d) {
                             if (before != TCallLine::State::None ||
                                 s != TCallLine::State::Connected)
                                 states.emplace_back(s, d);
                         });
    }
};

} // namespace

TEST_F(RouterLine, HostileLinesAreSkippedAndTheConnectionStays) {
    TRouterLine line;
    Watch(line);
    line.StartAt(QStringLiteral("127.0.0.1"), router.Port());
    ASSERT_TRUE(router.WaitForConnections(1));
    router.Write(QByteArray(3000, 'A')); // overlong, in pieces
    router.Write(QByteArray(3000, 'B') + "\n");
    router.Write("08.12.26 14:03:11;RING;0;0301234567\n");           // called number missing
    router.Write(QByteArray("\x00\x01\xff;RING;1;030;4711;\n", 20)); // binary
    router.Write("08.12.26 14:03:11;CALL;2;1;4711;0891234;SIP0;\n");
    router.Write("08.12.26 14:03:12;RING;3;0301234567;4711;SIP0;\r\n");
    ASSERT_TRUE(Until([&] { return line.HasCalls(); }, 3000));
    std::vector<CallEvent> events;
    line.TakeEvents(events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, CallEventKind::Ringing);
    EXPECT_EQ(events[0].line, CallLineKind::Router);
    EXPECT_EQ(events[0].calling, "0301234567");
    EXPECT_EQ(events[0].called, "4711");
    line.TakeEvents(events);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(line.SkippedLines(), 3u);
    EXPECT_EQ(line.LineState(), TCallLine::State::Connected);
    EXPECT_TRUE(states.empty());
}

TEST_F(RouterLine, UnreachableMonitorIsLostUntilANewAddressAnswers) {
    TRouterLine line;
    Watch(line);
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const int nobody = closed.serverPort();
    closed.close();
    line.StartAt(QStringLiteral("127.0.0.1"), nobody);
    ASSERT_TRUE(Until([&] { return !states.empty(); }, 3000));
    EXPECT_EQ(states[0].first, TCallLine::State::Lost);
    EXPECT_NE(states[0].second.indexOf(QString::number(nobody)), -1)
        << states[0].second.toStdString();
    // The settings dialog names the right port: taken up at once, not after the 5 s.
    line.Retarget(QStringLiteral("127.0.0.1"), router.Port());
    ASSERT_TRUE(router.WaitForConnections(1, 2000));
    ASSERT_TRUE(Until([&] { return states.size() == 2; }, 2000));
    EXPECT_EQ(states[1].first, TCallLine::State::Connected);
    // The same target again changes nothing.
    line.Retarget(QStringLiteral("127.0.0.1"), router.Port());
    EXPECT_FALSE(router.WaitForConnections(2, 300));
}

TEST_F(RouterLine, EmptyAddressIsALostLineNotASilentOne) {
    TRouterLine line;
    Watch(line);
    line.StartAt(QStringLiteral("  "), 0);
    ASSERT_TRUE(Until([&] { return !states.empty(); }, 2000));
    EXPECT_EQ(states[0].first, TCallLine::State::Lost);
    EXPECT_EQ(states[0].second, "keine Adresse eingestellt");
    EXPECT_EQ(line.Target(), ":1012"); // an impossible port means the usual one
}

TEST_F(RouterLine, OverlappingCallsAreLoggedShownAndTheAnsweredOneMarked) {
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    ASSERT_NE(window.Line(), nullptr);
    EXPECT_EQ(window.Line()->Kind(), CallLineKind::Router);
    ASSERT_TRUE(router.WaitForConnections(1));
    // Two calls ring at once; the second is answered on a telephone, the first is not.
    router.Write("08.12.26 14:03:11;RING;0;0891234;4711;SIP0;\n"
                 "08.12.26 14:03:12;RING;1;0301234567;4712;SIP0;\n"
                 "08.12.26 14:03:15;CONNECT;1;1;0301234567;\n"
                 "08.12.26 14:03:20;DISCONNECT;0;0;\n"
                 "08.12.26 14:05:40;DISCONNECT;1;145;\n");
    // Handled while the first pop-up is still open (it stays for a second): sampled by a
    // timer, which runs inside the pop-up's modal loop.
    bool doneWhilePopupOpen = false;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!doneWhilePopupOpen && QApplication::activeModalWidget() && ReadLog().size() == 2 &&
            ReadLog()[1].ang == "J")
            doneWhilePopupOpen = true;
    });
    sampler.start(20);
    ASSERT_TRUE(Until([&] { return ReadLog().size() == 2 && ReadLog()[1].ang == "J"; }, 5000));
    EXPECT_TRUE(doneWhilePopupOpen);
    sampler.stop();
    std::vector<LogRow> rows = ReadLog();
    EXPECT_EQ(rows[0].anrufer, "0891234");
    EXPECT_EQ(rows[0].ang, " ");
    EXPECT_EQ(rows[1].anrufer, "0301234567");
    EXPECT_EQ(rows[1].gerufener, "4712");
    ASSERT_TRUE(
        Until([&] { return window.CallCount() == 2 && !QApplication::activeModalWidget(); }, 5000));

    // The router hands out connection 0 again: CONNECT marks the new call, not the old one.
    router.Write("08.12.26 14:06:00;RING;0;;4711;SIP0;\n08.12.26 14:06:05;CONNECT;0;1;;\n");
    ASSERT_TRUE(Until([&] { return ReadLog().size() == 3 && ReadLog()[2].ang == "J"; }, 3000));
    EXPECT_EQ(ReadLog()[2].anrufer, "0");
    EXPECT_EQ(ReadLog()[0].ang, " ");
    Until([&] { return !QApplication::activeModalWidget(); }, 3000);
    EXPECT_TRUE(boxes.texts().empty());
    window.FormDestroy();
}

TEST_F(RouterLine, DroppedConnectionShowsInTheTrayAndIsWonBack) {
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    ASSERT_TRUE(router.WaitForConnections(1));
    ASSERT_TRUE(
        Until([&] { return window.Line()->LineState() == TCallLine::State::Connected; }, 2000));
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon");

    router.DropAll();
    ASSERT_TRUE(Until([&] { return window.Line()->LineState() == TCallLine::State::Lost; }, 3000));
    EXPECT_EQ(window.TrayIcon().Hint(),
              "CallBeacon - keine Verbindung zum Anrufmonitor des Routers");
    window.TrayIconClick(); // acknowledging keeps a lost line shown
    EXPECT_EQ(window.TrayIcon().Hint(),
              "CallBeacon - keine Verbindung zum Anrufmonitor des Routers");

    ASSERT_TRUE(router.WaitForConnections(2, TRouterLine::kRetryIntervalMs + 3000));
    ASSERT_TRUE(
        Until([&] { return window.Line()->LineState() == TCallLine::State::Connected; }, 2000));
    EXPECT_EQ(window.TrayIcon().Hint(),
              "CallBeacon - Verbindung zum Anrufmonitor des Routers wiederhergestellt");
    router.Write("08.12.26 14:10:00;RING;4;0301234567;4711;SIP0;\n");
    ASSERT_TRUE(Until([&] { return ReadLog().size() == 1; }, 3000));
    ASSERT_TRUE(Until([&] { return window.CallCount() == 1; }, 5000));
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon 1 Anruf");
    window.FormDestroy();
}
