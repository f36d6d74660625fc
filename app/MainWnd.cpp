// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWnd.h"

#include "app/Settings.h"
#include "db/Conversion.h"
#include "net/Mail.h"
#include "platform/HelpViewer.h"
#include "platform/Trace.h"
#include "ui/Anrufer.h"
#include "ui/DBUpdate.h"
#include "ui/Detail.h"
#include "ui/Info.h"
#include "ui/Parameter.h"
#include "ui/Resources.h"
#include "ui/Teilnehmer.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace {

const char* const kSlotName = "DEDOV";

// The CAPI queue of the registered application, as the tick takes it.
class CapiPort : public ICapiPort {
public:
    explicit CapiPort(CapiBase& capi) : rCapi(capi) {}
    unsigned GetMessage(const uint8_t** msg) override { return rCapi.GetMessageNonBlocking(msg); }
    unsigned PutMessage(const uint8_t* msg) override { return rCapi.PutMessage(msg); }
    uint32_t ApplId() const override { return rCapi.dwApplId; }

private:
    CapiBase& rCapi;
};

} // namespace

TMainWindow::TMainWindow(const char* capiLibrary)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      capi(capiLibrary ? capiLibrary : CapiBase::kDefaultLibrary) {
    setWindowTitle(QStringLiteral("ISDN Monitor"));
    // Never shown, but dialogs it owns centre on it: give it the screen's working area so
    // they open centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    TelefonRot = cb::TelefonRotIcon();
    TelefonWeiss = cb::TelefonWeissIcon();

    trayIcon.SetHint(QStringLiteral("Anrufmonitor"));
    trayIcon.SetIcon(TelefonWeiss);
    trayIcon.SetAnimation(TelefonWeiss, TelefonRot, 400);
    connect(&trayIcon, &TTrayIcon::Click, this, &TMainWindow::TrayIconClick);

    pTrayMenu = new QMenu(this);
    auto add = [this](const char* name, const QString& caption, void (TMainWindow::*slot)()) {
        QAction* action = pTrayMenu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add("MPunktAnrufer", QStringLiteral("Anrufer"), &TMainWindow::MPunktAnruferClick);
    add("MPunktTelefonbuch", QStringLiteral("Telefonbuch"), &TMainWindow::MPunktTelefonbuchClick);
    add("MPunktParameter", QStringLiteral("Parameter"), &TMainWindow::MPunktParameterClick);
    add("Hilfe1", QStringLiteral("Hilfe"), &TMainWindow::Hilfe1Click);
    add("MPunktInfo", QStringLiteral("Info"), &TMainWindow::MPunktInfoClick);
    add("MPunktBeenden", QStringLiteral("Beenden"), &TMainWindow::MPunktBeendenClick);
    trayIcon.SetPopupMenu(pTrayMenu);

    CAPITimer.setInterval(1000);
    connect(&CAPITimer, &QTimer::timeout, this, &TMainWindow::CAPITimerTimer);
}

TMainWindow::~TMainWindow() {
    try {
        FormDestroy();
    } catch (const std::exception&) {
        // Reported by whoever called FormDestroy first; a destructor must not throw.
    }
}

void TMainWindow::RequestQuit() {
    bQuitRequested = true;
    // Posted like a quit message: the loop that is about to run ends at once.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}

void TMainWindow::FormCreate() {
    TakeOverLegacyTableNames();
    if (TablesNeedConversion()) {
        auto* dialog = new TDlgDBUpdate(this);
        dialog->exec();
        const int tag = dialog->Tag();
        delete dialog;
        if (tag != 0) {
            RequestQuit();
            return;
        }
    }
    LoadSettings();
    trayIcon.SetIcon(TelefonWeiss);
    trayIcon.Show();
    if (!CapiStartUp(capi)) {
        RequestQuit();
        return;
    }
    if (bServer) pMailServer = new TMailServer(kSlotName);
    if (bClient) pMailClient = new TMailClient(kSlotName);
    CAPITimer.start();
    iCallCount = 0;
    UpdateTrayHint();
}

void TMainWindow::FormDestroy() {
    if (bDestroyed) return;
    bDestroyed = true;
    CAPITimer.stop();
    CapiShutdown(capi);
    std::exception_ptr saveError;
    try {
        SaveSettings();
    } catch (...) {
        saveError = std::current_exception();
    }
    delete pMailClient;
    pMailClient = nullptr;
    delete pMailServer;
    pMailServer = nullptr;
    if (saveError) std::rethrow_exception(saveError);
}

void TMainWindow::UpdateTrayHint() {
    QString hint = QStringLiteral("CallBeacon");
    if (iCallCount != 0)
        hint += QStringLiteral(" %1%2").arg(iCallCount).arg(iCallCount == 1 ? QStringLiteral(" Anruf")
                                                                           : QStringLiteral(" Anrufe"));
    trayIcon.SetHint(hint);
    cb::Trace("hint " + hint.toStdString());
}

void TMainWindow::ResetTray() {
    StopBlinking();
    ShowWhiteIcon();
    bAllSeen = true;
    iCallCount = 0;
    UpdateTrayHint();
}

void TMainWindow::SyncMailSlots() {
    if (!bServer) {
        delete pMailServer;
        pMailServer = nullptr;
    } else if (!pMailServer) {
        pMailServer = new TMailServer(kSlotName);
    }
    if (bClient) {
        if (!pMailClient) pMailClient = new TMailClient(kSlotName);
    } else {
        delete pMailClient;
        pMailClient = nullptr;
    }
}

void TMainWindow::MPunktAnruferClick() {
    auto* dialog = new TDlgAnrufer(this);
    dialog->exec();
    delete dialog;
    ResetTray();
}

void TMainWindow::MPunktTelefonbuchClick() {
    auto* dialog = new TDlgTeilnehmer(this);
    dialog->exec();
    delete dialog;
}

void TMainWindow::MPunktParameterClick() {
    auto* dialog = new TDlgParameter(this);
    dialog->exec();
    delete dialog;
    SyncMailSlots();
}

void TMainWindow::Hilfe1Click() { cb::ShowHelp(cb::HelpContents); }

void TMainWindow::MPunktInfoClick() {
    auto* dialog = new TDlgInfo(this);
    dialog->exec();
    delete dialog;
}

void TMainWindow::MPunktBeendenClick() { QCoreApplication::quit(); }

void TMainWindow::TrayIconClick() { ResetTray(); }

void TMainWindow::CAPITimerTimer() {
    CapiPort port(capi);
    CAPITimerTick(*this, bCapiActive ? &port : nullptr);
}

void TMainWindow::StartBlinking() {
    trayIcon.SetAnimate(true);
    cb::Trace("icon blinking");
}
void TMainWindow::StopBlinking() { trayIcon.SetAnimate(false); }
void TMainWindow::ShowRedIcon() {
    trayIcon.SetIcon(TelefonRot);
    cb::Trace("icon red");
}
void TMainWindow::ShowWhiteIcon() { trayIcon.SetIcon(TelefonWeiss); }

int TMainWindow::ShowCallerPopup(const tAnruf& anruf) {
    cb::Trace("popup " + QString::fromLatin1(anruf.sName.c_str()).toStdString());
    auto* popup = new TDlgDetail(this);
    popup->SetRecord(anruf, true);
    popup->exec();
    const int tag = popup->Tag();
    delete popup;
    cb::Trace("popup closed " + std::to_string(tag));
    return tag;
}

void TMainWindow::CountCall() {
    ++iCallCount;
    UpdateTrayHint();
}
