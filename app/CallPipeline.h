// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallEvent.h"
#include "app/CallListener.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

// The one path every call takes: events from a line or from the network enter here, are
// filtered on the own numbers, get the caller's name and place once, and reach each listener
// in the order the listeners were added. A call that ends without having been answered is
// followed by a Missed event. A listener that throws is reported and the next one still runs.
//
// Dispatch may be re-entered from inside a listener (a modal pop-up lets further ticks run).
class TCallPipeline {
public:
    // Calls remembered between their ring and their end; older ones are forgotten (a line
    // that never reports the end of its calls must not fill the memory).
    static constexpr size_t kMaxOpenCalls = 64;

    void Add(std::shared_ptr<ICallListener> listener);
    void Dispatch(CallEvent event);
    // Tells every listener, in order.
    void SettingsChanged();

    size_t OpenCalls() const { return aOpen.size(); }

private:
    struct OpenCall {
        CallLineKind line;
        uint32_t callId;
        CallEvent ring; // with its caller
        bool answered = false;
    };
    void Deliver(const CallEvent& event);
    OpenCall* Find(CallLineKind line, uint32_t callId);
    void Forget(CallLineKind line, uint32_t callId);

    std::vector<std::shared_ptr<ICallListener>> aListeners;
    std::deque<OpenCall> aOpen;
};

// Whether calls to this own number are watched ([MSN] Alle, or its Zeige entry).
bool PassesMsnFilter(const std::string& called);
