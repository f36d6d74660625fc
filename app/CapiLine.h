// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capi/CapiBase.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// Keeps the registration with the ISDN line alive: watches the line's descriptor so that a
// waiting message is handled at once, notices when the line goes away (closed connection,
// failed put, unanswered keep-alive probes) and registers again every few seconds until it
// is back. Registration attempts run on a thread of their own: the library waits for the
// line's answer without a time limit.
class TCapiLine : public QObject {
    Q_OBJECT
public:
    enum class State {
        None,      // no CAPI on this workstation: nothing to watch, nothing to report
        Connected, // registered and listening
        Lost,      // configured but gone; being won back
    };
    static constexpr int kRetryIntervalMs = 5000;

    explicit TCapiLine(CapiBase& capi, QObject* parent = nullptr);
    ~TCapiLine() override;

    // After start-up: watches the registration start-up made, or begins winning back a
    // configured line that could not be reached.
    void Start();
    // Shutdown: no further attempts; an attempt still running is abandoned.
    void Stop();
    State LineState() const { return state; }
    // Called at the start of every tick: the descriptor is watched again.
    void Rearm();
    // A get or put failed with `code`. True when that means the line is gone (it is then
    // released and won back); false for errors the caller reports itself.
    bool ReportFailure(unsigned code);

signals:
    // Something waits on the line's descriptor.
    void MessageWaiting();
    // The line was lost (detail says how) or is back.
    void StateChanged(TCapiLine::State state, const QString& detail);

private:
    struct Attempt;
    void Watch();
    void Lose(const QString& detail);
    void StartAttempt();
    void CheckAttempt();

    CapiBase& capi;
    State state = State::None;
    bool bStopped = false;
    QSocketNotifier* pNotifier = nullptr;
    QTimer retryTimer;
    QTimer attemptPoll;
    std::shared_ptr<Attempt> pAttempt;
};
