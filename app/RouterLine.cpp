// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RouterLine.h"

#include "core/Settings.h"
#include "platform/Clock.h"
#include "platform/LineSocket.h"
#include "platform/Trace.h"

#include <QTcpSocket>

namespace {
constexpr quint16 kDefaultPort = 1012;
// Read per wake-up; what is left is read at the next one, so a flood cannot hold the GUI.
constexpr qint64 kReadChunk = 64 * 1024;
} // namespace

TRouterLine::TRouterLine(QObject* parent) : TCallLine(parent) {
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(kRetryIntervalMs);
    connect(&retryTimer, &QTimer::timeout, this, &TRouterLine::Connect);
    connectTimer.setSingleShot(true);
    connectTimer.setInterval(kConnectTimeoutMs);
    connect(&connectTimer, &QTimer::timeout, this,
            [this] { Failed(QStringLiteral("%1 antwortet nicht").arg(Target())); });
}

TRouterLine::~TRouterLine() {
    Stop();
}

QString TRouterLine::Target() const {
    return QStringLiteral("%1:%2").arg(sHost).arg(wPort);
}

bool TRouterLine::Start(bool atStartUp) {
    (void)atStartUp; // a router that does not answer is tried again, at start-up too
    StartAt(QString::fromStdString(sLeitungAdresse), iLeitungPort);
    return true;
}

void TRouterLine::OnSettingsChanged() {
    Retarget(QString::fromStdString(sLeitungAdresse), iLeitungPort);
}

QString TRouterLine::LostHint() const {
    return QStringLiteral("CallBeacon - keine Verbindung zum Anrufmonitor des Routers");
}

QString TRouterLine::BackHint() const {
    return QStringLiteral("CallBeacon - Verbindung zum Anrufmonitor des Routers wiederhergestellt");
}

void TRouterLine::StartAt(const QString& host, int port) {
    Stop();
    sHost = host.trimmed();
    wPort = port >= 1 && port <= 65535 ? static_cast<quint16>(port) : kDefaultPort;
    bStopped = false;
    // A lost line stays shown as lost until the new target answers.
    bEverConnected = false;
    Connect();
}

void TRouterLine::Retarget(const QString& host, int port) {
    const quint16 wanted = port >= 1 && port <= 65535 ? static_cast<quint16>(port) : kDefaultPort;
    if (host.trimmed() != sHost || wanted != wPort) StartAt(host, port);
}

void TRouterLine::Stop() {
    bStopped = true;
    retryTimer.stop();
    connectTimer.stop();
    if (pSocket) {
        pSocket->disconnect(this);
        pSocket->abort();
        pSocket->deleteLater();
        pSocket = nullptr;
    }
}

void TRouterLine::Connect() {
    if (bStopped) return;
    if (pSocket) {
        pSocket->disconnect(this);
        pSocket->abort();
        pSocket->deleteLater();
    }
    pSocket = new QTcpSocket(this);
    pSocket->setReadBufferSize(kReadChunk);
    QTcpSocket* socket = pSocket;
    connect(socket, &QTcpSocket::connected, this, &TRouterLine::Connected);
    connect(socket, &QTcpSocket::readyRead, this, &TRouterLine::ReadLines);
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
        if (socket != pSocket) return;
        ReadLines(); // what came before the end still counts
        Failed(QStringLiteral("%1: %2").arg(Target(), socket->errorString()));
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket != pSocket) return;
        ReadLines();
        Failed(QStringLiteral("%1 hat die Verbindung beendet").arg(Target()));
    });
    reader.NewConnection();
    connectTimer.start();
    if (sHost.isEmpty()) {
        // No address: nothing to try, but the state shows it and later attempts repeat it.
        QMetaObject::invokeMethod(
            this,
            [this, socket] {
                if (socket == pSocket) Failed(QStringLiteral("keine Adresse eingestellt"));
            },
            Qt::QueuedConnection);
        return;
    }
    socket->connectToHost(sHost, wPort);
}

void TRouterLine::Connected() {
    connectTimer.stop();
    pSocket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    cb::TuneLineSocket(static_cast<int>(pSocket->socketDescriptor()));
    if (!bEverConnected) cb::Trace("call monitor connected " + Target().toStdString());
    bEverConnected = true;
    SetState(State::Connected, QStringLiteral("verbunden mit %1").arg(Target()));
}

void TRouterLine::Failed(const QString& detail) {
    if (bStopped || !pSocket) return;
    connectTimer.stop();
    QTcpSocket* socket = pSocket;
    pSocket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    SetState(State::Lost, detail);
    if (!bStopped) retryTimer.start();
}

void TRouterLine::ReadLines() {
    if (!pSocket) return;
    std::vector<CCallMonitorReader::Call> calls;
    char buffer[4096];
    qint64 total = 0;
    while (total < kReadChunk) {
        const qint64 n = pSocket->read(buffer, sizeof buffer);
        if (n <= 0) break;
        total += n;
        reader.Feed(buffer, static_cast<size_t>(n), calls);
    }
    // Not all read: come back through the event loop rather than holding it.
    if (pSocket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &TRouterLine::ReadLines, Qt::QueuedConnection);
    if (calls.empty()) return;
    size_t dropped = 0;
    for (auto& call : calls) {
        if (aQueue.size() >= kMaxQueuedCalls) {
            ++dropped;
            continue;
        }
        aQueue.push_back(std::move(call));
    }
    if (dropped)
        cb::Trace("call monitor: " + std::to_string(dropped) + " events dropped (queue full)");
    emit EventsWaiting();
}

// One event of the call monitor per tick. The next one gets a tick of its own, which also
// runs while this one's pop-up is open.
void TRouterLine::TakeEvents(std::vector<CallEvent>& out) {
    if (aQueue.empty()) return;
    const CCallMonitorReader::Call call = std::move(aQueue.front());
    aQueue.pop_front();
    if (!aQueue.empty()) emit EventsWaiting();
    CallEvent event;
    event.line = CallLineKind::Router;
    event.callId = call.dwCallId;
    event.time = cb::CurrentUnixTime();
    switch (call.event.kind) {
    case CallMonitorEvent::Kind::Ring:
        // Nothing to alert on this line: the router rings the telephones itself.
        event.kind = CallEventKind::Ringing;
        event.calling = call.event.sCalling;
        event.called = call.event.sCalled;
        break;
    case CallMonitorEvent::Kind::Connect: // a telephone took the call
        event.kind = CallEventKind::AnsweredElsewhere;
        event.device = call.event.sExtension;
        break;
    case CallMonitorEvent::Kind::Disconnect:
        event.kind = CallEventKind::Ended;
        event.durationSeconds = call.event.iSeconds;
        break;
    }
    out.push_back(std::move(event));
}
