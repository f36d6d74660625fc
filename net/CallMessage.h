// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The announcement of one call between workstations: "seq,time,calling,called", sent with its
// terminating zero. The receiver uses the sequence number and the two numbers.
struct CallMessage {
    int32_t iSeq;
    char szCalling[40]; // "0" when the message carries no calling number
    char szCalled[40];  // "0" when the message carries no called number
};

// The text of the message, without the terminating zero (SendText adds it on the wire).
// A null number counts as empty.
std::string FormatCallMessage(int32_t seq, int32_t time, const char* calling, const char* called);

// Reads a received message, stopping at len or at the first zero byte, whichever comes first.
// Fields are split at commas, a run of commas counting as one separator. Returns false, with
// `out` unspecified, when the message has no sequence number (no first field, or no digits in
// it), a sequence number outside 32 bits, a first field over 19 characters or a number field
// over 39 characters or a number field holding anything but digits, '*' and '#', or a number
// longer than a telephone number can be (IsPlausibleNumberLength; such refusals go to the
// trace, a few a minute): anyone on the network can send, so nothing is cut or guessed.
bool ParseCallMessage(const char* buf, size_t len, CallMessage& out);
