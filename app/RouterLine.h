// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallLine.h"
#include "net/CallMonitorParser.h"

#include <QString>
#include <QTimer>

#include <deque>

class QTcpSocket;

// A telephone line reached through a router's call monitor: a TCP connection that the router
// writes one text line per call event to. The socket reports what arrives, the parsed events
// are queued, and the owner's tick takes them one at a time. A connection that fails or ends
// is tried again every 5 s.
class TRouterLine : public TCallLine {
    Q_OBJECT
public:
    static constexpr int kRetryIntervalMs = 5000;
    // A router that does not answer a connection attempt counts as unreachable after this.
    static constexpr int kConnectTimeoutMs = 10000;
    // Events waiting for their tick; more than this (a flood) are dropped.
    static constexpr size_t kMaxQueuedCalls = 1024;

    // The address and port come from [Leitung] at Start.
    explicit TRouterLine(QObject* parent = nullptr);
    ~TRouterLine() override;

    CallLineKind Kind() const override { return CallLineKind::Router; }
    // Connects to [Leitung] Adresse and Port.
    bool Start(bool atStartUp) override;
    void Stop() override;
    void TakeEvents(std::vector<CallEvent>& out) override;
    // A new address or port applies at once.
    void OnSettingsChanged() override;
    QString LostHint() const override;
    QString BackHint() const override;

    // Starts connecting to host:port; a port outside 1..65535 means the usual 1012.
    void StartAt(const QString& host, int port);
    // Starts again only when host or port differ from those in use.
    void Retarget(const QString& host, int port);
    QString Target() const;
    bool HasCalls() const { return !aQueue.empty(); }
    uint64_t SkippedLines() const { return reader.SkippedLines(); }

private:
    void Connect();
    void Connected();
    void Failed(const QString& detail);
    void ReadLines();

    QTcpSocket* pSocket = nullptr;
    QString sHost;
    quint16 wPort = 1012;
    bool bStopped = true;
    bool bEverConnected = false;
    QTimer retryTimer;
    QTimer connectTimer;
    CCallMonitorReader reader;
    std::deque<CCallMonitorReader::Call> aQueue;
};
