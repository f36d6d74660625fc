// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <cstdint>
#include <string>

class TMailServer;
class TMailClient;

// The call state shared by every tick, nested ones included (a tick showing a pop-up lets
// further ticks run inside its modal loop).

// A logged call remembered for its disconnect. Besides the record number the slot keeps
// what identifies the call in the log, so that a mark never lands on another call after the
// log was packed or converted.
struct CallSlot {
    uint32_t dwPlci = 0;
    int32_t iRecNo = 0;
    int32_t iZeit = 0;
    std::string sCalling;
};

extern CallSlot aCallSlots[2]; // the last two logged calls
extern int32_t iCallSlot;      // next entry of aCallSlots to fill
extern bool bAllSeen;          // no pop-up has closed by itself since the last acknowledgement
extern int32_t iMsgSeq;        // next sequence number to send; on a client the one just read
extern int32_t iLastSeq;       // sequence number a client processed last

// The network objects, each present only while its setting is on; owned by the main window.
extern TMailServer* pMailServer;
extern TMailClient* pMailClient;

// Back to the state at program start (tests).
void ResetCallState();

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
};

// One tick of the polling timer: at most one network announcement (client), then at most
// one CAPI message (capi is null while no CAPI registration is active).
void CAPITimerTick(ICallView& view, ICapiPort* capi);
