// SPDX-License-Identifier: GPL-3.0-or-later
// Application entry: a tray program without a main window or taskbar button.
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/ImportCommand.h"
#include "app/MainWnd.h"
#include "core/Settings.h"
#include "platform/ErrorBox.h"
#include "platform/ErrorBoxQt.h"
#include "platform/ExePath.h"
#include "platform/ExitDeadline.h"
#include "platform/InstanceLock.h"
#include "platform/TermSignals.h"
#include "platform/Trace.h"
#include "platform/UserPaths.h"
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
    // --help and --version answer before Qt looks for a display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        const TCommandLine early = ParseCommandLine(arguments);
        if (early.bHelp || early.bVersion) {
            const QString text = early.bHelp ? CommandLineHelp() : CommandLineVersion() + '\n';
            std::fputs(text.toLocal8Bit().constData(), stdout);
            return 0;
        }
        // An import needs no display and no running monitor.
        if (!early.sImportFile.isEmpty() || ImportRequested(arguments)) {
            if (!early.sError.isEmpty()) {
                std::fprintf(stderr, "callbeacon: %s\nMehr mit: callbeacon --help\n",
                             early.sError.toLocal8Bit().constData());
                return 2;
            }
            return RunImportCommand(early.sImportFile.toLocal8Bit().toStdString(),
                                    early.sDataFolder.toLocal8Bit().toStdString(),
                                    cb::ExecutablePath(), stdout, stderr);
        }
    }
    TApplication app(argc, argv);
    const TCommandLine commandLine = ParseCommandLine(QCoreApplication::arguments());
    if (!commandLine.sError.isEmpty()) {
        std::fprintf(stderr, "callbeacon: %s\nMehr mit: callbeacon --help\n",
                     commandLine.sError.toLocal8Bit().constData());
        return 2;
    }
    app.setQuitOnLastWindowClosed(false);
    app.setApplicationName(QStringLiteral("CallBeacon"));
    Q_INIT_RESOURCE(help);
    InitUiResources();
    app.setWindowIcon(cb::ApplicationIcon());
    cb::InstallQtErrorBox();
    // Before and after the message loop quit() has no loop to end: a signal that comes while
    // start-up or shutdown waits in a box or dialog closes what is open, and the loop is skipped.
    static bool bLoopRunning = false;
    static bool bEndRequested = false;
    cb::CallOnTermSignals([] {
        bEndRequested = true;
        cb::SetErrorBoxHandler(&ReportWithoutBox);
        cb::EndProcessWithin(4000);
        if (bLoopRunning)
            QCoreApplication::quit();
        else
            QApplication::closeAllWindows();
    });

    const std::string exePath = cb::ExecutablePath();
    std::string dataFolder, failure;
    if (!EnterDataFolder(commandLine.sDataFolder.toStdString(), exePath, dataFolder, failure)) {
        ReportStartFailure(failure);
        return 1;
    }
    // The per-user settings folder exists before anything is saved or locked in it.
    const std::string settingsFolder =
        std::filesystem::path(SettingsFilePath()).parent_path().string();
    cb::EnsureFolder(settingsFolder);
    // Autostart and a start from the menu must not make two monitors on one line.
    cb::CInstanceLock instanceLock(settingsFolder, SettingsFilePath());
    if (instanceLock.TryLock() == cb::CInstanceLock::Result::HeldByAnother) {
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
