// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallListeners.h"

#include "core/Settings.h"
#include "db/CallLog.h"

namespace {
bool RingsOnOurLine(const CallEvent& event) {
    return event.kind == CallEventKind::Ringing && event.line != CallLineKind::Announced;
}
} // namespace

void TCallLogListener::OnCallEvent(const CallEvent& event) {
    if (RingsOnOurLine(event)) {
        if (!bHistory) return;
        const int32_t recNo = LogCall(event.calling, event.called, event.ringTime);
        if (iNextSlot >= 2) iNextSlot = 0;
        aSlots[iNextSlot] = Slot{event.line, event.callId, recNo, event.ringTime, event.calling};
        ++iNextSlot;
        return;
    }
    if (event.kind != CallEventKind::AnsweredElsewhere) return;
    const Slot* found = nullptr;
    for (const Slot& slot : aSlots)
        if (slot.line == event.line && slot.callId == event.callId)
            found = &slot; // the second entry wins when both match
    if (found && found->recNo != -1) MarkAnsweredCall(found->recNo, found->time, found->calling);
}

void TTrayAlertListener::OnCallEvent(const CallEvent& event) {
    if (!RingsOnOurLine(event) || !bHistory) return;
    if (bBlinkend)
        rView.StartBlinking();
    else
        rView.ShowRedIcon();
}

void TPopupListener::OnCallEvent(const CallEvent& event) {
    if (event.kind != CallEventKind::Ringing || !bAnruferAnzeigen) return;
    if (!event.known && bBekannte) return;
    if (fnShownElsewhere && fnShownElsewhere()) return;
    const int tag = rView.ShowCallerPopup(event.caller);
    if (event.line == CallLineKind::Announced) return;
    if (tag >= 1 && rAcknowledgement.bAllSeen) {
        rView.StopBlinking();
        rView.ShowWhiteIcon();
    }
    if (tag <= 0) rAcknowledgement.bAllSeen = false;
}

void TCallCountListener::OnCallEvent(const CallEvent& event) {
    // Both lists stay short: a line that never reports ends must not fill the memory.
    constexpr size_t kMaxRemembered = 64;
    const CallKey key{event.line, event.callId, event.ringTime};
    auto erase = [](std::vector<CallKey>& list, const CallKey& k) {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (*it == k) {
                list.erase(it);
                return true;
            }
        return false;
    };
    if (RingsOnOurLine(event)) {
        rView.CountCall();
        if (erase(aMissedEarly, key)) {
            rView.CountMissedCall();
            return;
        }
        if (aCounted.size() >= kMaxRemembered) aCounted.erase(aCounted.begin());
        aCounted.push_back(key);
        return;
    }
    if (event.line == CallLineKind::Announced) return;
    if (event.kind == CallEventKind::AnsweredHere ||
        event.kind == CallEventKind::AnsweredElsewhere) {
        erase(aCounted, key); // cannot be missed any more
        return;
    }
    if (event.kind != CallEventKind::Missed) return;
    if (erase(aCounted, key)) {
        rView.CountMissedCall();
        return;
    }
    if (aMissedEarly.size() >= kMaxRemembered) aMissedEarly.erase(aMissedEarly.begin());
    aMissedEarly.push_back(key);
}
