// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallListener.h"
#include "app/CallNotice.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// What the actions of a call's notification open; the main window does it, so that the
// notifications need no dialogs.
class ICallActions {
public:
    virtual ~ICallActions() = default;
    // The call history ("Anrufliste").
    virtual void ShowCallHistory() = 0;
    // The phone-book entry editor with the caller's number filled in ("Ins Telefonbuch").
    virtual void EnterInPhoneBook(const std::string& calling, const std::string& called) = 0;
};

// Calls as desktop notifications (org.freedesktop.Notifications on the session bus), when
// [Anruf] Anzeige asks for them: one notification per call, replaced in place when another
// telephone answers and when the call is missed; a missed call's notification stays until the
// user acts. Every call to the server is asynchronous, so a slow or hung server never holds up
// the line. Without a server on the bus the pop-up shows calls, and the trace says so once.
class TDesktopNotifier : public QObject, public ICallListener {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    // Notifications remembered for replacing and for their actions; older ones are let go.
    static constexpr size_t kMaxNotices = 64;

    explicit TDesktopNotifier(ICallActions& actions);
    ~TDesktopNotifier() override;

    const char* ListenerName() const override { return "notifications"; }
    void OnCallEvent(const CallEvent& event) override;
    void OnSettingsChanged() override;

    // The setting asks for notifications only and a server is on the bus: the pop-up stays
    // closed. Asks the bus each time, so a server that came or went is seen at the next call.
    bool ReplacesPopup();
    // Whether a notification server is on the session bus now (traces once when there is none).
    bool ServicePresent();

    // For tests and measurements: Notify calls sent, and replies taken.
    uint64_t NotifySent() const { return nSent; }
    uint64_t RepliesTaken() const { return nReplies; }
    const QStringList& Capabilities() const { return aCapabilities; }

signals:
    // A Notify reply arrived: the server shows notification `id`.
    void Shown(uint id);

private slots:
    void OnActionInvoked(uint id, const QString& key);
    void OnNotificationClosed(uint id, uint reason);

private:
    struct Notice {
        uint64_t serial = 0; // ours, to find the notice again when its reply comes
        CallLineKind line = CallLineKind::Isdn;
        uint32_t callId = 0;
        bool live = false; // its call has not ended yet
        bool answered = false;
        uint id = 0; // the server's; 0 until the reply came or after it was closed
        bool waiting = false;
        std::optional<TCallNotice> queued; // sent once the id is known
        bool stays = false;
        std::string calling, called;
    };

    bool Wanted() const;
    void Connect();
    void Disconnect();
    void AskCapabilities();
    void AskCapabilitiesNow();
    void Send(Notice& notice, const TCallNotice& content);
    void TakeReply(uint64_t serial, QDBusPendingCallWatcher* watcher);
    Notice* FindLive(CallLineKind line, uint32_t callId);
    Notice* FindShown(uint id);
    Notice* FindSerial(uint64_t serial);
    void Close(uint id);
    void ForgetShown();

    ICallActions& rActions;
    std::optional<QDBusConnection> bus;
    QDBusServiceWatcher* pWatcher = nullptr;
    QStringList aCapabilities;
    bool bCapabilitiesKnown = false;
    bool bAbsenceTraced = false;
    std::deque<Notice> aNotices;
    uint64_t nNextSerial = 1;
    uint64_t nSent = 0;
    uint64_t nReplies = 0;
};
