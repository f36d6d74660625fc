// SPDX-License-Identifier: GPL-3.0-or-later
// Application entry: a tray program without a main window or taskbar button.
#include "app/MainWnd.h"
#include "platform/ErrorBox.h"
#include "platform/ErrorBoxQt.h"
#include "platform/TermSignals.h"
#include "ui/Resources.h"

#include <QApplication>

#include <cstdlib>
#include <exception>

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

} // namespace

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    app.setApplicationName(QStringLiteral("CallBeacon"));
    app.setApplicationDisplayName(QStringLiteral("CallBeacon"));
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
        if (bLoopRunning) QCoreApplication::quit();
        else QApplication::closeAllWindows();
    });

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
