// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallTick.h"

#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"
#include "core/Settings.h"
#include "db/CallLog.h"
#include "net/AnnouncementKey.h"
#include "net/CallMessage.h"
#include "net/Mail.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// libcapi20 hands out messages from receive buffers of this size.
constexpr size_t kCapiReceiveBuffer = CapiBase::kReceiveBufferSize;
// Datagrams one tick reads at most; announcements kept waiting at most.
constexpr int kMaxDatagramsPerTick = 1024;
constexpr size_t kMaxWaitingCalls = 16;

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

} // namespace

void TCallMonitor::HandleConnectInd(ICallView& view, ICapiPort& capi, const uint8_t* msg) {
    const int32_t now = cb::CurrentUnixTime();
    ConnectInd ind;
    if (!DecodeConnectInd(msg, kCapiReceiveBuffer, ind)) return;

    const auto alert = BuildAlertReq(capi.ApplId(), ind.dwPlci);
    if (const unsigned rc = capi.PutMessage(alert.data())) {
        if (!capi.LineFailed(rc)) ShowCapiError("CAPI PutMessage", rc);
        return;
    }
    HandleIncomingCall(view, ind.dwPlci, ind.szCalling, ind.szCalled, now);
}

void TCallMonitor::HandleIncomingCall(ICallView& view, uint32_t callId, const std::string& calling,
                                      const std::string& called, int32_t now) {
    if (!PassesMsnFilter(called.c_str())) return;

    if (bServer && pMailServer) {
        // A comma from the exchange would shift the fields of the announcement.
        const std::string sentCalling = WithoutCommas(calling.c_str());
        const std::string sentCalled = WithoutCommas(called.c_str());
        Announce(FormatCallMessage(iMsgSeq, now, sentCalling.c_str(), sentCalled.c_str()));
        // The counter starts anywhere in the range (see InitialMessageSequence): wrap.
        iMsgSeq = static_cast<int32_t>(static_cast<uint32_t>(iMsgSeq) + 1u);
    }

    if (bHistory) {
        const int32_t recNo = LogCall(calling, called, now);
        if (iCallSlot >= 2) iCallSlot = 0;
        aCallSlots[iCallSlot] = CallSlot{callId, recNo, now, calling};
        ++iCallSlot;
        if (bBlinkend)
            view.StartBlinking();
        else
            view.ShowRedIcon();
    }

    if (bAnruferAnzeigen) {
        tAnruf anruf;
        const bool known = LookupCaller(anruf, calling.c_str(), called.c_str(), true);
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

void TCallMonitor::HandleDisconnectInd(ICapiPort& capi, const uint8_t* msg) {
    uint32_t plci = 0;
    uint16_t reason = 0;
    if (!DecodeDisconnectInd(msg, kCapiReceiveBuffer, plci, reason)) return;
    if (reason == CAPI_REASON_NON_SELECTED_USER_CLEARING) MarkAnsweredElsewhere(plci);
    const auto resp = BuildDisconnectResp(capi.ApplId(), plci);
    if (const unsigned rc = capi.PutMessage(resp.data()))
        if (!capi.LineFailed(rc)) ShowCapiError("CAPI PutMessage", rc);
}

void TCallMonitor::MarkAnsweredElsewhere(uint32_t callId) {
    const CallSlot* found = nullptr;
    for (const CallSlot& slot : aCallSlots)
        if (slot.dwPlci == callId) found = &slot; // entry 1 wins when both match
    if (found && found->iRecNo != -1)
        MarkAnsweredCall(found->iRecNo, found->iZeit, found->sCalling);
}

// Network announcements, as a client receives them.
void TCallMonitor::ReadNetworkCall(ICallView& view) {
    // Everything waiting is read now and parsed; junk costs only its read. Only the newest
    // few announcements are kept, so a flood of forged ones can neither hold the client
    // nor, by filling the socket's buffer, make the kernel drop a genuine one behind it.
    bool overflowed = false;
    for (int read = 0; read < kMaxDatagramsPerTick; ++read) {
        char buffer[200];
        uint32_t dwRead = 0;
        if (!pMailClient->ReadMessage(buffer, sizeof buffer, &dwRead)) break;
        // With a key, a message without a right and fresh code is junk like any other.
        if (pVerifier && !pVerifier->Accept(buffer, dwRead, cb::CurrentUnixTime())) continue;
        // A message without a sequence number, with overlong fields or with anything but a
        // telephone number in its number fields is dropped whole.
        CallMessage message;
        if (!ParseCallMessage(buffer, dwRead, message)) continue;
        aWaitingCalls.push_back(message);
        if (aWaitingCalls.size() > kMaxWaitingCalls) {
            aWaitingCalls.pop_front();
            overflowed = true;
        }
    }
    // While a flood lasts nothing is shown: reading must keep pace with it. The newest
    // announcements are shown once it has passed.
    if (overflowed) {
        view.MoreWaiting();
        return;
    }
    if (aWaitingCalls.empty()) return;
    const CallMessage message = aWaitingCalls.front();
    aWaitingCalls.pop_front();
    if (!aWaitingCalls.empty()) view.MoreWaiting(); // one announcement per tick, the next soon
    // The number received is kept apart from the send counter: a workstation that is server
    // and client at once must not hand its clients a number they have already seen.
    // Taken before the pop-up opens: nested ticks compare with this one.
    const bool repeated = message.iSeq == iLastSeq;
    iLastSeq = message.iSeq;
    if (repeated || !bAnruferAnzeigen) return;
    tAnruf anruf;
    const bool known = LookupCaller(anruf, message.szCalling, message.szCalled, true);
    if (known || !bBekannte) view.ShowCallerPopup(anruf);
}

void TCallMonitor::Announce(const std::string& text) {
    if (!pSigner) {
        pMailServer->SendText(text.c_str());
        return;
    }
    const std::string block = pSigner->Sign(text, cb::CurrentUnixTime());
    pMailServer->WriteBlock(block.data(), static_cast<uint32_t>(block.size()));
}

TCallMonitor::TCallMonitor() : iMsgSeq(InitialMessageSequence()) {}

TCallMonitor::~TCallMonitor() {
    delete pMailClient;
    delete pMailServer;
}

void TCallMonitor::SyncMailSlots(const char* slotName) {
    if (!bServer) {
        delete pMailServer;
        pMailServer = nullptr;
    } else if (!pMailServer) {
        pMailServer = new TMailServer(slotName);
    }
    if (bClient) {
        if (!pMailClient) pMailClient = new TMailClient(slotName);
    } else {
        delete pMailClient;
        pMailClient = nullptr;
    }
    if (sKennwort != sKeyInUse) {
        sKeyInUse = sKennwort;
        pSigner.reset();
        pVerifier.reset();
        if (!sKeyInUse.empty()) {
            pSigner = std::make_unique<TAnnouncementSigner>(sKeyInUse, slotName);
            pVerifier =
                std::make_unique<TAnnouncementVerifier>(sKeyInUse, slotName, SenderStateFilePath());
        }
    }
}

int32_t InitialMessageSequence() {
    // Milliseconds of the clock: a restart lands far from where the last run stopped, and
    // never on the receivers' starting value.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    const auto seq = static_cast<int32_t>(static_cast<uint64_t>(ms) & 0x7FFFFFFFu);
    return seq == 2147483647 ? 0 : seq;
}

void TCallMonitor::CAPITimerTick(ICallView& view, ICapiPort* capi) {
    if (bClient && pMailClient) ReadNetworkCall(view);
    if (!capi) return;

    const uint8_t* msg = nullptr;
    if (const unsigned rc = capi->GetMessage(&msg); rc != 0 || !msg) {
        // Any other failure of a get leaves the line unusable (and its descriptor readable):
        // it counts as a lost line, never as something to try again at once.
        if (rc != 0 && rc != CapiBase::kErrQueueEmpty) capi->LineFailed(CapiBase::kErrOsResource);
        return;
    }
    // Copy first: nested ticks run while a pop-up is open and take further messages.
    uint8_t copy[kCapiReceiveBuffer];
    std::memcpy(copy, msg, sizeof copy);
    switch (CommandWord(copy)) {
    case CAPI_CONNECT_IND:
        HandleConnectInd(view, *capi, copy);
        break;
    case CAPI_DISCONNECT_IND:
        HandleDisconnectInd(*capi, copy);
        break;
    default:
        break; // LISTEN_CONF, ALERT_CONF and the rest are taken off the queue
    }
}
