// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/AnnouncementKey.h"

#include "platform/AtomicFile.h"
#include "platform/Trace.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

namespace {

constexpr char kMagic[4] = {'C', 'B', 'K', '1'};
constexpr size_t kSignedTrailerPart = kKeyTrailerSize - 32;

void PutBig(std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t GetBig(const char* p, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | static_cast<unsigned char>(p[i]);
    return value;
}

QByteArray Code(const std::string& key, const std::string& slotName, const char* signedPart,
                size_t signedLength) {
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256,
                                   QByteArray(key.data(), static_cast<qsizetype>(key.size())));
    mac.addData(slotName.data(), static_cast<qsizetype>(slotName.size()));
    mac.addData("\0", 1);
    mac.addData(signedPart, static_cast<qsizetype>(signedLength));
    return mac.result();
}

// Compares without an early exit, so the time taken tells nothing about the right code.
bool SameCode(const QByteArray& a, const char* b) {
    unsigned char diff = 0;
    for (int i = 0; i < 32; ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

// The state file is a few lines; anything larger is not ours.
bool ReadSmallFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char buffer[8192];
    in.read(buffer, sizeof buffer);
    text.assign(buffer, static_cast<size_t>(in.gcount()));
    return true;
}

std::string& LastRejectionStore() {
    static std::string text;
    return text;
}

std::string TimeOfDay(int64_t now) {
    const auto t = static_cast<std::time_t>(now);
    std::tm local{};
    char text[16] = "?";
    if (localtime_r(&t, &local)) std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string ReasonText(AnnouncementVerdict verdict, int64_t offset) {
    switch (verdict) {
    case AnnouncementVerdict::Unsigned:
        return "Anruf ohne Kennwort gemeldet (am Server ist keines eingestellt)";
    case AnnouncementVerdict::WrongKey:
        return "Anruf mit einem anderen Kennwort gemeldet (oder gefälscht)";
    case AnnouncementVerdict::ClockOff:
        return "die Uhr des Servers geht " + std::to_string(offset < 0 ? -offset : offset) + " s " +
               (offset < 0 ? "nach" : "vor") + " (erlaubt sind " +
               std::to_string(TAnnouncementVerifier::kFreshSeconds) + " s)";
    case AnnouncementVerdict::Replayed:
        return "dieselbe Meldung kam ein zweites Mal (wiederholt gesendet)";
    case AnnouncementVerdict::Accepted:
        break;
    }
    return std::string();
}

const char* TraceReason(AnnouncementVerdict verdict) {
    switch (verdict) {
    case AnnouncementVerdict::Unsigned:
        return "unsigned";
    case AnnouncementVerdict::WrongKey:
        return "wrong key";
    case AnnouncementVerdict::ClockOff:
        return "clock off";
    case AnnouncementVerdict::Replayed:
        return "replayed";
    case AnnouncementVerdict::Accepted:
        break;
    }
    return "";
}

} // namespace

TAnnouncementSigner::TAnnouncementSigner(const std::string& key, const std::string& slotName)
    : sKey(key), sSlotName(slotName) {
    std::random_device random;
    dwSenderId = random();
}

std::string TAnnouncementSigner::Sign(const std::string& text, int64_t now) {
    std::string block = text;
    block += '\0';
    block.append(kMagic, sizeof kMagic);
    PutBig(block, dwSenderId, 4);
    PutBig(block, ++dwCounter, 4);
    PutBig(block, static_cast<uint64_t>(now), 8);
    const QByteArray code = Code(sKey, sSlotName, block.data(), block.size());
    block.append(code.constData(), static_cast<size_t>(code.size()));
    return block;
}

TAnnouncementVerifier::TAnnouncementVerifier(const std::string& key, const std::string& slotName,
                                             std::string stateFile)
    : sKey(key), sSlotName(slotName), sStateFile(std::move(stateFile)) {
    std::string text;
    if (!sStateFile.empty() && ReadSmallFile(sStateFile, text)) lastSeen = ParseState(text);
}

bool TAnnouncementVerifier::Accept(const char* message, size_t len, int64_t now) {
    return Check(message, len, now) == AnnouncementVerdict::Accepted;
}

AnnouncementVerdict TAnnouncementVerifier::Check(const char* message, size_t len, int64_t now) {
    uint32_t sender = 0;
    int64_t offset = 0;
    const AnnouncementVerdict verdict = Judge(message, len, now, sender, offset);
    if (verdict != AnnouncementVerdict::Accepted) ReportRejection(verdict, sender, offset, now);
    return verdict;
}

AnnouncementVerdict TAnnouncementVerifier::Judge(const char* message, size_t len, int64_t now,
                                                 uint32_t& sender, int64_t& offset) {
    if (!message) return AnnouncementVerdict::Unsigned;
    const void* nul = std::memchr(message, '\0', len);
    if (!nul) return AnnouncementVerdict::Unsigned;
    const size_t textLength = static_cast<size_t>(static_cast<const char*>(nul) - message) + 1;
    if (len != textLength + kKeyTrailerSize) return AnnouncementVerdict::Unsigned;
    const char* trailer = message + textLength;
    if (std::memcmp(trailer, kMagic, sizeof kMagic) != 0) return AnnouncementVerdict::Unsigned;
    // Claimed until the code is checked; only the trace's rate limit uses it before that.
    sender = static_cast<uint32_t>(GetBig(trailer + 4, 4));
    const QByteArray expected = Code(sKey, sSlotName, message, textLength + kSignedTrailerPart);
    if (!SameCode(expected, trailer + kSignedTrailerPart)) return AnnouncementVerdict::WrongKey;

    const auto counter = static_cast<uint32_t>(GetBig(trailer + 8, 4));
    const auto sent = static_cast<int64_t>(GetBig(trailer + 12, 8));
    if (sent < now - kFreshSeconds || sent > now + kFreshSeconds) {
        // How far off, for the reason; a time beyond any clock is shown as a century.
        constexpr int64_t kCentury = int64_t{100} * 365 * 24 * 3600;
        offset = sent < now - kCentury ? -kCentury : sent > now + kCentury ? kCentury : sent - now;
        return AnnouncementVerdict::ClockOff;
    }
    const auto known = lastSeen.find(sender);
    if (known != lastSeen.end() && counter <= known->second.first)
        return AnnouncementVerdict::Replayed;
    Remember(sender, counter, now);
    return AnnouncementVerdict::Accepted;
}

void TAnnouncementVerifier::Remember(uint32_t sender, uint32_t counter, int64_t now) {
    // A message taken more than twice the window ago can no longer be fresh (its send time
    // lay within the window of when it was taken): the time rule guards what is forgotten.
    std::erase_if(lastSeen, [now](const auto& entry) {
        const int64_t taken = entry.second.second;
        return taken < now - 2 * kFreshSeconds || taken > now + 2 * kFreshSeconds;
    });
    lastSeen[sender] = {counter, now};
    while (lastSeen.size() > kMaxSenders) {
        auto oldest = lastSeen.begin();
        for (auto it = lastSeen.begin(); it != lastSeen.end(); ++it)
            if (it->second.second < oldest->second.second) oldest = it;
        lastSeen.erase(oldest);
    }
    if (sStateFile.empty()) return;
    // Written before the call is shown: a restart right after it must know the counter.
    if (cb::ReplaceFileContent(sStateFile, FormatState(lastSeen), true)) {
        bStateWriteFailed = false;
    } else if (!bStateWriteFailed) {
        bStateWriteFailed = true;
        cb::Trace("announcement state not written to " + sStateFile +
                  ": a restart may take a captured announcement again");
    }
}

void TAnnouncementVerifier::ReportRejection(AnnouncementVerdict verdict, uint32_t sender,
                                            int64_t offset, int64_t now) {
    const std::string reason = ReasonText(verdict, offset);
    LastRejectionStore() = TimeOfDay(now) + ": " + reason;

    const auto last = lastTraced.find(sender);
    if (last != lastTraced.end() && now >= last->second &&
        now - last->second < kTraceIntervalSeconds)
        return;
    if (now / 60 != iTraceMinute) {
        iTraceMinute = now / 60;
        iTracedThisMinute = 0;
    }
    if (iTracedThisMinute >= kMaxTraceLinesPerMinute) return;
    ++iTracedThisMinute;
    if (lastTraced.size() >= kMaxSenders && last == lastTraced.end()) lastTraced.clear();
    lastTraced[sender] = now;
    char id[16];
    std::snprintf(id, sizeof id, "%08x", sender);
    cb::Trace(std::string("announcement refused (sender ") + id + "): " + TraceReason(verdict) +
              (verdict == AnnouncementVerdict::ClockOff ? " by " + std::to_string(offset) + " s"
                                                        : std::string()));
}

std::string
TAnnouncementVerifier::FormatState(const std::map<uint32_t, std::pair<uint32_t, int64_t>>& seen) {
    std::string text = "CBK1-STATE\n";
    char line[64];
    for (const auto& [sender, entry] : seen) {
        std::snprintf(line, sizeof line, "%08x %u %lld\n", sender, entry.first,
                      static_cast<long long>(entry.second));
        text += line;
    }
    return text;
}

std::map<uint32_t, std::pair<uint32_t, int64_t>>
TAnnouncementVerifier::ParseState(const std::string& text) {
    std::map<uint32_t, std::pair<uint32_t, int64_t>> seen;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != "CBK1-STATE") return seen;
    while (std::getline(in, line) && seen.size() < kMaxSenders) {
        std::istringstream fields(line);
        std::string id;
        unsigned long long counter = 0;
        long long taken = 0;
        std::string rest;
        if (!(fields >> id >> counter >> taken) || (fields >> rest)) continue;
        if (id.size() != 8 || id.find_first_not_of("0123456789abcdef") != std::string::npos ||
            counter > UINT32_MAX)
            continue;
        seen[static_cast<uint32_t>(std::stoul(id, nullptr, 16))] = {static_cast<uint32_t>(counter),
                                                                    static_cast<int64_t>(taken)};
    }
    return seen;
}

std::string LastAnnouncementRejection() {
    return LastRejectionStore();
}
