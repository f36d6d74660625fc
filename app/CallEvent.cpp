// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallEvent.h"

NumberKind ClassifyNumber(const std::string& number) {
    if (number.empty() || number == "0") return NumberKind::None;
    if (number.rfind("00", 0) == 0) return NumberKind::International;
    if (number[0] == '0') return NumberKind::National;
    if (number[0] == '+') return NumberKind::International;
    return NumberKind::Subscriber;
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

const char* NumberKindName(NumberKind kind) {
    switch (kind) {
    case NumberKind::None:
        return "none";
    case NumberKind::Subscriber:
        return "subscriber";
    case NumberKind::National:
        return "national";
    case NumberKind::International:
        return "international";
    }
    return "none";
}
