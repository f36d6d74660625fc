// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallTick.h"
#include "app/CapiLine.h"
#include "app/RouterLine.h"
#include "app/TrayIcon.h"
#include "capi/CapiBase.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <memory>

class QAction;
class QMenu;
class QSocketNotifier;
class TDlgDetail;

// The hidden main window: owns the CAPI access and the watch on its line, the call state
// with its tick, the polling timer, the tray icon with its menu and the network objects. It
// is never shown; the user meets it as the tray icon.
//
// Ticks never run inside the slot of the timer or of a descriptor watch: those only post a
// tick. A posted tick that opens a modal pop-up or box leaves the timer and the watches
// free, so further ticks run inside its modal loop.
class TMainWindow : public QWidget, public ICallView {
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
    void SyncMailSlots();

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
    TTrayIcon& TrayIcon() { return trayIcon; }
    QMenu* TrayMenu() const { return pTrayMenu; }
    QTimer& Timer() { return CAPITimer; }
    CapiBase& Capi() { return capi; }
    TCallMonitor& Monitor() { return monitor; }
    TCapiLine& Line() { return line; }
    // The router's call monitor, present only when [Leitung] Art says so.
    TRouterLine* RouterLine() const { return pRouterLine; }
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
    void MoreWaiting() override { RequestTick(); }
    void CountCall() override;

private:
    void RequestQuit();
    void RunTick();
    void LineStateChanged(TCapiLine::State state, const QString& detail);
    void StartRouterLine();
    void RunRouterCall();
    bool LineLost() const;
    void WatchMailClient();

    CapiBase capi;
    TCapiLine line;
    TRouterLine* pRouterLine = nullptr; // instead of the CAPI line, when Art=Anrufmonitor
    TCallMonitor monitor;
    QSocketNotifier* pMailNotifier = nullptr;
    bool bTickPosted = false;
    int iOpenPopups = 0;
    TDlgDetail* pNewestPopup = nullptr;
    QString sLineHint; // replaces the hint while the line is lost or just came back
    int32_t iCallCount = 0;
    QIcon TelefonRot;
    QIcon TelefonWeiss;
    QIcon TelefonGetrennt;
    TTrayIcon trayIcon;
    QMenu* pTrayMenu = nullptr;
    QTimer CAPITimer;
    bool bQuitRequested = false;
    bool bDestroyed = false;
};
