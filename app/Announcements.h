// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallListener.h"
#include "net/CallMessage.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMailServer;
class TMailClient;
class TAnnouncementSigner;
class TAnnouncementVerifier;

// The network server's side: each call ringing on our line is announced to the clients
// ([Netzwerk] Server), signed when a key is set.
class TAnnouncementSender : public ICallListener {
public:
    // slotName: the slot every workstation of the program shares; firstSequence: the send
    // counter's start (InitialMessageSequence in the program).
    TAnnouncementSender(std::string slotName, int32_t firstSequence);
    ~TAnnouncementSender() override;

    const char* ListenerName() const override { return "announcements"; }
    void OnCallEvent(const CallEvent& event) override;
    // Opens or closes the slot to match [Netzwerk] Server, takes up the key and the
    // broadcast addresses.
    void OnSettingsChanged() override;

    // Shutdown: the slot is closed whatever the settings say.
    void Close();
    bool IsOpen() const { return pServer != nullptr; }
    int32_t NextSequence() const { return iNextSeq; }
    // With [Netzwerk] Weg=MQTT each announcement goes here instead of to the slot: the slot's
    // name and the bytes a datagram would carry.
    using BrokerChannel = std::function<void(const std::string& slot, const std::string& bytes)>;
    void SetBrokerChannel(BrokerChannel channel) { brokerChannel = std::move(channel); }

private:
    void Send(const std::string& text);

    BrokerChannel brokerChannel;
    std::string sSlotName;
    int32_t iNextSeq;
    std::unique_ptr<TMailServer> pServer;
    std::unique_ptr<TAnnouncementSigner> pSigner;
    std::string sKeyInUse;
};

// The network client's side ([Netzwerk] Client): announcements of other workstations become
// ringing calls of the kind "announced". Every datagram waiting is read (up to a bound) and
// junk discarded at once; one announcement is handed out per call, the newest few wait.
class TAnnouncementReceiver {
public:
    explicit TAnnouncementReceiver(std::string slotName);
    ~TAnnouncementReceiver();
    TAnnouncementReceiver(const TAnnouncementReceiver&) = delete;
    TAnnouncementReceiver& operator=(const TAnnouncementReceiver&) = delete;

    // Opens or closes the slot to match [Netzwerk] Client and takes up the key.
    void SettingsChanged();
    // Shutdown: the slot is closed whatever the settings say.
    void Close();
    bool IsOpen() const { return pClient != nullptr; }
    // The socket to watch, -1 when none.
    int Descriptor() const;
    // Appends at most one announced call to `out`; true when more are waiting (ask for
    // another tick soon).
    bool TakeEvents(std::vector<CallEvent>& out);
    // An announcement that came through the MQTT broker ([Netzwerk] Weg=MQTT): checked like a
    // datagram of the slot and handed out by TakeEvents.
    void TakeDatagram(const std::string& bytes);
    // The sequence number taken last (a repeat of it is not shown again).
    int32_t LastSequence() const { return iLastSeq; }

private:
    // Checks one datagram and keeps it when it is a genuine announcement.
    void Keep(const char* data, uint32_t size);

    std::string sSlotName;
    std::unique_ptr<TMailClient> pClient;
    bool bOverflowed = false; // announcements were dropped for newer ones since the last take
    std::unique_ptr<TAnnouncementVerifier> pVerifier;
    std::string sKeyInUse;
    std::deque<CallMessage> aWaiting; // read, not yet handed out; the newest few
    int32_t iLastSeq = 2147483647;    // no announcement has that number at first
};

// A send counter that a restarted server does not repeat: the clients compare a number only
// with the last one they saw, so a server that started again at 0 would lose its first call.
int32_t InitialMessageSequence();
