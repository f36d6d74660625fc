// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/CallMessage.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Announcements to every workstation of the local network, addressed by slot name.
//
// On Windows these are the system's mailslots: the sender opens \\*\mailslot\NAME, which
// reaches the slot of that name on every machine of the domain or workgroup, the receiver
// creates \\.\mailslot\NAME on its own machine.
//
// Elsewhere a slot is one UDP port shared by all slot names: the sender puts each
// message into one datagram, sent to the broadcast address of every broadcast-capable IPv4
// interface that is up and to the loopback network's broadcast address (127.255.255.255, so
// that every receiver on this machine gets it, not only one of them). The datagram carries
// the slot name, a zero byte and an 8-byte send tag in front of the message. Receivers share
// the port (address reuse), drop other slot names and drop the copies of one send that arrive
// over several interfaces.

constexpr uint32_t MAX_MESSAGE_SIZE = 4000;      // largest block the sender writes
constexpr uint32_t MAX_SLOT_MESSAGE_SIZE = 4096; // largest message a receiver takes
constexpr size_t MAX_SLOT_NAME_LENGTH = 186;     // longer names cannot be opened

#ifndef _WIN32
constexpr uint16_t DEFAULT_MAIL_PORT = 28183; // UDP port standing in for the slots

// The port in use: the override if set, else $CALLBEACON_MAILSLOT_PORT if it holds a valid
// port number, else DEFAULT_MAIL_PORT. Read when a slot is opened.
uint16_t MailPort();
// Tests run side by side on ports of their own; 0 removes the override.
void SetMailPortOverride(uint16_t port);
// Where a send goes right now: the configured addresses when some are set, else the broadcast
// addresses of the up, broadcast-capable IPv4 interfaces, then 127.255.255.255; dotted quads,
// no duplicates.
std::vector<std::string> MailBroadcastTargets();
// The broadcast addresses a sender uses instead of every interface's: IPv4 dotted quads
// separated by commas (blanks allowed). Empty restores every interface. Entries that are not
// an IPv4 address are left out; returns those left out so the caller can tell the user.
std::vector<std::string> SetMailBroadcastAddresses(const std::string& commaSeparated);
#endif

#ifdef _WIN32
using MailSlotHandle = void*; // mailslot handle
inline constexpr MailSlotHandle kNoMailSlot = nullptr;
#else
using MailSlotHandle = int; // socket
inline constexpr MailSlotHandle kNoMailSlot = -1;
#endif

// Sender.
class TMailServer {
public:
    explicit TMailServer(const char* name = nullptr); // OpenSlot(name); the outcome is not kept
    virtual ~TMailServer();
    TMailServer(const TMailServer&) = delete;
    TMailServer& operator=(const TMailServer&) = delete;

    // Closes first; nullptr means "Standard". False (and no slot) for a name over 186
    // characters or when the platform refuses the slot.
    bool OpenSlot(const char* name);
    bool CloseSlot();
    // Two attempts, sleeping iRetryDelay ms after each failed one; then the block is dropped.
    // A block over MAX_MESSAGE_SIZE is a programming error (asserted; dropped in release).
    void WriteBlock(const void* buffer, uint32_t iBytes);
    // Writes the text with its terminating zero.
    void SendText(const char* text);

    std::string sSlotName;
    int32_t iRetryDelay = 200;
    MailSlotHandle hSlot = kNoMailSlot; // kNoMailSlot when not open

private:
    // The socket stand-in's own: one send to every target, the port, and the tag.
    bool SendOnce(const char* datagram, size_t size);

    uint16_t iPort = 0;
    uint32_t dwSenderId = 0;
    uint32_t dwSendCount = 0;
};

// Receiver.
class TMailClient {
public:
    explicit TMailClient(const char* name = nullptr); // OpenSlot(name); the outcome is not kept
    virtual ~TMailClient();
    TMailClient(const TMailClient&) = delete;
    TMailClient& operator=(const TMailClient&) = delete;

    // Closes first; nullptr means "Standard". False (and no slot) for a name over 186
    // characters or when the slot cannot be created (the port cannot be bound).
    bool OpenSlot(const char* name);
    bool CloseSlot();
    // Never waits. Copies the oldest waiting message for this slot into `buffer` and returns
    // true; false when none is waiting or no slot is open. Adds no terminator: the sender's
    // zero byte ends a text. `pdwRead`, if given, receives the message's length. Messages
    // longer than `size` (and datagrams that are not messages for this slot) are discarded
    // on the way, so they never hold up the ones behind them.
    bool ReadMessage(char* buffer, uint32_t size, uint32_t* pdwRead = nullptr);

    std::string sSlotName;
    MailSlotHandle hSlot = kNoMailSlot; // kNoMailSlot when none

private:
    // The socket stand-in's own: the tags of recent sends, so that copies arriving over
    // several interfaces are taken once.
    bool SeenBefore(uint64_t tag);

    std::array<uint64_t, 32> aRecentTags{};
    size_t iRecentCount = 0;
    size_t iRecentNext = 0;
};
