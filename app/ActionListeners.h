// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallListener.h"

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QProcess;

// [Aktionen] Webhook: each call event is posted as JSON to the URL. Nothing waits for the
// answer; a failed post is tried once more after kRetryMs and then given up, both in the trace.
class TWebhookListener : public QObject, public ICallListener {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 5000;
    static constexpr int kRetryMs = 10000;

    TWebhookListener();
    const char* ListenerName() const override { return "webhook"; }
    void OnCallEvent(const CallEvent& event) override;

private:
    void Post(const QString& url, const QByteArray& body, bool retry);

    QNetworkAccessManager* pNetwork;
};

// [Aktionen] Befehl: a program run for each call event, its words split as a shell would but
// started directly, never through a shell; the event's fields reach it only as environment
// variables (CALLBEACON_EVENT, CALLBEACON_CALLING, CALLBEACON_NAME, ...). At most kMaxRunning
// run at once, each at most kTimeLimitMs; their output goes to the trace.
class TCommandListener : public QObject, public ICallListener {
    Q_OBJECT
public:
    static constexpr int kMaxRunning = 4;
    static constexpr int kTimeLimitMs = 30000;
    static constexpr int kMaxOutputBytes = 4096;

    const char* ListenerName() const override { return "command"; }
    void OnCallEvent(const CallEvent& event) override;
    int Running() const { return iRunning; }

private:
    void Finished(QProcess* process, const QString& how);

    int iRunning = 0;
};
