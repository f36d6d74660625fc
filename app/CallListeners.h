// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallListener.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the call listeners do to the world around them: tray icon, pop-up, call counter.
class ICallView {
public:
    virtual ~ICallView() = default;
    virtual void StartBlinking() = 0;
    virtual void StopBlinking() = 0;
    virtual void ShowRedIcon() = 0;
    virtual void ShowWhiteIcon() = 0;
    // Shows the caller pop-up for a live call modally; returns its tag (1 closed by the user,
    // 0 closed by its timer).
    virtual int ShowCallerPopup(const tAnruf& anruf) = 0;
    // iCallCount + 1 and the tray hint.
    virtual void CountCall() = 0;
    // One more call missed since the user last acknowledged the calls, in the tray hint.
    virtual void CountMissedCall() = 0;
};

// Whether every pop-up since the user last acknowledged the calls was closed by the user:
// only then may closing a pop-up turn the tray icon white again.
struct TAcknowledgement {
    bool bAllSeen = true;
};

// The call log: each ringing call is written, and the last two logged calls can get the
// answered mark when another telephone takes them.
class TCallLogListener : public ICallListener {
public:
    const char* ListenerName() const override { return "call log"; }
    void OnCallEvent(const CallEvent& event) override;

private:
    // A logged call remembered for its answer. Besides the record number the slot keeps what
    // identifies the call in the log, so that a mark never lands on another call after the
    // log was packed or converted.
    struct Slot {
        CallLineKind line = CallLineKind::Isdn;
        uint32_t callId = 0;
        int32_t recNo = -1;
        int32_t time = 0;
        std::string calling;
    };
    Slot aSlots[2];
    int iNextSlot = 0;
};

// The tray's first reaction to a logged call: blinking or the red icon.
class TTrayAlertListener : public ICallListener {
public:
    explicit TTrayAlertListener(ICallView& view) : rView(view) {}
    const char* ListenerName() const override { return "tray"; }
    void OnCallEvent(const CallEvent& event) override;

private:
    ICallView& rView;
};

// The caller pop-up, for calls of the line and announced ones; a pop-up the user closed
// turns the icon white again unless an earlier one closed by itself. `shownElsewhere`, when
// given, tells whether calls are shown another way instead (desktop notifications).
class TPopupListener : public ICallListener {
public:
    TPopupListener(ICallView& view, TAcknowledgement& acknowledgement,
                   std::function<bool()> shownElsewhere = {})
        : rView(view), rAcknowledgement(acknowledgement),
          fnShownElsewhere(std::move(shownElsewhere)) {}
    const char* ListenerName() const override { return "pop-up"; }
    void OnCallEvent(const CallEvent& event) override;

private:
    ICallView& rView;
    TAcknowledgement& rAcknowledgement;
    std::function<bool()> fnShownElsewhere;
};

// The count of calls, and of missed ones, in the tray hint. A call is counted after its
// pop-up closed, so its end may come first (inside the pop-up's modal loop): such a missed
// call waits to be counted with its ring, and the hint never shows more missed calls than calls.
class TCallCountListener : public ICallListener {
public:
    explicit TCallCountListener(ICallView& view) : rView(view) {}
    const char* ListenerName() const override { return "call count"; }
    void OnCallEvent(const CallEvent& event) override;

private:
    struct CallKey {
        CallLineKind line;
        uint32_t callId;
        int32_t ringTime;
        bool operator==(const CallKey&) const = default;
    };
    ICallView& rView;
    std::vector<CallKey> aCounted;     // rung and counted, not answered or missed yet
    std::vector<CallKey> aMissedEarly; // missed before their ring was counted
};
