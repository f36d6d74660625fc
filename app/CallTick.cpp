// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallTick.h"

#include "app/Settings.h"
#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"
#include "db/CallLog.h"
#include "net/CallMessage.h"
#include "net/Mail.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

CallSlot aCallSlots[2];
int32_t iCallSlot = 0;
bool bAllSeen = true;
int32_t iMsgSeq = 0;
int32_t iLastSeq = 2147483647;
TMailServer* pMailServer = nullptr;
TMailClient* pMailClient = nullptr;

namespace {

// libcapi20 hands out messages from receive buffers of this size.
constexpr size_t kCapiReceiveBuffer = CapiBase::kReceiveBufferSize;

void ShowCapiError(const char* label, unsigned code) {
    char text[64];
    std::snprintf(text, sizeof text, "%s\nCode:%x", label, code);
    cb::ShowErrorBox(text);
}

std::string WithoutCommas(const char* text) {
    std::string out(text);
    out.erase(std::remove(out.begin(), out.end(), ','), out.end());
    return out;
}

bool PassesMsnFilter(const char* called) {
    if (bAlle) return true;
    for (int i = 0; i < 10; ++i)
        if (abZeige[i] && std::strcmp(aszNr[i], called) == 0) return true;
    return false;
}

// C1 to C5: one announcement from a network server.
void ReadNetworkCall(ICallView& view) {
    char buffer[200];
    uint32_t dwRead = 0;
    if (!pMailClient->ReadMessage(buffer, sizeof buffer, &dwRead)) return;
    CallMessage message;
    // A message without a sequence number or with overlong fields is dropped whole.
    if (!ParseCallMessage(buffer, dwRead, message)) return;
    iMsgSeq = message.iSeq;
    if (iMsgSeq != iLastSeq && bAnruferAnzeigen) {
        tAnruf anruf;
        const bool known = LookupCaller(anruf, message.szCalling, message.szCalled, true);
        if (known || !bBekannte) view.ShowCallerPopup(anruf);
    }
    iLastSeq = iMsgSeq;
}

void HandleConnectInd(ICallView& view, ICapiPort& capi, const uint8_t* msg) {
    const int32_t now = cb::CurrentUnixTime();
    ConnectInd ind;
    if (!DecodeConnectInd(msg, kCapiReceiveBuffer, ind)) return;

    const auto alert = BuildAlertReq(capi.ApplId(), ind.dwPlci);
    if (const unsigned rc = capi.PutMessage(alert.data())) {
        ShowCapiError("CAPI PutMessage", rc);
        return;
    }
    if (!PassesMsnFilter(ind.szCalled)) return;

    if (bServer && pMailServer) {
        // A comma from the exchange would shift the fields of the announcement.
        const std::string calling = WithoutCommas(ind.szCalling);
        const std::string called = WithoutCommas(ind.szCalled);
        pMailServer->SendText(FormatCallMessage(iMsgSeq, now, calling.c_str(), called.c_str()).c_str());
        // A workstation that also receives takes its number from the last announcement read,
        // which anyone may have sent as the top of the range: wrap rather than overflow.
        iMsgSeq = static_cast<int32_t>(static_cast<uint32_t>(iMsgSeq) + 1u);
    }

    if (bHistory) {
        const int32_t recNo = LogCall(ind.szCalling, ind.szCalled, now);
        if (iCallSlot >= 2) iCallSlot = 0;
        aCallSlots[iCallSlot] = CallSlot {ind.dwPlci, recNo, now, ind.szCalling};
        ++iCallSlot;
        if (bBlinkend) view.StartBlinking();
        else view.ShowRedIcon();
    }

    if (bAnruferAnzeigen) {
        tAnruf anruf;
        const bool known = LookupCaller(anruf, ind.szCalling, ind.szCalled, true);
        if (known || !bBekannte) {
            const int tag = view.ShowCallerPopup(anruf);
            if (tag >= 1 && bAllSeen) {
                view.StopBlinking();
                view.ShowWhiteIcon();
            }
            if (tag <= 0) bAllSeen = false;
        }
    }
    view.CountCall();
}

void HandleDisconnectInd(ICapiPort& capi, const uint8_t* msg) {
    uint32_t plci = 0;
    uint16_t reason = 0;
    if (!DecodeDisconnectInd(msg, kCapiReceiveBuffer, plci, reason)) return;
    if (reason == CAPI_REASON_NON_SELECTED_USER_CLEARING) {
        const CallSlot* found = nullptr;
        for (const CallSlot& slot : aCallSlots)
            if (slot.dwPlci == plci) found = &slot; // entry 1 wins when both match
        if (found && found->iRecNo != -1)
            MarkAnsweredCall(found->iRecNo, found->iZeit, found->sCalling);
    }
    const auto resp = BuildDisconnectResp(capi.ApplId(), plci);
    if (const unsigned rc = capi.PutMessage(resp.data())) ShowCapiError("CAPI PutMessage", rc);
}

} // namespace

void ResetCallState() {
    for (CallSlot& slot : aCallSlots) slot = CallSlot {};
    iCallSlot = 0;
    bAllSeen = true;
    iMsgSeq = 0;
    iLastSeq = 2147483647;
}

void CAPITimerTick(ICallView& view, ICapiPort* capi) {
    if (bClient && pMailClient) ReadNetworkCall(view);
    if (!capi) return;

    const uint8_t* msg = nullptr;
    if (capi->GetMessage(&msg) != 0 || !msg) return;
    // Copy first: nested ticks run while a pop-up is open and take further messages.
    uint8_t copy[kCapiReceiveBuffer];
    std::memcpy(copy, msg, sizeof copy);
    switch (CommandWord(copy)) {
    case CAPI_CONNECT_IND: HandleConnectInd(view, *capi, copy); break;
    case CAPI_DISCONNECT_IND: HandleDisconnectInd(*capi, copy); break;
    default: break; // LISTEN_CONF, ALERT_CONF and the rest are taken off the queue
    }
}
