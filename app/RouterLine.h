// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CapiLine.h"
#include "net/CallMonitorParser.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

class QTcpSocket;

// A telephone line reached through a router's call monitor: a TCP connection that the router
// writes one text line per call event to. Nothing here waits: the socket reports what arrives,
// the parsed calls are queued, and the owner's tick takes them one at a time, so that a
// modal pop-up opened for one call never runs inside this object's slots. A connection that
// fails or ends is tried again every 5 s; the state goes through the same Lost and
// Connected as an ISDN line's.
class TRouterLine : public QObject {
    Q_OBJECT
public:
    using State = TCapiLine::State;
    static constexpr int kRetryIntervalMs = 5000;
    // A router that does not answer a connection attempt counts as unreachable after this.
    static constexpr int kConnectTimeoutMs = 10000;
    // Calls waiting for their tick; more than this (a flood) are dropped.
    static constexpr size_t kMaxQueuedCalls = 1024;

    explicit TRouterLine(QObject* parent = nullptr);
    ~TRouterLine() override;

    // Starts connecting to host:port; a port outside 1..65535 means the usual 1012.
    void Start(const QString& host, int port);
    // Starts again only when host or port differ from those in use (after the settings dialog).
    void Retarget(const QString& host, int port);
    // No further attempts; the connection is closed.
    void Stop();
    State LineState() const { return state; }
    QString Target() const;

    // The oldest queued call event; false when none waits.
    bool TakeCall(CCallMonitorReader::Call& call);
    bool HasCalls() const { return !aQueue.empty(); }
    uint64_t SkippedLines() const { return reader.SkippedLines(); }

signals:
    // A call event was queued.
    void CallWaiting();
    // The connection was lost (detail says how) or is back.
    void StateChanged(TCapiLine::State state, const QString& detail);

private:
    void Connect();
    void Connected();
    void Failed(const QString& detail);
    void ReadLines();

    QTcpSocket* pSocket = nullptr;
    QString sHost;
    quint16 wPort = 1012;
    State state = State::None;
    bool bStopped = true;
    bool bEverConnected = false;
    QTimer retryTimer;
    QTimer connectTimer;
    CCallMonitorReader reader;
    std::deque<CCallMonitorReader::Call> aQueue;
};
