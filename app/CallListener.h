// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallEvent.h"

// One reaction to calls: the call log, the tray, the pop-up, the announcements to the network
// and whatever comes next. Listeners receive every event in the order they were added.
class ICallListener {
public:
    virtual ~ICallListener() = default;
    // For the trace when the listener fails.
    virtual const char* ListenerName() const = 0;
    // May open a modal loop (the pop-up): further events, of this call or others, can then
    // arrive before it returns.
    virtual void OnCallEvent(const CallEvent& event) = 0;
    // The settings were changed: take up what concerns this listener.
    virtual void OnSettingsChanged() {}
};
