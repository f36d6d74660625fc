// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"
#include "net/CallMessage.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class TMailServer;
class TMailClient;
class TAnnouncementSigner;
class TAnnouncementVerifier;

// A logged call remembered for its disconnect. Besides the record number the slot keeps
// what identifies the call in the log, so that a mark never lands on another call after the
// log was packed or converted.
struct CallSlot {
    uint32_t dwPlci = 0;
    int32_t iRecNo = 0;
    int32_t iZeit = 0;
    std::string sCalling;
};

// What a tick does to the world around it: tray icon, pop-up, call counter.
class ICallView {
public:
    virtual ~ICallView() = default;
    virtual void StartBlinking() = 0;
    virtual void StopBlinking() = 0;
    virtual void ShowRedIcon() = 0;
    virtual void ShowWhiteIcon() = 0;
    // Shows the caller pop-up for a live call modally; returns its tag (1 closed by the user,
    // 0 closed by its timer).
    virtual int ShowCallerPopup(const tAnruf& anruf) = 0;
    // iCallCount + 1 and the tray hint.
    virtual void CountCall() = 0;
    // Announcements wait to be shown: ask for the next tick soon. Default: the next timer tick.
    virtual void MoreWaiting() {}
    // A call could not be written to the call log; reason in German. Default: nothing.
    virtual void CallNotLogged(const std::string& reason) { (void)reason; }
};

// The CAPI queue as a tick uses it.
class ICapiPort {
public:
    virtual ~ICapiPort() = default;
    // Takes one message without waiting: 0 and the message (in a buffer of at least
    // CapiBase::kReceiveBufferSize bytes), or an error (0x1104 empty).
    virtual unsigned GetMessage(const uint8_t** msg) = 0;
    // Sends one message; the port copies it into a buffer of the size the driver reads.
    virtual unsigned PutMessage(const uint8_t* msg) = 0;
    virtual uint32_t ApplId() const = 0;
    // Told the error of a failed get or put. True when it means the line itself is gone: the
    // owner then wins it back and the tick shows no error box.
    virtual bool LineFailed(unsigned code) {
        (void)code;
        return false;
    }
};

// The call state shared by every tick, nested ones included (a tick showing a pop-up lets
// further ticks run inside its modal loop), with the tick itself. One exists, owned by the
// main window.
class TCallMonitor {
public:
    TCallMonitor();
    ~TCallMonitor();
    TCallMonitor(const TCallMonitor&) = delete;
    TCallMonitor& operator=(const TCallMonitor&) = delete;

    // One tick: network announcements (client), then at most one CAPI message (capi is null
    // while no CAPI registration is active). Every datagram waiting is read (up to a bound)
    // and junk discarded at once; one announcement is handled per tick, the newest few wait.
    void CAPITimerTick(ICallView& view, ICapiPort* capi);

    // A call that has rung, after its alert: MSN filter, announcement, call log, tray, pop-up
    // and count. callId identifies the call on its line (the PLCI on an ISDN line) for a
    // later MarkAnsweredElsewhere. Lines without CAPI messages call this directly.
    void HandleIncomingCall(ICallView& view, uint32_t callId, const std::string& calling,
                            const std::string& called, int32_t now);
    // Another telephone took the call: its log entry gets the answered mark.
    void MarkAnsweredElsewhere(uint32_t callId);

    // Opens or closes the network objects to match bServer and bClient, and takes up the
    // shared key sKennwort (empty: announcements unsigned, every one taken).
    void SyncMailSlots(const char* slotName);

    CallSlot aCallSlots[2];             // the last two logged calls
    int32_t iCallSlot = 0;              // next entry of aCallSlots to fill
    bool bAllSeen = true;               // no pop-up closed by itself since the last acknowledgement
    int32_t iMsgSeq = 0;                // next sequence number to send
    int32_t iLastSeq = 2147483647;      // sequence number a client processed last
    TMailServer* pMailServer = nullptr; // present only while its setting is on
    TMailClient* pMailClient = nullptr;

private:
    void Announce(const std::string& text);
    void ReadNetworkCall(ICallView& view);

    std::deque<CallMessage> aWaitingCalls; // read, not yet shown; the newest few
    std::unique_ptr<TAnnouncementSigner> pSigner;
    std::unique_ptr<TAnnouncementVerifier> pVerifier;
    std::string sKeyInUse;
    void HandleConnectInd(ICallView& view, ICapiPort& capi, const uint8_t* msg);
    void HandleDisconnectInd(ICapiPort& capi, const uint8_t* msg);
};

// A send counter that a restarted server does not repeat: the clients compare a number only
// with the last one they saw, so a server that started again at 0 would lose its first call.
int32_t InitialMessageSequence();
