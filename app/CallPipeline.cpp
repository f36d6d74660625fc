// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallPipeline.h"

#include "core/Settings.h"
#include "db/CallerNames.h"
#include "platform/ErrorBox.h"
#include "platform/Trace.h"

#include <cstring>
#include <exception>

bool PassesMsnFilter(const std::string& called) {
    if (bAlle) return true;
    for (int i = 0; i < 10; ++i)
        if (abZeige[i] && std::strcmp(aszNr[i], called.c_str()) == 0) return true;
    return false;
}

void TCallPipeline::Add(std::shared_ptr<ICallListener> listener) {
    aListeners.push_back(std::move(listener));
}

void TCallPipeline::Deliver(const CallEvent& event) {
    // A copy: a listener's modal loop may run a nested dispatch, and the list must hold still.
    const auto listeners = aListeners;
    for (const auto& listener : listeners) {
        try {
            listener->OnCallEvent(event);
        } catch (const std::exception& e) {
            cb::Trace(std::string("listener ") + listener->ListenerName() + " failed: " + e.what());
        } catch (...) {
            cb::Trace(std::string("listener ") + listener->ListenerName() + " failed");
        }
    }
}

TCallPipeline::OpenCall* TCallPipeline::Find(CallLineKind line, uint32_t callId) {
    // Newest first: a line may hand out the id of a forgotten call again.
    for (auto it = aOpen.rbegin(); it != aOpen.rend(); ++it)
        if (it->line == line && it->callId == callId) return &*it;
    return nullptr;
}

void TCallPipeline::Forget(CallLineKind line, uint32_t callId) {
    for (auto it = aOpen.begin(); it != aOpen.end();)
        it = it->line == line && it->callId == callId ? aOpen.erase(it) : it + 1;
}

void TCallPipeline::Dispatch(CallEvent event) {
    if (event.kind == CallEventKind::Ringing) {
        // Calls to numbers not watched go nowhere, and nothing later of theirs does either.
        // Announcements were filtered by the workstation that sent them.
        if (event.line != CallLineKind::Announced && !PassesMsnFilter(event.called)) return;
        event.callingKind = ClassifyNumber(event.calling);
        event.ringTime = event.time;
        try {
            event.known = LookupCaller(event.caller, event.calling, event.called, true);
            // A caller the phone book does not know may be in the address book on a server;
            // its local copy answers without waiting on the network.
            const auto second = SecondCallerNames();
            if (!event.known && second && second->NameCaller(event.caller, event.calling)) {
                event.known = true;
                cb::Trace(std::string("name from ") + second->SourceName() + " for " +
                          event.calling);
            }
        } catch (const std::exception& e) {
            // An unreadable phone book must not cost the call: it goes on with its number.
            cb::ShowErrorBox(e.what());
            ClearEntry(event.caller);
            event.caller.sName = event.calling;
            event.caller.sGerufener = event.called;
            event.known = false;
        }
        NameOwnNumber(event.caller.sGerufener, event.called);
        if (event.line != CallLineKind::Announced) {
            Forget(event.line, event.callId);
            if (aOpen.size() >= kMaxOpenCalls) aOpen.pop_front();
            aOpen.push_back(OpenCall{event.line, event.callId, event, false});
        }
        Deliver(event);
        return;
    }

    OpenCall* open = Find(event.line, event.callId);
    if (!open) return; // filtered, or rang before this program watched the line
    const CallEvent& ring = open->ring;
    event.calling = ring.calling;
    event.callingKind = ring.callingKind;
    event.called = ring.called;
    event.ringTime = ring.ringTime;
    event.caller = ring.caller;
    event.known = ring.known;
    switch (event.kind) {
    case CallEventKind::AnsweredHere:
    case CallEventKind::AnsweredElsewhere:
        open->answered = true;
        Deliver(event);
        break;
    case CallEventKind::Ended:
    case CallEventKind::Missed: {
        const bool answered = open->answered;
        Forget(event.line, event.callId); // before delivering: listeners may dispatch again
        event.kind = CallEventKind::Ended;
        Deliver(event);
        if (!answered) {
            event.kind = CallEventKind::Missed;
            Deliver(event);
        }
        break;
    }
    case CallEventKind::Ringing:
        break;
    }
}

void TCallPipeline::SettingsChanged() {
    const auto listeners = aListeners;
    for (const auto& listener : listeners) {
        try {
            listener->OnSettingsChanged();
        } catch (const std::exception& e) {
            cb::Trace(std::string("listener ") + listener->ListenerName() +
                      " failed on the new settings: " + e.what());
        }
    }
}
