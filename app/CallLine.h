// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallEvent.h"

#include <QObject>
#include <QString>

#include <vector>

// A telephone line the program watches: an ISDN line through CAPI, a router's call monitor,
// or any later kind. Nothing here waits: a line says when something waits on it, and the
// owner's tick takes it (a modal pop-up opened for one call never runs inside a line's slots).
class TCallLine : public QObject {
    Q_OBJECT
public:
    enum class State {
        None,      // nothing to watch here (no line set up), nothing to report
        Connected, // listening
        Lost,      // set up but gone; being won back
    };

    using QObject::QObject;

    virtual CallLineKind Kind() const = 0;
    // Begins watching. atStartUp: the program's first start, where a line that refuses the
    // program ends it after a box; a line switched to later is won back instead. False when
    // the program must end.
    virtual bool Start(bool atStartUp) = 0;
    // No further attempts; the line is let go.
    virtual void Stop() = 0;
    // At the start of every tick: watched again from here on (a nested tick may take what
    // arrives while this one's pop-up is open).
    virtual void Rearm() {}
    // Takes what waits on the line (one message or text line), does at once what the line
    // itself needs (an ISDN ring is alerted) and appends the call events it means.
    virtual void TakeEvents(std::vector<CallEvent>& out) = 0;
    // The settings were changed, the kind of line not: take up what concerns this line
    // (the router's address, say).
    virtual void OnSettingsChanged() {}

    // The tray hints of its states, in German.
    virtual QString LostHint() const = 0;
    virtual QString BackHint() const = 0;
    // The hint while the line is in state None; empty for the plain one.
    virtual QString NoneHint() const { return {}; }

    State LineState() const { return state; }
    QString Detail() const { return sDetail; }

signals:
    // Something waits: ask for a tick.
    void EventsWaiting();
    // The state changed from `before` (detail says how).
    void StateChanged(TCallLine::State state, TCallLine::State before, const QString& detail);

protected:
    // Sets the state and the detail; a change of state is announced.
    void SetState(State newState, const QString& detail);

private:
    State state = State::None;
    QString sDetail;
};
