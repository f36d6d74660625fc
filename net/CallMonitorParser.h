// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text a router's call monitor writes (TCP port 1012 of most home routers), one event a
// line, fields separated by ';':
//   08.12.26 14:03:11;RING;0;0301234567;4711;SIP0;         connection, calling, called, line
//   08.12.26 14:03:15;CONNECT;0;1;0301234567;              connection, extension, number
//   08.12.26 14:05:40;DISCONNECT;0;145;                    connection, seconds
//   08.12.26 14:07:02;CALL;1;1;4711;0891234567;SIP0;       an outgoing call
// No sockets here: the reader takes bytes as they come and hands out the events.

struct CallMonitorEvent {
    enum class Kind { Ring, Connect, Disconnect };
    Kind kind = Kind::Ring;
    uint32_t iConnection = 0; // the router's connection id; reused for later calls
    std::string sCalling;     // Ring only: national form, "0" when none was sent
    std::string sCalled;      // Ring only: the own number that was called
    std::string sExtension;   // Connect only: the router's extension that took the call
    int32_t iSeconds = -1;    // Disconnect only: seconds connected, -1 when not given
};

enum class CallMonitorLine {
    Event,          // `out` holds the event
    Ignored,        // well-formed but of no interest (CALL, an empty line)
    Malformed,      // missing fields, bad id, not a telephone number, unknown event
    OverlongNumber, // a RING whose number is longer than a telephone number can be
};

// Longest line taken; a longer one is skipped whole. Real lines are under 100 bytes.
constexpr size_t kMaxCallMonitorLine = 1024;
// Longest number taken: what the call log's ANRUFER and GERUFENER hold (see
// IsPlausibleNumberLength, which also limits the digits after the leading zeros).
constexpr size_t kMaxCallMonitorNumber = 20;

// One line without its line end.
CallMonitorLine ParseCallMonitorLine(std::string_view line, CallMonitorEvent& out);

// Cuts a byte stream into lines and parses them. An event carries, besides the router's
// connection id, a call id of its own: the router hands out the same few connection ids again
// and again, so a CONNECT must find the call that rang on its id last, not an older one.
class CCallMonitorReader {
public:
    struct Call {
        CallMonitorEvent event;
        uint32_t dwCallId = 0; // never 0; the same for a RING and its CONNECT and DISCONNECT
    };

    // Appends the events of every line completed by `data` to `out`.
    void Feed(const char* data, size_t size, std::vector<Call>& out);
    // A new connection: a partial line of the old one is dropped. Calls still ringing stay
    // known, so a CONNECT that arrives after a reconnect still finds its call.
    void NewConnection();

    // Lines skipped because they were too long or malformed or carried an overlong number
    // (these also go to the trace), since construction.
    uint64_t SkippedLines() const { return iSkipped; }

private:
    void TakeLine(std::string_view line, std::vector<Call>& out);
    uint32_t CallIdFor(uint32_t connection) const;

    std::string sPartial;
    bool bOverlong = false; // skipping the rest of an overlong line
    uint64_t iSkipped = 0;
    uint32_t dwNextCallId = 1;
    // Calls that rang and have not ended: {connection, call id}, oldest first.
    std::vector<std::pair<uint32_t, uint32_t>> aOpenCalls;
};
