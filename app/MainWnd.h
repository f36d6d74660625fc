// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Announcements.h"
#include "app/CallLine.h"
#include "app/CallListeners.h"
#include "app/CallPipeline.h"
#include "app/DesktopNotifier.h"
#include "app/MqttPublisher.h"
#include "app/TrayIcon.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <memory>
#include <string>

class QAction;
class TServerAddressBook;
class QMenu;
class QSocketNotifier;
class TDlgDetail;

// The hidden main window: owns the one line it watches, the announcements received from the
// network, the path every call takes with its listeners, the polling timer and the tray icon
// with its menu. It is never shown; the user meets it as the tray icon.
//
// Ticks never run inside the slot of the timer or of a descriptor watch: those only post a
// tick. A posted tick that opens a modal pop-up or box leaves the timer and the watches
// free, so further ticks run inside its modal loop.
class TMainWindow : public QWidget, public ICallView, public ICallActions {
    Q_OBJECT
public:
    explicit TMainWindow(const char* capiLibrary = nullptr);
    ~TMainWindow() override;

    // Start-up sequence; afterwards QuitRequested() tells whether start-up asked to quit.
    void FormCreate();
    // Shutdown sequence (once). Throws the settings file's write error after finishing the
    // rest of the shutdown, so the caller can show it.
    void FormDestroy();
    bool QuitRequested() const { return bQuitRequested; }

    void UpdateTrayHint();
    void ResetTray();

    // Menu commands.
    void MPunktAnruferClick();
    void MPunktTelefonbuchClick();
    void MPunktParameterClick();
    void Hilfe1Click();
    void MPunktInfoClick();
    void MPunktBeendenClick();
    void TrayIconClick();
    void CAPITimerTimer();
    // Posts one tick unless one is already waiting to run.
    void RequestTick();

    int CallCount() const { return iCallCount; }
    int MissedCount() const { return iMissedCount; }
    TDesktopNotifier& Notifier() { return *pNotifier; }
    TTrayIcon& TrayIcon() { return trayIcon; }
    QMenu* TrayMenu() const { return pTrayMenu; }
    QTimer& Timer() { return CAPITimer; }
    // The line watched now; null before start-up and after shutdown.
    TCallLine* Line() const { return pLine.get(); }
    TCallPipeline& Pipeline() { return pipeline; }
    const TAnnouncementReceiver& Receiver() const { return receiver; }
    const TAnnouncementSender& Sender() const { return *pSender; }
    const TMqttPublisher& Mqtt() const { return *pMqtt; }
    bool AllSeen() const { return acknowledgement.bAllSeen; }
    int OpenPopups() const { return iOpenPopups; }
    // At most this many pop-ups are open at once; beyond it the newest open one shows the
    // next call instead (a flood of announcements must not pile up modal loops).
    static constexpr int kMaxOpenPopups = 8;

    // ICallView
    void StartBlinking() override;
    void StopBlinking() override;
    void ShowRedIcon() override;
    void ShowWhiteIcon() override;
    int ShowCallerPopup(const tAnruf& anruf) override;
    void CountCall() override;
    void CountMissedCall() override;

    // ICallActions: what a call's notification opens.
    void ShowCallHistory() override;
    void EnterInPhoneBook(const std::string& calling, const std::string& called) override;

private:
    void RequestQuit();
    void RunTick();
    void Dispatch(std::vector<CallEvent>& events);
    bool StartLine(bool atStartUp);
    void StopLine();
    void SettingsChanged();
    void LineStateChanged(TCallLine::State state, TCallLine::State before, const QString& detail);
    bool LineLost() const;
    // The line has nothing to watch (none set up, none found) and says so.
    bool NoLine() const;
    void ShowNoLine();
    void WatchReceiver();

    std::string sCapiLibrary;
    std::unique_ptr<TCallLine> pLine;
    std::unique_ptr<TServerAddressBook> pAddressBook; // names from a CardDAV server
    std::string sLineArt;                             // the kind pLine was made for
    TCallPipeline pipeline;
    TAcknowledgement acknowledgement;
    std::shared_ptr<TAnnouncementSender> pSender;
    std::shared_ptr<TDesktopNotifier> pNotifier;
    std::shared_ptr<TMqttPublisher> pMqtt;
    TAnnouncementReceiver receiver;
    int iReceiverFd = -1;
    QSocketNotifier* pReceiverNotifier = nullptr;
    int iSettingsWatch = 0;
    bool bTickPosted = false;
    int iOpenPopups = 0;
    TDlgDetail* pNewestPopup = nullptr;
    QString sLineHint; // replaces the hint while the line is lost or just came back
    int32_t iCallCount = 0;
    int32_t iMissedCount = 0; // of iCallCount, those missed
    QIcon TelefonRot;
    QIcon TelefonWeiss;
    QIcon TelefonGetrennt;
    TTrayIcon trayIcon;
    QMenu* pTrayMenu = nullptr;
    QTimer CAPITimer;
    bool bQuitRequested = false;
    bool bDestroyed = false;
};
