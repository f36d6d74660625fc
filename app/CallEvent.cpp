// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallEvent.h"

CallingNumberKind ClassifyNumber(const std::string& number) {
    if (number.empty() || number == "0") return CallingNumberKind::None;
    if (number.rfind("00", 0) == 0) return CallingNumberKind::International;
    if (number[0] == '0') return CallingNumberKind::National;
    if (number[0] == '+') return CallingNumberKind::International;
    return CallingNumberKind::Subscriber;
}

const char* CallEventName(CallEventKind kind) {
    switch (kind) {
    case CallEventKind::Ringing:
        return "ring";
    case CallEventKind::AnsweredHere:
    case CallEventKind::AnsweredElsewhere:
        return "answered";
    case CallEventKind::Ended:
        return "ended";
    case CallEventKind::Missed:
        return "missed";
    }
    return "ring";
}

const char* CallLineName(CallLineKind line) {
    switch (line) {
    case CallLineKind::Isdn:
        return "isdn";
    case CallLineKind::Router:
        return "router";
    case CallLineKind::Announced:
        return "announced";
    case CallLineKind::None:
        return "none";
    }
    return "isdn";
}

const char* NumberKindName(CallingNumberKind kind) {
    switch (kind) {
    case CallingNumberKind::None:
        return "none";
    case CallingNumberKind::Subscriber:
        return "subscriber";
    case CallingNumberKind::National:
        return "national";
    case CallingNumberKind::International:
        return "international";
    }
    return "none";
}
