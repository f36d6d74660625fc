// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopNotifier.h"

#include "core/Settings.h"
#include "platform/Trace.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace {

constexpr const char* kInterface = "org.freedesktop.Notifications";
// A name for the bus connection of its own: the program's other bus users keep theirs.
constexpr const char* kConnectionName = "callbeacon-notifications";
// Action keys; "default" is what most servers invoke on a click on the notification itself.
constexpr const char* kActionHistory = "anrufliste";
constexpr const char* kActionPhoneBook = "telefonbuch";

bool Present(const QDBusConnection& bus) {
    if (!bus.isConnected() || !bus.interface()) return false;
    const QDBusReply<bool> registered =
        bus.interface()->isServiceRegistered(QString::fromLatin1(TDesktopNotifier::kService));
    return registered.isValid() && registered.value();
}

} // namespace

TDesktopNotifier::TDesktopNotifier(ICallActions& actions) : rActions(actions) {}

TDesktopNotifier::~TDesktopNotifier() {
    Disconnect();
}

bool TDesktopNotifier::Wanted() const {
    return ConfiguredCallDisplay() != CallDisplay::Window && bAnruferAnzeigen;
}

void TDesktopNotifier::OnSettingsChanged() {
    // The session bus is only touched when notifications are asked for: a program that shows
    // its pop-up never talks to the desktop's bus.
    if (!Wanted()) {
        Disconnect();
        return;
    }
    if (!bus) Connect();
    AskCapabilities();
}

void TDesktopNotifier::Connect() {
    bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                        QString::fromLatin1(kConnectionName));
    if (!bus->isConnected()) {
        cb::Trace("notifications: no session bus (" + bus->lastError().message().toStdString() +
                  "); the pop-up shows calls");
        bAbsenceTraced = true;
        return;
    }
    const QString service = QString::fromLatin1(kService), path = QString::fromLatin1(kPath),
                  iface = QString::fromLatin1(kInterface);
    bus->connect(service, path, iface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus->connect(service, path, iface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnNotificationClosed(uint, uint)));
    // A server that starts later (or again) is asked what it can do before the next call.
    pWatcher = new QDBusServiceWatcher(service, *bus,
                                       QDBusServiceWatcher::WatchForRegistration |
                                           QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    connect(pWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        ForgetShown();
        AskCapabilities();
    });
    connect(pWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        ForgetShown();
        aCapabilities.clear();
        bCapabilitiesKnown = false;
    });
}

// The server went or came anew: its notifications went with it. Live calls get a new one at
// their next event.
void TDesktopNotifier::ForgetShown() {
    std::deque<Notice> live;
    for (Notice& n : aNotices)
        if (n.live) {
            n.id = 0;
            n.waiting = false;
            n.queued.reset();
            live.push_back(std::move(n));
        }
    aNotices.swap(live);
}

void TDesktopNotifier::Disconnect() {
    if (!bus) return;
    delete pWatcher;
    pWatcher = nullptr;
    bus->disconnect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                    QString::fromLatin1(kInterface), QStringLiteral("ActionInvoked"), this,
                    SLOT(OnActionInvoked(uint, QString)));
    bus->disconnect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                    QString::fromLatin1(kInterface), QStringLiteral("NotificationClosed"), this,
                    SLOT(OnNotificationClosed(uint, uint)));
    bus.reset();
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnectionName));
    aNotices.clear();
    aCapabilities.clear();
    bCapabilitiesKnown = false;
}

void TDesktopNotifier::AskCapabilities() {
    if (!bus || !bus->isConnected() || !Present(*bus)) return;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) return;
        aCapabilities = reply.value();
        bCapabilitiesKnown = true;
    });
}

void TDesktopNotifier::AskCapabilitiesNow() {
    // Asked in advance, at start-up and when a server comes; this is for a call that rings
    // before that answer came. Short, so a hung server costs the line little, and only once.
    constexpr int kTimeoutMs = 500;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QStringLiteral("GetCapabilities"));
    const QDBusReply<QStringList> reply = bus->call(call, QDBus::Block, kTimeoutMs);
    bCapabilitiesKnown = true;
    if (reply.isValid()) aCapabilities = reply.value();
}

bool TDesktopNotifier::ServicePresent() {
    if (!bus) Connect();
    const bool present = Present(*bus);
    if (!present && !bAbsenceTraced)
        cb::Trace("notifications: no notification service on the session bus; the pop-up "
                  "shows calls");
    if (present && bAbsenceTraced) cb::Trace("notifications: notification service found");
    bAbsenceTraced = !present;
    return present;
}

bool TDesktopNotifier::ReplacesPopup() {
    return Wanted() && ConfiguredCallDisplay() == CallDisplay::Notification && ServicePresent();
}

TDesktopNotifier::Notice* TDesktopNotifier::FindLive(CallLineKind line, uint32_t callId) {
    for (auto it = aNotices.rbegin(); it != aNotices.rend(); ++it)
        if (it->live && it->line == line && it->callId == callId) return &*it;
    return nullptr;
}

TDesktopNotifier::Notice* TDesktopNotifier::FindShown(uint id) {
    if (id == 0) return nullptr;
    for (Notice& n : aNotices)
        if (n.id == id) return &n;
    return nullptr;
}

TDesktopNotifier::Notice* TDesktopNotifier::FindSerial(uint64_t serial) {
    for (Notice& n : aNotices)
        if (n.serial == serial) return &n;
    return nullptr;
}

void TDesktopNotifier::OnCallEvent(const CallEvent& event) {
    if (!Wanted()) return;
    if (event.kind == CallEventKind::Ringing) {
        // The same choice as the pop-up's: only callers from the phone book when so set.
        if (!event.known && bBekannte) return;
        if (!ServicePresent()) return;
        if (!bCapabilitiesKnown) AskCapabilitiesNow();
        if (Notice* old = FindLive(event.line, event.callId)) old->live = false;
        if (aNotices.size() >= kMaxNotices) aNotices.pop_front();
        Notice notice;
        notice.serial = nNextSerial++;
        notice.line = event.line;
        notice.callId = event.callId;
        // Announced calls tell nothing more about themselves after the ring.
        notice.live = event.line != CallLineKind::Announced;
        notice.calling = event.calling;
        notice.called = event.called;
        aNotices.push_back(std::move(notice));
        if (const std::optional<TCallNotice> content = NoticeFor(event))
            Send(aNotices.back(), *content);
        return;
    }
    Notice* notice = FindLive(event.line, event.callId);
    if (!notice) return; // not notified: filtered, or shown before the setting changed
    // An unanswered call's end is followed by its Missed event, which the notice waits for.
    if (event.kind == CallEventKind::AnsweredHere || event.kind == CallEventKind::AnsweredElsewhere)
        notice->answered = true;
    if (event.kind == CallEventKind::Missed ||
        (event.kind == CallEventKind::Ended && notice->answered))
        notice->live = false;
    const std::optional<TCallNotice> content = NoticeFor(event);
    if (!content) return;
    if (notice->waiting) {
        // The server has not told its id yet; the newest text goes out once it has.
        notice->queued = content;
        return;
    }
    Send(*notice, *content);
}

void TDesktopNotifier::Send(Notice& notice, const TCallNotice& content) {
    if (!bus || !bus->isConnected()) return;
    const bool markup = aCapabilities.contains(QStringLiteral("body-markup"));
    const std::string body = markup ? EscapeNoticeMarkup(content.body) : content.body;
    QStringList actions;
    if (aCapabilities.contains(QStringLiteral("actions"))) {
        actions << QStringLiteral("default") << QStringLiteral("Anrufliste")
                << QString::fromLatin1(kActionHistory) << QStringLiteral("Anrufliste");
        if (content.hasNumber)
            actions << QString::fromLatin1(kActionPhoneBook) << QStringLiteral("Ins Telefonbuch");
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)); // normal
    hints.insert(QStringLiteral("category"), QString::fromStdString(content.category));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("callbeacon"));
    if (content.stays) hints.insert(QStringLiteral("resident"), true);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    call << QStringLiteral("CallBeacon") << notice.id << QStringLiteral("callbeacon")
         << QString::fromStdString(content.summary) << QString::fromStdString(body) << actions
         << hints
         // 0: shown until the user closes it; -1: as long as the server shows notifications.
         << static_cast<int32_t>(content.stays ? 0 : -1);
    notice.waiting = true;
    notice.stays = content.stays;
    ++nSent;
    auto* watcher = new QDBusPendingCallWatcher(bus->asyncCall(call), this);
    const uint64_t serial = notice.serial;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, serial](QDBusPendingCallWatcher* w) { TakeReply(serial, w); });
}

void TDesktopNotifier::TakeReply(uint64_t serial, QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    ++nReplies;
    const QDBusPendingReply<uint> reply = *watcher;
    Notice* notice = FindSerial(serial);
    if (reply.isError()) {
        cb::Trace("notifications: Notify failed: " + reply.error().message().toStdString());
        if (notice) {
            notice->waiting = false;
            notice->queued.reset();
        }
        return;
    }
    if (!notice) return; // let go meanwhile
    notice->id = reply.value();
    notice->waiting = false;
    cb::Trace("notification " + std::to_string(notice->id));
    emit Shown(notice->id);
    if (notice->queued) {
        const TCallNotice next = std::move(*notice->queued);
        notice->queued.reset();
        Send(*notice, next);
    }
}

void TDesktopNotifier::Close(uint id) {
    if (!bus || !bus->isConnected() || id == 0) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QStringLiteral("CloseNotification"));
    call << id;
    bus->asyncCall(call);
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& key) {
    Notice* notice = FindShown(id);
    if (!notice) return; // another program's notification
    cb::Trace("notification action " + key.toStdString());
    const std::string calling = notice->calling, called = notice->called;
    const bool toPhoneBook = key == QLatin1String(kActionPhoneBook);
    if (!toPhoneBook && key != QLatin1String(kActionHistory) && key != QLatin1String("default"))
        return;
    // The user acted on the call: a missed call's notice has served and goes.
    if (notice->stays && !notice->live) Close(id);
    // The dialogs are modal: they open after this signal was handled, not inside it.
    QMetaObject::invokeMethod(
        this,
        [this, toPhoneBook, calling, called] {
            if (toPhoneBook)
                rActions.EnterInPhoneBook(calling, called);
            else
                rActions.ShowCallHistory();
        },
        Qt::QueuedConnection);
}

void TDesktopNotifier::OnNotificationClosed(uint id, uint /*reason*/) {
    Notice* notice = FindShown(id);
    if (!notice) return;
    // A live call's notice that expired is shown anew by its next event.
    notice->id = 0;
    if (!notice->live)
        for (auto it = aNotices.begin(); it != aNotices.end(); ++it)
            if (&*it == notice) {
                aNotices.erase(it);
                break;
            }
}
