// SPDX-License-Identifier: GPL-3.0-or-later
// Application entry: a tray program without a main window or taskbar button.
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/ImportCommand.h"
#include "app/MainWnd.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "platform/ErrorBox.h"
#include "platform/ErrorBoxQt.h"
#include "platform/ExePath.h"
#include "platform/ExitDeadline.h"
#include "platform/InstanceLock.h"
#include "platform/TermSignals.h"
#include "platform/Trace.h"
#include "platform/UserPaths.h"
#include "ui/Einrichtung.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace {

// Exceptions escaping an event handler end in the error box; the program goes on.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            cb::ShowErrorBox(e.what());
        }
        return false;
    }
};

constexpr int kAlreadyRunningBoxMs = 5000;
constexpr int kShutdownDeadlineMs = 4000;

// After a termination signal nobody is there to click a box: errors go to the trace and to
// standard error instead.
void ReportWithoutBox(const std::string& text) {
    cb::Trace("error " + text);
    std::fprintf(stderr, "Fehler: %s\n", text.c_str());
}

// Start-up failures before the tray exists: on the terminal and, for a start from the menu
// or autostart, in the box.
void ReportStartFailure(const std::string& text) {
    std::fprintf(stderr, "callbeacon: %s\n", text.c_str());
    cb::ShowErrorBox(text);
}

} // namespace

int main(int argc, char* argv[]) {
    // Where the program and its settings are is fixed now, before a rebuild or an update can
    // replace the program file.
    const std::string exePath = cb::ExecutablePath();
    // The command line is answered before Qt looks for a display: --help, --version and a
    // wrong option work on a console without one.
    const TCommandLine commandLine = ParseProgramArguments(argc, argv);
    if (commandLine.bHelp || commandLine.bVersion) {
        const QString text = commandLine.bHelp ? CommandLineHelp() : CommandLineVersion() + '\n';
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    // An import needs no display and no running monitor.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!commandLine.sImportFile.isEmpty() || ImportRequested(arguments)) {
        if (!commandLine.sError.isEmpty()) {
            std::fprintf(stderr, "callbeacon: %s\nMehr mit: callbeacon --help\n",
                         commandLine.sError.toLocal8Bit().constData());
            return 2;
        }
        return RunImportCommand(commandLine.sImportFile.toLocal8Bit().toStdString(),
                                commandLine.sDataFolderPath, exePath, stdout, stderr);
    }
    if (!commandLine.sError.isEmpty()) {
        std::fprintf(stderr, "callbeacon: %s\nMehr mit: callbeacon --help\n",
                     commandLine.sError.toLocal8Bit().constData());
        return 2;
    }
    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    app.setApplicationName(QStringLiteral("CallBeacon"));
    // Lets the desktop match windows and tray to the installed menu entry and icon.
    app.setDesktopFileName(QString::fromLatin1(kApplicationId));
    Q_INIT_RESOURCE(help);
    InitUiResources();
    app.setWindowIcon(cb::ApplicationIcon());
    cb::InstallQtErrorBox();
    // Before and after the message loop quit() has no loop to end: a signal that comes while
    // start-up or shutdown waits in a box or dialog closes what is open, and the loop is skipped.
    static bool bLoopRunning = false;
    static bool bEndRequested = false;
    cb::PrepareExitDeadline(kShutdownDeadlineMs);
    cb::CallOnTermSignals([] {
        bEndRequested = true;
        cb::SetErrorBoxHandler(&ReportWithoutBox);
        cb::EndProcessWithin(kShutdownDeadlineMs);
        if (bLoopRunning)
            QCoreApplication::quit();
        else
            QApplication::closeAllWindows();
    });

    std::string dataFolder, failure;
    if (!EnterDataFolder(commandLine.sDataFolderPath, exePath, dataFolder, failure)) {
        ReportStartFailure(failure);
        return 1;
    }
    // The per-user settings folder exists before anything is saved or locked in it.
    const std::string settingsFolder =
        std::filesystem::path(SettingsFilePath()).parent_path().string();
    cb::EnsureFolder(settingsFolder);
    // Autostart and a start from the menu must not make two monitors on one line.
    cb::CInstanceLock instanceLock(SettingsFilePath());
    const cb::CInstanceLock::Result locked = instanceLock.TryLock();
    if (locked == cb::CInstanceLock::Result::Unavailable) {
        ReportStartFailure(instanceLock.FailureText());
        return 1;
    }
    if (locked == cb::CInstanceLock::Result::HeldByAnother) {
        const QString text = QStringLiteral("CallBeacon läuft bereits.");
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        cb::Trace("box " + text.toStdString());
        // A note, not a question: it closes by itself, so a script that starts the program
        // twice does not hang on it.
        if (!bEndRequested) {
            QMessageBox box(QMessageBox::Information, QStringLiteral("CallBeacon"), text,
                            QMessageBox::Ok);
            QTimer::singleShot(kAlreadyRunningBoxMs, &box, &QMessageBox::accept);
            box.exec();
        }
        return 1;
    }

    // A new user without ISDN would otherwise meet a tray icon that monitors nothing.
    if (!commandLine.bOhneEinrichtung && !bEndRequested &&
        FirstStartNeedsAssistant(SettingsFilePath()))
        RunFirstStartAssistant();

    // Another CAPI library may be named for a workstation's own driver or for tests.
    const char* capiLibrary = std::getenv("CALLBEACON_CAPI_LIBRARY");
    int exitCode = 0;
    {
        TMainWindow mainWindow(capiLibrary && *capiLibrary ? capiLibrary : nullptr);
        try {
            mainWindow.FormCreate();
            // Start-up gave up after its box: a failure for whoever started the program.
            if (mainWindow.QuitRequested()) exitCode = 1;
            if (!bEndRequested) {
                bLoopRunning = true;
                app.exec();
                bLoopRunning = false;
            }
            mainWindow.FormDestroy();
        } catch (const std::exception& e) {
            cb::ShowErrorBox(e.what());
        }
    }
    return exitCode;
}
