// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallEvent.h"

#include <cstdint>
#include <vector>

// The CAPI queue as the ISDN line's calls use it.
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
    // owner then wins it back and no error box is shown.
    virtual bool LineFailed(unsigned code) {
        (void)code;
        return false;
    }
};

// What the messages of an ISDN line mean for its calls. A ring is alerted at once, before
// anything else happens to it (the telephones keep ringing; the call is never taken), and
// every disconnect is answered.
class TIsdnCalls {
public:
    // Takes at most one message from the port and appends the call events it means: a ring,
    // or for a disconnect the answer of another telephone (when the reason says so) and the
    // end of the call. Confirmations and the rest are taken off the queue.
    void TakeMessage(ICapiPort& port, std::vector<CallEvent>& out);

private:
    void ConnectInd(ICapiPort& port, const uint8_t* msg, std::vector<CallEvent>& out);
    void DisconnectInd(ICapiPort& port, const uint8_t* msg, std::vector<CallEvent>& out);
};
