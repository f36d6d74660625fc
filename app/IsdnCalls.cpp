// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/IsdnCalls.h"

#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"
#include "platform/Clock.h"

#include <cstdio>
#include <cstring>

namespace {
// libcapi20 hands out messages from receive buffers of this size.
constexpr size_t kCapiReceiveBuffer = CapiBase::kReceiveBufferSize;
} // namespace

void TIsdnCalls::TakeMessage(ICapiPort& port, std::vector<CallEvent>& out) {
    const uint8_t* msg = nullptr;
    if (const unsigned rc = port.GetMessage(&msg); rc != 0 || !msg) {
        // Any other failure of a get leaves the line unusable (and its descriptor readable):
        // it counts as a lost line, never as something to try again at once.
        if (rc != 0 && rc != CapiBase::kErrQueueEmpty) port.LineFailed(CapiBase::kErrOsResource);
        return;
    }
    // Copied: the library reuses its buffer for the next message.
    uint8_t copy[kCapiReceiveBuffer];
    std::memcpy(copy, msg, sizeof copy);
    switch (CommandWord(copy)) {
    case CAPI_CONNECT_IND:
        ConnectInd(port, copy, out);
        break;
    case CAPI_DISCONNECT_IND:
        DisconnectInd(port, copy, out);
        break;
    default:
        break; // LISTEN_CONF, ALERT_CONF and the rest are taken off the queue
    }
}

void TIsdnCalls::ConnectInd(ICapiPort& port, const uint8_t* msg, std::vector<CallEvent>& out) {
    const int32_t now = cb::CurrentUnixTime();
    ::ConnectInd ind;
    const bool decoded = DecodeConnectInd(msg, kCapiReceiveBuffer, ind);
    if (!decoded && ind.dwPlci == 0) return;
    // A ring whose numbers are refused (longer than any real one) is alerted all the same:
    // every call on the line is; only what cannot be a number stays out of log and pop-up.
    const auto alert = BuildAlertReq(port.ApplId(), ind.dwPlci);
    if (const unsigned rc = port.PutMessage(alert.data())) {
        if (!port.LineFailed(rc)) ShowCapiError("CAPI PutMessage", rc);
        return;
    }
    if (!decoded) return;
    CallEvent event;
    event.kind = CallEventKind::Ringing;
    event.line = CallLineKind::Isdn;
    event.callId = ind.dwPlci;
    event.calling = ind.szCalling;
    event.called = ind.szCalled;
    event.time = now;
    out.push_back(std::move(event));
}

void TIsdnCalls::DisconnectInd(ICapiPort& port, const uint8_t* msg, std::vector<CallEvent>& out) {
    uint32_t plci = 0;
    uint16_t reason = 0;
    if (!DecodeDisconnectInd(msg, kCapiReceiveBuffer, plci, reason)) return;
    const auto resp = BuildDisconnectResp(port.ApplId(), plci);
    if (const unsigned rc = port.PutMessage(resp.data()))
        if (!port.LineFailed(rc)) ShowCapiError("CAPI PutMessage", rc);
    const int32_t now = cb::CurrentUnixTime();
    CallEvent event;
    event.line = CallLineKind::Isdn;
    event.callId = plci;
    event.time = now;
    // Another telephone of the bus took the call: the exchange cleared it for us.
    if (reason == CAPI_REASON_NON_SELECTED_USER_CLEARING) {
        event.kind = CallEventKind::AnsweredElsewhere;
        out.push_back(event);
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", reason);
    event.kind = CallEventKind::Ended;
    event.reason = text;
    out.push_back(std::move(event));
}
