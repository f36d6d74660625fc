// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallLine.h"
#include "app/IsdnCalls.h"
#include "capi/CapiBase.h"

#include <QTimer>

#include <memory>

class QSocketNotifier;

// An ISDN line through the CAPI driver. Keeps the registration alive: watches the line's
// descriptor so that a waiting message is handled at once, notices when the line goes away
// (closed connection, failed put, unanswered keep-alive probes) and registers again every few
// seconds until it is back. Registration attempts run on a thread of their own: the library
// waits for the line's answer without a time limit.
class TCapiLine : public TCallLine {
    Q_OBJECT
public:
    static constexpr int kRetryIntervalMs = 5000;

    // Loads the CAPI library (libcapi20, or the one named).
    explicit TCapiLine(const char* library = CapiBase::kDefaultLibrary, QObject* parent = nullptr);
    ~TCapiLine() override;

    CallLineKind Kind() const override { return CallLineKind::Isdn; }
    bool Start(bool atStartUp) override;
    void Stop() override;
    void Rearm() override;
    void TakeEvents(std::vector<CallEvent>& out) override;
    QString LostHint() const override;
    QString BackHint() const override;
    QString NoneHint() const override;

    CapiBase& Capi() { return capi; }
    // A get or put failed with `code`. True when that means the line is gone (it is then
    // released and won back); false for errors the caller reports itself.
    bool ReportFailure(unsigned code);

private:
    struct Attempt;
    void Watch();
    void Lose(const QString& detail);
    void StartAttempt();
    void CheckAttempt();

    CapiBase capi;
    TIsdnCalls calls;
    bool bStopped = false;
    QString sNoneHint;
    QSocketNotifier* pNotifier = nullptr;
    QTimer retryTimer;
    QTimer attemptPoll;
    std::shared_ptr<Attempt> pAttempt;
};
