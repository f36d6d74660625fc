// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/AnnouncementKey.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <cstring>
#include <random>

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

TAnnouncementVerifier::TAnnouncementVerifier(const std::string& key, const std::string& slotName)
    : sKey(key), sSlotName(slotName) {}

bool TAnnouncementVerifier::Accept(const char* message, size_t len, int64_t now) {
    if (!message) return false;
    const void* nul = std::memchr(message, '\0', len);
    if (!nul) return false;
    const size_t textLength = static_cast<size_t>(static_cast<const char*>(nul) - message) + 1;
    if (len != textLength + kKeyTrailerSize) return false;
    const char* trailer = message + textLength;
    if (std::memcmp(trailer, kMagic, sizeof kMagic) != 0) return false;
    const QByteArray expected = Code(sKey, sSlotName, message, textLength + kSignedTrailerPart);
    if (!SameCode(expected, trailer + kSignedTrailerPart)) return false;

    const auto sender = static_cast<uint32_t>(GetBig(trailer + 4, 4));
    const auto counter = static_cast<uint32_t>(GetBig(trailer + 8, 4));
    const auto sent = static_cast<int64_t>(GetBig(trailer + 12, 8));
    if (sent < now - kFreshSeconds || sent > now + kFreshSeconds) return false;
    const auto known = lastCounter.find(sender);
    if (known != lastCounter.end() && counter <= known->second) return false; // a replay
    if (known == lastCounter.end() && lastCounter.size() >= kMaxSenders)
        lastCounter.erase(lastCounter.begin()); // the time window still guards the forgotten
    lastCounter[sender] = counter;
    return true;
}
