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
// the last one it took from that sender (a restarted sender draws a new id). What it took is
// kept across its own restarts in a small state file (see TAnnouncementVerifier).
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

// Why a keyed receiver did not take a message.
enum class AnnouncementVerdict {
    Accepted,
    Unsigned, // no trailer: the sender has no key
    WrongKey, // the code does not match: another key (or a forgery)
    ClockOff, // the send time lies more than kFreshSeconds from the receiver's clock
    Replayed, // this sender's counter was seen before: a copy sent again
};

// What a receiver with the key has taken from each sender: the counter and when (by its own
// clock). With a state file the record outlives a restart, so a captured announcement sent
// again after the restart is still a replay; without one, it lasts as long as the object.
class TAnnouncementVerifier {
public:
    static constexpr int64_t kFreshSeconds = 300;
    static constexpr size_t kMaxSenders = 64;
    // At most one trace line per sender a minute, and a few a minute in all: forged messages
    // may claim any sender.
    static constexpr int64_t kTraceIntervalSeconds = 60;
    static constexpr int kMaxTraceLinesPerMinute = 10;

    TAnnouncementVerifier(const std::string& key, const std::string& slotName,
                          std::string stateFile = std::string());
    // True when the message (as read, up to len bytes) carries a right, fresh code not seen
    // before; the counter is then remembered (and written to the state file).
    bool Accept(const char* message, size_t len, int64_t now);
    // The same, with the reason for a refusal. A refusal is written to the trace (rate
    // limited) and kept as the process's last one (LastAnnouncementRejection).
    AnnouncementVerdict Check(const char* message, size_t len, int64_t now);

    // The state file's text, and reading it back: "CBK1-STATE", then one line per sender:
    // id (8 hex digits), counter, time taken. Lines that do not parse are skipped.
    static std::string FormatState(const std::map<uint32_t, std::pair<uint32_t, int64_t>>& seen);
    static std::map<uint32_t, std::pair<uint32_t, int64_t>> ParseState(const std::string& text);

private:
    AnnouncementVerdict Judge(const char* message, size_t len, int64_t now, uint32_t& sender,
                              int64_t& offset);
    void Remember(uint32_t sender, uint32_t counter, int64_t now);
    void ReportRejection(AnnouncementVerdict verdict, uint32_t sender, int64_t offset, int64_t now);

    std::string sKey;
    std::string sSlotName;
    std::string sStateFile;
    // Per sender id: the last counter taken and the receiver's time it was taken.
    std::map<uint32_t, std::pair<uint32_t, int64_t>> lastSeen;
    std::map<uint32_t, int64_t> lastTraced; // per sender id (0 for unsigned messages)
    int64_t iTraceMinute = 0;
    int iTracedThisMinute = 0;
    bool bStateWriteFailed = false;
};

// German text of the last announcement a keyed receiver of this process refused, with its
// time of day and reason, for the settings page; empty when none was refused.
std::string LastAnnouncementRejection();
