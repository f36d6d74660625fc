// SPDX-License-Identifier: GPL-3.0-or-later
// The tray main window offscreen, without a CAPI driver: start-up, hint, acknowledgement,
// menu, network objects following the settings, shutdown.
#include "app/MainWnd.h"
#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "net/CallMessage.h"
#include "net/Mail.h"
#include "platform/IniFile.h"
#include "support/Process.h"
#include "support/TestSupport.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using cbtest::ReadWholeFile;
using cbtest::WriteWholeFile;

namespace {

const QString kNoLine = QStringLiteral("CallBeacon - keine Leitung eingerichtet");

struct MainWindow : ::testing::Test {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    std::string ini = dir.file("callbeacon.INI");

    void SetUp() override {
        // A HOME without a CAPI configuration, whatever the developer's own holds.
        home = qgetenv("HOME");
        qputenv("HOME", QByteArray::fromStdString(dir.path().string()));
        ResetSettings();
        SetSettingsFilePathOverride(ini);
        WriteWholeFile(ini, "[Anruf]\nSekunden=1\n");
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
    void TearDown() override {
        SetSettingsFilePathOverride("");
        qputenv("HOME", home);
    }
    QByteArray home;

    // Closes the next modal dialog that opens (as a user clicking its close box would).
    static void CloseNextDialog(int* seen = nullptr) {
        QTimer::singleShot(100, [seen] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                if (seen) ++*seen;
                dialog->reject();
            }
        });
    }
};

} // namespace

TEST_F(MainWindow, HintCountsCallsUntilTheTrayIsClicked) {
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    EXPECT_FALSE(window.QuitRequested());
    EXPECT_TRUE(window.Timer().isActive());
    EXPECT_EQ(window.Timer().interval(), 1000);
    // No CAPI and no router here: the tray says so instead of looking like a working monitor.
    EXPECT_EQ(window.TrayIcon().Hint(), kNoLine);
    window.CountCall();
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon 1 Anruf");
    window.CountCall();
    window.StartBlinking();
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon 2 Anrufe");
    EXPECT_TRUE(window.TrayIcon().Animate());
    window.CountCall();
    window.CountMissedCall();
    window.CountMissedCall();
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon 3 Anrufe, 2 verpasst");
    window.TrayIconClick();
    EXPECT_EQ(window.TrayIcon().Hint(), kNoLine);
    EXPECT_EQ(window.CallCount(), 0);
    EXPECT_EQ(window.MissedCount(), 0);
    EXPECT_FALSE(window.TrayIcon().Animate());
    EXPECT_TRUE(window.AllSeen());
    EXPECT_TRUE(boxes.texts().empty()); // no CAPI: silent
    window.FormDestroy();
}

// "Ins Telefonbuch" of a call's notification: the entry editor with the caller's number, the
// name left for the user; OK adds the entry.
TEST_F(MainWindow, NotificationActionEntersTheCallerInThePhoneBook) {
    TMainWindow window("/nonexistent/libcapi20.so.3");
    QString shownNumber, shownName;
    QTimer::singleShot(100, [&] {
        auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!editor) return;
        shownNumber = editor->findChild<QLineEdit*>(QStringLiteral("Telefon"))->text();
        auto* name = editor->findChild<QLineEdit*>(QStringLiteral("Name"));
        shownName = name->text();
        name->setText(QStringLiteral("Huber"));
        editor->findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();
    });
    window.EnterInPhoneBook("0891234567", "4711");
    EXPECT_EQ(shownNumber, "0891234567");
    EXPECT_EQ(shownName, "");
    tAnruf found;
    EXPECT_TRUE(LookupCaller(found, "0891234567", "4711", false));
    EXPECT_EQ(found.sName, "Huber");
    // A caller already in the phone book opens their entry.
    QTimer::singleShot(100, [&] {
        if (auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            shownName = editor->findChild<QLineEdit*>(QStringLiteral("Name"))->text();
            editor->reject();
        }
    });
    window.EnterInPhoneBook("0301234567", "4711");
    EXPECT_EQ(shownName, "Meier");
}

TEST_F(MainWindow, MenuHasItsSixEntriesInOrder) {
    TMainWindow window("/nonexistent/libcapi20.so.3");
    QStringList names, captions;
    for (QAction* action : window.TrayMenu()->actions()) {
        names << action->objectName();
        captions << action->text();
    }
    EXPECT_EQ(names, (QStringList{"MPunktAnrufer", "MPunktTelefonbuch", "MPunktParameter", "Hilfe1",
                                  "MPunktInfo", "MPunktBeenden"}));
    EXPECT_EQ(captions,
              (QStringList{"Anrufer", "Telefonbuch", "Parameter", "Hilfe", "Info", "Beenden"}));
    EXPECT_EQ(window.windowTitle(), "ISDN Monitor");
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindow, ClosingTheCallHistoryAcknowledgesTheCalls) {
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    window.CountCall();
    window.StartBlinking();
    int closed = 0;
    CloseNextDialog(&closed);
    window.MPunktAnruferClick();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(window.TrayIcon().Animate());
    EXPECT_EQ(window.TrayIcon().Hint(), kNoLine);
    // The other dialogs open and close too.
    CloseNextDialog(&closed);
    window.MPunktTelefonbuchClick();
    CloseNextDialog(&closed);
    window.MPunktInfoClick();
    EXPECT_EQ(closed, 3);
    window.FormDestroy();
}

TEST_F(MainWindow, NetworkObjectsFollowTheSettingsWithoutRestart) {
    const uint16_t port = static_cast<uint16_t>(cbtest::FreePort(SOCK_DGRAM));
    SetMailPortOverride(port);
    WriteWholeFile(ini, "[Anruf]\nSekunden=1\n[Netzwerk]\nServer=1\nBroadcast=127.255.255.255\n");
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    EXPECT_TRUE(window.Sender().IsOpen());
    EXPECT_FALSE(window.Receiver().IsOpen());

    // The settings dialog switches Server off and Client on.
    QTimer::singleShot(100, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QCheckBox*>("NetzwerkServer")->setChecked(false);
        dialog->findChild<QCheckBox*>("NetzwerkClient")->setChecked(true);
        dialog->findChild<QPushButton*>("BtnOk")->click();
    });
    window.MPunktParameterClick();
    EXPECT_FALSE(window.Sender().IsOpen());
    ASSERT_TRUE(window.Receiver().IsOpen());

    // The next tick shows an announced call.
    TMailServer other("DEDOV");
    other.SendText(FormatCallMessage(5, 1, "0301234567", "4711").c_str());
    int popups = 0;
    QTimer::singleShot(200, [&] {
        if (QApplication::activeModalWidget()) ++popups;
    });
    window.CAPITimerTimer(); // posts the tick; the pop-up closes by itself after one second
    QElapsedTimer waited;
    waited.start();
    while ((popups == 0 || window.OpenPopups() > 0) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(window.Receiver().LastSequence(), 5);
    window.FormDestroy();
    EXPECT_FALSE(window.Receiver().IsOpen());
    SetMailPortOverride(0);
}

TEST_F(MainWindow, ShutdownSavesTheSettingsAndReportsAnUnwritableFile) {
    {
        TMainWindow window("/nonexistent/libcapi20.so.3");
        window.FormCreate();
        iSekunden = 33;
        window.FormDestroy();
    }
    EXPECT_NE(ReadWholeFile(ini).find("Sekunden=33"), std::string::npos);

    chmod(ini.c_str(), 0444);
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    try {
        window.FormDestroy();
        FAIL() << "an unwritable settings file went unnoticed";
    } catch (const cb::IniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "nach " + ini + " kann nicht geschrieben werden");
    }
}

TEST_F(MainWindow, FreshFolderGetsItsTablesAndLegacyNamesAreTakenOver) {
    std::filesystem::remove(kPhoneBookFile);
    std::filesystem::rename(kCallLogFile, "calls.dbf");
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    EXPECT_FALSE(window.QuitRequested());
    EXPECT_TRUE(std::filesystem::exists(kPhoneBookFile));
    EXPECT_TRUE(std::filesystem::exists(kCallLogFile));
    EXPECT_FALSE(std::filesystem::exists("calls.dbf"));
    window.FormDestroy();
}

// A network client without a line of its own looks like any monitor; a router line and the
// network client chosen in the settings turn the "no line" hint into the normal one at once.
TEST_F(MainWindow, NoLineHintGoesWithTheLineChosen) {
    WriteWholeFile(ini, "[Anruf]\nSekunden=1\n[Leitung]\nArt=keine\n");
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    EXPECT_EQ(window.Line()->Kind(), CallLineKind::None);
    EXPECT_EQ(window.TrayIcon().Hint(), kNoLine);
    bClient = true; // as the settings dialog's OK leaves it
    AnnounceSettingsChanged();
    window.ResetTray();
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon");
    window.FormDestroy();
}

// A line named in the CAPI configuration without a CAPI library to reach it.
TEST_F(MainWindow, ConfiguredIsdnLineWithoutCapiSaysItWasNotFound) {
    WriteWholeFile(dir.file(".capi20rc"), "REMOTE fritzbox 127.0.0.1 1\n");
    TMainWindow window("/nonexistent/libcapi20.so.3");
    window.FormCreate();
    EXPECT_EQ(window.TrayIcon().Hint(), "CallBeacon - keine ISDN-Leitung gefunden");
    window.FormDestroy();
}
