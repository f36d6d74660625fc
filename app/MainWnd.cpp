// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWnd.h"

#include "core/Settings.h"
#include "db/Conversion.h"
#include "db/NumberMatch.h"
#include "db/TableErrors.h"
#include "net/Mail.h"
#include "platform/Clock.h"
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
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>

namespace {

const char* const kSlotName = "DEDOV";

// The CAPI queue of the registered application, as the tick takes it. A message taken asks
// for another tick at once: more may wait where the library reads ahead of its descriptor.
class CapiPort : public ICapiPort {
public:
    CapiPort(CapiBase& capi, TCapiLine& line, TMainWindow& window)
        : rCapi(capi), rLine(line), rWindow(window) {}
    unsigned GetMessage(const uint8_t** msg) override {
        const unsigned rc = rCapi.GetMessageNonBlocking(msg);
        if (rc == 0) rWindow.RequestTick();
        return rc;
    }
    unsigned PutMessage(const uint8_t* msg) override { return rCapi.PutMessage(msg); }
    uint32_t ApplId() const override { return rCapi.dwApplId; }
    bool LineFailed(unsigned code) override { return rLine.ReportFailure(code); }

private:
    CapiBase& rCapi;
    TCapiLine& rLine;
    TMainWindow& rWindow;
};

} // namespace

TMainWindow::TMainWindow(const char* capiLibrary)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      capi(capiLibrary ? capiLibrary : CapiBase::kDefaultLibrary), line(capi) {
    setWindowTitle(QStringLiteral("ISDN Monitor"));
    // Never shown, but dialogs it owns centre on it: give it the screen's working area so
    // they open centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    TelefonRot = cb::TelefonRotIcon();
    TelefonWeiss = cb::TelefonWeissIcon();
    TelefonGetrennt = cb::TelefonGetrenntIcon();

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

    // The timer stays for what has no descriptor to watch (a library without one).
    CAPITimer.setInterval(1000);
    connect(&CAPITimer, &QTimer::timeout, this, &TMainWindow::CAPITimerTimer);
    connect(&line, &TCapiLine::MessageWaiting, this, &TMainWindow::RequestTick);
    connect(&line, &TCapiLine::StateChanged, this, &TMainWindow::LineStateChanged);
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
    // A table that is there but unusable ends start-up with a box saying why, untouched.
    if (!CheckTablesAtStartUp()) {
        RequestQuit();
        return;
    }
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
    SetOwnAreaCode(sOrtsvorwahl);
    trayIcon.SetIcon(TelefonWeiss);
    trayIcon.Show();
    // A router's call monitor replaces the ISDN line: CAPI is then not used at all.
    const bool routerLine = UseRouterCallMonitor();
    if (!routerLine && !CapiStartUp(capi)) {
        RequestQuit();
        return;
    }
    SyncMailSlots();
    CAPITimer.start();
    iCallCount = 0;
    if (routerLine)
        StartRouterLine();
    else
        line.Start();
    UpdateTrayHint();
}

void TMainWindow::FormDestroy() {
    if (bDestroyed) return;
    bDestroyed = true;
    CAPITimer.stop();
    line.Stop();
    delete pRouterLine;
    pRouterLine = nullptr;
    CapiShutdown(capi);
    std::exception_ptr saveError;
    try {
        SaveSettings();
    } catch (...) {
        saveError = std::current_exception();
    }
    delete pMailNotifier;
    pMailNotifier = nullptr;
    delete monitor.pMailClient;
    monitor.pMailClient = nullptr;
    delete monitor.pMailServer;
    monitor.pMailServer = nullptr;
    if (saveError) std::rethrow_exception(saveError);
}

void TMainWindow::UpdateTrayHint() {
    if (!sLineHint.isEmpty()) {
        trayIcon.SetHint(sLineHint);
        cb::Trace("hint " + sLineHint.toStdString());
        return;
    }
    QString hint = QStringLiteral("CallBeacon");
    if (iCallCount != 0)
        hint += QStringLiteral(" %1%2")
                    .arg(iCallCount)
                    .arg(iCallCount == 1 ? QStringLiteral(" Anruf") : QStringLiteral(" Anrufe"));
    trayIcon.SetHint(hint);
    cb::Trace("hint " + hint.toStdString());
}

void TMainWindow::ResetTray() {
    StopBlinking();
    ShowWhiteIcon();
    monitor.bAllSeen = true;
    iCallCount = 0;
    // Acknowledging also clears the note that the line came back; a lost line stays shown.
    if (!LineLost()) sLineHint.clear();
    UpdateTrayHint();
}

void TMainWindow::SyncMailSlots() {
    SetMailBroadcastAddresses(sBroadcast);
    TMailClient* before = monitor.pMailClient;
    monitor.SyncMailSlots(kSlotName);
    if (monitor.pMailClient != before || !monitor.pMailClient) {
        delete pMailNotifier;
        pMailNotifier = nullptr;
    }
    WatchMailClient();
}

void TMainWindow::WatchMailClient() {
    if (pMailNotifier || !monitor.pMailClient || monitor.pMailClient->hSlot < 0) return;
#ifndef _WIN32
    pMailNotifier = new QSocketNotifier(monitor.pMailClient->hSlot, QSocketNotifier::Read, this);
    connect(pMailNotifier, &QSocketNotifier::activated, this, [this] {
        pMailNotifier->setEnabled(false); // until the tick has read
        RequestTick();
    });
#endif
}

void TMainWindow::RequestTick() {
    if (bTickPosted) return;
    bTickPosted = true;
    QMetaObject::invokeMethod(this, &TMainWindow::RunTick, Qt::QueuedConnection);
}

void TMainWindow::RunTick() {
    bTickPosted = false;
    if (bDestroyed) return;
    // Watched again from here on: a nested tick may take what arrives while this one waits.
    line.Rearm();
    if (pMailNotifier) pMailNotifier->setEnabled(true);
    CapiPort port(capi, line, *this);
    monitor.CAPITimerTick(*this, capi.bRegistered ? &port : nullptr);
    if (!bDestroyed) RunRouterCall();
}

void TMainWindow::StartRouterLine() {
    pRouterLine = new TRouterLine(this);
    connect(pRouterLine, &TRouterLine::CallWaiting, this, &TMainWindow::RequestTick);
    connect(pRouterLine, &TRouterLine::StateChanged, this, &TMainWindow::LineStateChanged);
    pRouterLine->Start(QString::fromStdString(sLeitungAdresse), iLeitungPort);
}

// One event of the router's call monitor per tick. The next one gets a tick of its own,
// which also runs while this one's pop-up is open.
void TMainWindow::RunRouterCall() {
    CCallMonitorReader::Call call;
    if (!pRouterLine || !pRouterLine->TakeCall(call)) return;
    if (pRouterLine->HasCalls()) RequestTick();
    switch (call.event.kind) {
    case CallMonitorEvent::Kind::Ring:
        // Nothing to alert on this line: the ring goes straight to the steps after the alert.
        monitor.HandleIncomingCall(*this, call.dwCallId, call.event.sCalling, call.event.sCalled,
                                   cb::CurrentUnixTime());
        break;
    case CallMonitorEvent::Kind::Connect: // a telephone took the call
        monitor.MarkAnsweredElsewhere(call.dwCallId);
        break;
    case CallMonitorEvent::Kind::Disconnect:
        break;
    }
}

bool TMainWindow::LineLost() const {
    return line.LineState() == TCapiLine::State::Lost ||
           (pRouterLine && pRouterLine->LineState() == TRouterLine::State::Lost);
}

void TMainWindow::LineStateChanged(TCapiLine::State state, const QString& detail) {
    if (state == TCapiLine::State::Lost) {
        cb::Trace("line lost: " + detail.toStdString());
        sLineHint =
            pRouterLine
                ? QStringLiteral("CallBeacon - keine Verbindung zum Anrufmonitor des Routers")
                : QStringLiteral("CallBeacon - keine Verbindung zur ISDN-Leitung");
        StopBlinking();
        trayIcon.SetIcon(TelefonGetrennt);
    } else {
        cb::Trace("line back: " + detail.toStdString());
        sLineHint =
            pRouterLine
                ? QStringLiteral(
                      "CallBeacon - Verbindung zum Anrufmonitor des Routers wiederhergestellt")
                : QStringLiteral("CallBeacon - Verbindung zur ISDN-Leitung wiederhergestellt");
        trayIcon.SetIcon(TelefonWeiss);
    }
    UpdateTrayHint();
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
    SetOwnAreaCode(sOrtsvorwahl);
    SyncMailSlots();
    // A new address or port applies at once; the kind of line at the next start.
    if (pRouterLine) pRouterLine->Retarget(QString::fromStdString(sLeitungAdresse), iLeitungPort);
}

void TMainWindow::Hilfe1Click() {
    cb::ShowHelp(cb::HelpContents);
}

void TMainWindow::MPunktInfoClick() {
    auto* dialog = new TDlgInfo(this);
    dialog->exec();
    delete dialog;
}

void TMainWindow::MPunktBeendenClick() {
    QCoreApplication::quit();
}

void TMainWindow::TrayIconClick() {
    ResetTray();
}

void TMainWindow::CAPITimerTimer() {
    RequestTick();
}

void TMainWindow::StartBlinking() {
    trayIcon.SetAnimate(true);
    cb::Trace("icon blinking");
}
void TMainWindow::StopBlinking() {
    trayIcon.SetAnimate(false);
}
void TMainWindow::ShowRedIcon() {
    trayIcon.SetIcon(TelefonRot);
    cb::Trace("icon red");
}
void TMainWindow::ShowWhiteIcon() {
    trayIcon.SetIcon(LineLost() ? TelefonGetrennt : TelefonWeiss);
}

int TMainWindow::ShowCallerPopup(const tAnruf& anruf) {
    if (iOpenPopups >= kMaxOpenPopups) {
        // Nested modal loops must stay few: the newest pop-up shows this call instead. It was
        // not acknowledged by a click, so the tray keeps signalling.
        if (!pNewestPopup || !pNewestPopup->isVisible()) {
            cb::Trace("popup skipped " + TDlgDetail::TraceText(anruf).toStdString());
            return 0;
        }
        cb::Trace("popup " + TDlgDetail::TraceText(anruf).toStdString());
        pNewestPopup->ShowAnotherCall(anruf);
        return 0;
    }
    cb::Trace("popup " + TDlgDetail::TraceText(anruf).toStdString());
    auto* popup = new TDlgDetail(this);
    popup->SetRecord(anruf, true);
    TDlgDetail* const outer = pNewestPopup;
    pNewestPopup = popup;
    ++iOpenPopups;
    popup->exec();
    --iOpenPopups;
    pNewestPopup = outer; // modal loops end innermost first
    const int tag = popup->Tag();
    delete popup;
    cb::Trace("popup closed " + std::to_string(tag));
    return tag;
}

void TMainWindow::CountCall() {
    ++iCallCount;
    // The note that the line came back has served once a call has come through.
    if (!LineLost()) sLineHint.clear();
    UpdateTrayHint();
}
