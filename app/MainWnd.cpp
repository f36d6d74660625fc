// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWnd.h"

#include "app/ActionListeners.h"
#include "app/LineFactory.h"
#include "app/Passwords.h"
#include "app/ServerAddressBook.h"
#include "capi/CapiBase.h"
#include "core/Settings.h"
#include "db/Conversion.h"
#include "db/NumberMatch.h"
#include "db/TableErrors.h"
#include "platform/Clock.h"
#include "platform/HelpViewer.h"
#include "platform/Trace.h"
#include "ui/ActionsPage.h"
#include "ui/Anrufer.h"
#include "ui/DBUpdate.h"
#include "ui/Detail.h"
#include "ui/Editor.h"
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
// The slot every workstation of the program announces on.
const char* const kSlotName = "DEDOV";
} // namespace

TMainWindow::TMainWindow(const char* capiLibrary)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      sCapiLibrary(capiLibrary ? capiLibrary : CapiBase::kDefaultLibrary),
      pSender(std::make_shared<TAnnouncementSender>(kSlotName, InitialMessageSequence())),
      pNotifier(std::make_shared<TDesktopNotifier>(*this)),
      pMqtt(std::make_shared<TMqttPublisher>()), receiver(kSlotName) {
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

    // Every call takes these steps, in this order: announced to the network, handed to the
    // broker, the webhook and the command, written to the call log, shown in the tray, sent as
    // a desktop notification, shown in the pop-up, counted. The notification goes before the
    // pop-up: the pop-up's modal loop lasts its seconds, and the call's later events
    // (answered, missed) run inside it.
    pipeline.Add(pSender);
    // The actions to the outside world come before the call log and the modal pop-up, so that
    // neither holds them up.
    pipeline.Add(pMqtt);
    pipeline.Add(std::make_shared<TWebhookListener>());
    pipeline.Add(std::make_shared<TCommandListener>());
    // With [Netzwerk] Weg=MQTT the announcements go through the broker both ways.
    pSender->SetBrokerChannel(
        [mqtt = pMqtt.get()](const std::string& slot, const std::string& bytes) {
            mqtt->PublishAnnouncement(slot, bytes);
        });
    pMqtt->SetAnnouncementHandler([this](const std::string& bytes) {
        receiver.TakeDatagram(bytes);
        RequestTick();
    });
    TActionsPage::SetStatusSource([mqtt = std::weak_ptr<TMqttPublisher>(pMqtt)] {
        const auto alive = mqtt.lock();
        return alive ? alive->StateText() : QString();
    });
    pipeline.Add(std::make_shared<TCallLogListener>());
    pipeline.Add(std::make_shared<TTrayAlertListener>(*this));
    pipeline.Add(pNotifier);
    pipeline.Add(std::make_shared<TPopupListener>(*this, acknowledgement,
                                                  [this] { return pNotifier->ReplacesPopup(); }));
    pipeline.Add(std::make_shared<TCallCountListener>(*this));
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
    TakeUpPasswords();
    trayIcon.SetIcon(TelefonWeiss);
    trayIcon.Show();
    if (!StartLine(true)) {
        RequestQuit();
        return;
    }
    pipeline.SettingsChanged();
    receiver.SettingsChanged();
    WatchReceiver();
    // The copy lives in the data folder, the current directory.
    pAddressBook = std::make_unique<TServerAddressBook>(QString::fromLatin1(kCardDavCacheFile));
    pAddressBook->ApplySettings();
    iSettingsWatch = WatchSettings([this] { SettingsChanged(); });
    CAPITimer.start();
    iCallCount = 0;
    iMissedCount = 0;
    UpdateTrayHint();
}

bool TMainWindow::StartLine(bool atStartUp) {
    pLine = MakeCallLine(sCapiLibrary.c_str());
    sLineArt = ConfiguredLineArt();
    connect(pLine.get(), &TCallLine::EventsWaiting, this, &TMainWindow::RequestTick);
    connect(pLine.get(), &TCallLine::StateChanged, this, &TMainWindow::LineStateChanged);
    if (!pLine->Start(atStartUp)) return false;
    if (pLine->LineState() == TCallLine::State::None) ShowNoLine();
    return true;
}

// A line with nothing to watch says so in the tray (greyed) and once in the trace.
void TMainWindow::ShowNoLine() {
    sLineHint = pLine->NoneHint();
    if (sLineHint.isEmpty()) return;
    cb::Trace("line none: " + sLineHint.toStdString());
    StopBlinking();
    trayIcon.SetIcon(TelefonGetrennt);
}

void TMainWindow::StopLine() {
    if (!pLine) return;
    pLine->disconnect(this);
    pLine->Stop();
    pLine.reset();
}

// The settings dialog was closed with OK: each part takes up what concerns it.
void TMainWindow::SettingsChanged() {
    if (bDestroyed) return;
    SetOwnAreaCode(sOrtsvorwahl);
    pipeline.SettingsChanged();
    receiver.SettingsChanged();
    WatchReceiver();
    if (pAddressBook) pAddressBook->ApplySettings(true);
    if (pLine && ConfiguredLineArt() == sLineArt) {
        pLine->OnSettingsChanged();
        return;
    }
    // Another kind of line: the old one is let go and the new one started at once.
    cb::Trace("line switched to " + ConfiguredLineArt());
    StopLine();
    sLineHint.clear();
    StopBlinking();
    trayIcon.SetIcon(TelefonWeiss);
    StartLine(false);
    UpdateTrayHint();
    RequestTick();
}

void TMainWindow::FormDestroy() {
    if (bDestroyed) return;
    bDestroyed = true;
    CAPITimer.stop();
    if (iSettingsWatch) UnwatchSettings(iSettingsWatch);
    iSettingsWatch = 0;
    StopLine();
    std::exception_ptr saveError;
    try {
        KeepPasswords();
        SaveSettings();
    } catch (...) {
        saveError = std::current_exception();
    }
    delete pReceiverNotifier;
    pReceiverNotifier = nullptr;
    pSender->Close();
    receiver.Close();
    pMqtt->Stop();
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
    if (iMissedCount != 0) hint += QStringLiteral(", %1 verpasst").arg(iMissedCount);
    trayIcon.SetHint(hint);
    cb::Trace("hint " + hint.toStdString());
}

void TMainWindow::ResetTray() {
    StopBlinking();
    ShowWhiteIcon();
    acknowledgement.bAllSeen = true;
    iCallCount = 0;
    iMissedCount = 0;
    // Acknowledging also clears the note that the line came back; a lost line, or none at
    // all, stays shown.
    if (NoLine())
        sLineHint = pLine->NoneHint();
    else if (!LineLost())
        sLineHint.clear();
    UpdateTrayHint();
}

// The announcement socket is watched, so that an announcement is shown at once.
void TMainWindow::WatchReceiver() {
    const int fd = receiver.Descriptor();
    if (fd == iReceiverFd) return;
    delete pReceiverNotifier;
    pReceiverNotifier = nullptr;
    iReceiverFd = fd;
    if (fd < 0) return;
    pReceiverNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(pReceiverNotifier, &QSocketNotifier::activated, this, [this] {
        pReceiverNotifier->setEnabled(false); // until the tick has read
        RequestTick();
    });
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
    if (pLine) pLine->Rearm();
    if (pReceiverNotifier) pReceiverNotifier->setEnabled(true);
    std::vector<CallEvent> events;
    // Announcements first, then what waits on the line: one of each per tick.
    if (receiver.TakeEvents(events)) RequestTick();
    Dispatch(events);
    if (bDestroyed || !pLine) return;
    // The line is held for the dispatch: a nested tick's settings change may replace it.
    pLine->TakeEvents(events);
    Dispatch(events);
}

void TMainWindow::Dispatch(std::vector<CallEvent>& events) {
    std::vector<CallEvent> taken;
    taken.swap(events);
    for (CallEvent& event : taken) {
        if (bDestroyed) return;
        pipeline.Dispatch(std::move(event));
    }
}

bool TMainWindow::LineLost() const {
    return pLine && pLine->LineState() == TCallLine::State::Lost;
}

bool TMainWindow::NoLine() const {
    return pLine && pLine->LineState() == TCallLine::State::None && !pLine->NoneHint().isEmpty();
}

void TMainWindow::LineStateChanged(TCallLine::State state, TCallLine::State before,
                                   const QString& detail) {
    if (!pLine) return;
    switch (state) {
    case TCallLine::State::Lost:
        cb::Trace("line lost: " + detail.toStdString());
        sLineHint = pLine->LostHint();
        StopBlinking();
        trayIcon.SetIcon(TelefonGetrennt);
        break;
    case TCallLine::State::Connected:
        if (before == TCallLine::State::Lost) {
            cb::Trace("line back: " + detail.toStdString());
            sLineHint = pLine->BackHint();
        } else {
            sLineHint.clear();
        }
        trayIcon.SetIcon(TelefonWeiss);
        break;
    case TCallLine::State::None:
        trayIcon.SetIcon(TelefonWeiss);
        ShowNoLine();
        break;
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
    dialog->exec(); // its OK announces the new settings
    delete dialog;
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
    trayIcon.SetIcon(LineLost() || NoLine() ? TelefonGetrennt : TelefonWeiss);
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

void TMainWindow::CountMissedCall() {
    ++iMissedCount;
    UpdateTrayHint();
}

void TMainWindow::ShowCallHistory() {
    if (bDestroyed) return;
    cb::Trace("dialog Anrufer");
    MPunktAnruferClick();
}

void TMainWindow::EnterInPhoneBook(const std::string& calling, const std::string& called) {
    if (bDestroyed) return;
    // Looked up again: the entry may have been made since the call.
    tAnruf anruf;
    const bool known = LookupCaller(anruf, calling, called, true);
    // An unknown caller's name is their number; the name field starts empty instead.
    if (!known) anruf.sName.clear();
    cb::Trace("dialog Editor " + anruf.sTelefon);
    TDlgEditor editor(this);
    editor.SetRecord(anruf, !known);
    editor.exec();
    editor.GetRecord(anruf);
    if (anruf.bOk) SaveEntry(anruf);
}
