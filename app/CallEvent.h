// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <cstdint>
#include <string>

// What happens to a call, as every line reports it and every listener receives it.
enum class CallEventKind {
    Ringing,           // an incoming call rings (already alerted where the line needs it)
    AnsweredHere,      // this workstation took the call (no line of ours does yet)
    AnsweredElsewhere, // another telephone took it
    Ended,             // the call is over
    Missed,            // derived: it ended without being answered anywhere
};

// Where a call came from.
enum class CallLineKind {
    Isdn,      // CAPI messages from an ISDN line
    Router,    // the text lines of a router's call monitor
    Announced, // an announcement of another workstation received over the network
    None,      // no line: nothing comes from it
};

// What the calling number says about itself: its leading zeros.
enum class CallingNumberKind {
    None,          // the exchange sent no number ("0" or empty)
    Subscriber,    // without area code
    National,      // 0 and the area code
    International, // 00 and the country code
};

struct CallEvent {
    CallEventKind kind = CallEventKind::Ringing;
    CallLineKind line = CallLineKind::Isdn;
    uint32_t callId = 0; // identifies the call on its line (an ISDN PLCI, a router call)
    std::string calling; // national form with a leading 0, "0" when none was sent
    CallingNumberKind callingKind = CallingNumberKind::None;
    std::string called;           // the own number that was called
    int32_t time = 0;             // Unix time of this event
    int32_t ringTime = 0;         // Unix time the call rang (the call log's ZEIT)
    std::string device;           // answered: the telephone that took it, when the line says so
    int32_t durationSeconds = -1; // ended: how long it was connected, -1 when unknown
    std::string reason;           // ended: the line's reason, as it gives it

    // Found once, when the call rings, and carried by each later event of the call: the
    // phone-book entry or the number, the place or the number's description, and the called
    // own number as the phone book names it.
    tAnruf caller;
    bool known = false; // the caller is in the phone book
};

CallingNumberKind ClassifyNumber(const std::string& number);
// Short English names for machine readers: ring, answered, ended, missed.
const char* CallEventName(CallEventKind kind);
// isdn, router, announced
const char* CallLineName(CallLineKind line);
// none, subscriber, national, international
const char* NumberKindName(CallingNumberKind kind);
