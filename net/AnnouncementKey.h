// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// An optional shared key for announcements. The sender appends a trailer after the text's
// zero byte, where receivers without a key stop reading, so they show the call as before:
//
//   "CBK1" | sender id (4) | counter (4) | send time (8, Unix seconds) | HMAC-SHA256 (32)
//
// all numbers big-endian. The code covers the slot name, the text with its zero byte and the
// trailer's first 20 bytes. A receiver with the key takes a message only when the code is
// right, the send time lies within kFreshSeconds of its own clock, and the counter is above
// the last one it took from that sender (a restarted sender draws a new id).
//
// The key makes announcements trustworthy, not secret: they still travel readable.

constexpr size_t kKeyTrailerSize = 4 + 4 + 4 + 8 + 32;

class TAnnouncementSigner {
public:
    TAnnouncementSigner(const std::string& key, const std::string& slotName);
    // The block to send: the text, its zero byte, the trailer.
    std::string Sign(const std::string& text, int64_t now);

private:
    std::string sKey;
    std::string sSlotName;
    uint32_t dwSenderId;
    uint32_t dwCounter = 0;
};

class TAnnouncementVerifier {
public:
    static constexpr int64_t kFreshSeconds = 300;
    static constexpr size_t kMaxSenders = 64;

    TAnnouncementVerifier(const std::string& key, const std::string& slotName);
    // True when the message (as read, up to len bytes) carries a right, fresh code not seen
    // before; the counter is then remembered.
    bool Accept(const char* message, size_t len, int64_t now);

private:
    std::string sKey;
    std::string sSlotName;
    std::map<uint32_t, uint32_t> lastCounter; // per sender id
};
