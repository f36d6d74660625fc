// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Announcements.h"

#include "core/Settings.h"
#include "net/AnnouncementKey.h"
#include "net/Mail.h"
#include "platform/Clock.h"

#include <algorithm>
#include <chrono>

namespace {

// Datagrams one call reads at most; announcements kept waiting at most.
constexpr int kMaxDatagramsPerTick = 1024;
constexpr size_t kMaxWaitingCalls = 16;
// The longest datagram read; announcements are far shorter.
constexpr size_t kMaxDatagramBytes = 200;

std::string WithoutCommas(const std::string& text) {
    std::string out(text);
    out.erase(std::remove(out.begin(), out.end(), ','), out.end());
    return out;
}

} // namespace

TAnnouncementSender::TAnnouncementSender(std::string slotName, int32_t firstSequence)
    : sSlotName(std::move(slotName)), iNextSeq(firstSequence) {}

TAnnouncementSender::~TAnnouncementSender() = default;

void TAnnouncementSender::Close() {
    pServer.reset();
}

void TAnnouncementSender::OnSettingsChanged() {
#ifndef _WIN32
    SetMailBroadcastAddresses(sBroadcast);
#endif
    // Through the broker no datagram is sent: the slot stays closed.
    if (!bServer || AnnounceThroughBroker())
        pServer.reset();
    else if (!pServer)
        pServer = std::make_unique<TMailServer>(sSlotName.c_str());
    if (sKennwort != sKeyInUse) {
        sKeyInUse = sKennwort;
        pSigner.reset();
        if (!sKeyInUse.empty())
            pSigner = std::make_unique<TAnnouncementSigner>(sKeyInUse, sSlotName);
    }
}

void TAnnouncementSender::OnCallEvent(const CallEvent& event) {
    if (event.kind != CallEventKind::Ringing || event.line == CallLineKind::Announced) return;
    if (!bServer || (!pServer && !(AnnounceThroughBroker() && brokerChannel))) return;
    // A comma from the exchange would shift the fields of the announcement.
    const std::string calling = WithoutCommas(event.calling);
    const std::string called = WithoutCommas(event.called);
    Send(FormatCallMessage(iNextSeq, event.ringTime, calling.c_str(), called.c_str()));
    // The counter starts anywhere in the range (see InitialMessageSequence): wrap.
    iNextSeq = static_cast<int32_t>(static_cast<uint32_t>(iNextSeq) + 1u);
}

void TAnnouncementSender::Send(const std::string& text) {
    // The bytes of the datagram: the text with its terminator, or the signed block.
    const std::string block = pSigner ? pSigner->Sign(text, cb::CurrentUnixTime())
                                      : std::string(text.c_str(), text.size() + 1);
    if (pServer)
        pServer->WriteBlock(block.data(), static_cast<uint32_t>(block.size()));
    else if (brokerChannel)
        brokerChannel(sSlotName, block);
}

TAnnouncementReceiver::TAnnouncementReceiver(std::string slotName)
    : sSlotName(std::move(slotName)) {}

TAnnouncementReceiver::~TAnnouncementReceiver() = default;

void TAnnouncementReceiver::Close() {
    pClient.reset();
}

void TAnnouncementReceiver::SettingsChanged() {
    // Through the broker the slot stays closed; announcements come by TakeDatagram.
    if (!bClient || AnnounceThroughBroker()) {
        pClient.reset();
    } else if (!pClient) {
        pClient = std::make_unique<TMailClient>(sSlotName.c_str());
    }
    if (sKennwort != sKeyInUse) {
        sKeyInUse = sKennwort;
        pVerifier.reset();
        if (!sKeyInUse.empty())
            pVerifier =
                std::make_unique<TAnnouncementVerifier>(sKeyInUse, sSlotName, SenderStateFilePath());
    }
}

int TAnnouncementReceiver::Descriptor() const {
#ifdef _WIN32
    return -1;
#else
    return pClient ? pClient->hSlot : -1;
#endif
}

void TAnnouncementReceiver::Keep(const char* data, uint32_t size) {
    // With a key, a message without a right and fresh code is junk like any other.
    if (pVerifier && !pVerifier->Accept(data, size, cb::CurrentUnixTime())) return;
    // A message without a sequence number, with overlong fields or with anything but a
    // telephone number in its number fields is dropped whole.
    CallMessage message;
    if (!ParseCallMessage(data, size, message)) return;
    aWaiting.push_back(message);
    if (aWaiting.size() > kMaxWaitingCalls) {
        aWaiting.pop_front();
        bOverflowed = true;
    }
}

void TAnnouncementReceiver::TakeDatagram(const std::string& bytes) {
    if (!bClient || !AnnounceThroughBroker()) return;
    // No datagram of the slot is longer than the read buffer; a longer message is junk.
    if (bytes.size() > kMaxDatagramBytes) return;
    Keep(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool TAnnouncementReceiver::TakeEvents(std::vector<CallEvent>& out) {
    if (!bClient) return false;
    // Everything waiting is read now and parsed; junk costs only its read. Only the newest
    // few announcements are kept, so a flood of forged ones can neither hold the client
    // nor, by filling the socket's buffer, make the kernel drop a genuine one behind it.
    for (int read = 0; pClient && read < kMaxDatagramsPerTick; ++read) {
        char buffer[kMaxDatagramBytes];
        uint32_t dwRead = 0;
        if (!pClient->ReadMessage(buffer, sizeof buffer, &dwRead)) break;
        Keep(buffer, dwRead);
    }
    const bool overflowed = bOverflowed;
    bOverflowed = false;
    // While a flood lasts nothing is shown: reading must keep pace with it. The newest
    // announcements are shown once it has passed.
    if (overflowed) return true;
    if (aWaiting.empty()) return false;
    const CallMessage message = aWaiting.front();
    aWaiting.pop_front();
    // The number received is kept apart from the send counter: a workstation that is server
    // and client at once must not hand its clients a number they have already seen.
    const bool repeated = message.iSeq == iLastSeq;
    iLastSeq = message.iSeq;
    if (!repeated) {
        CallEvent event;
        event.kind = CallEventKind::Ringing;
        event.line = CallLineKind::Announced;
        event.callId = static_cast<uint32_t>(message.iSeq);
        event.calling = message.szCalling;
        event.called = message.szCalled;
        event.time = cb::CurrentUnixTime();
        out.push_back(std::move(event));
    }
    return !aWaiting.empty(); // one announcement per tick, the next soon
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
