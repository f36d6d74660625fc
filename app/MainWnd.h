// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallTick.h"
#include "app/TrayIcon.h"
#include "capi/CapiBase.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <memory>

class QAction;
class QMenu;

// The hidden main window: owns the CAPI access, the polling timer, the tray icon with its
// menu and the network objects. It is never shown; the user meets it as the tray icon.
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

    int CallCount() const { return iCallCount; }
    TTrayIcon& TrayIcon() { return trayIcon; }
    QMenu* TrayMenu() const { return pTrayMenu; }
    QTimer& Timer() { return CAPITimer; }
    CapiBase& Capi() { return capi; }

    // ICallView
    void StartBlinking() override;
    void StopBlinking() override;
    void ShowRedIcon() override;
    void ShowWhiteIcon() override;
    int ShowCallerPopup(const tAnruf& anruf) override;
    void CountCall() override;

private:
    void RequestQuit();

    CapiBase capi;
    int32_t iCallCount = 0;
    QIcon TelefonRot;
    QIcon TelefonWeiss;
    TTrayIcon trayIcon;
    QMenu* pTrayMenu = nullptr;
    QTimer CAPITimer;
    bool bQuitRequested = false;
    bool bDestroyed = false;
};
