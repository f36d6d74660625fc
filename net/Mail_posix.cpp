// SPDX-License-Identifier: GPL-3.0-or-later
// UDP datagrams standing in for mailslots.
#include "net/Mail.h"

#include <QNetworkInterface>

#include <algorithm>
#include <arpa/inet.h>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kDefaultSlotName = "Standard";
constexpr size_t kTagSize = 8;
constexpr size_t kMaxHeaderSize = MAX_SLOT_NAME_LENGTH + 1 + kTagSize;
constexpr size_t kMaxDatagramSize = kMaxHeaderSize + MAX_SLOT_MESSAGE_SIZE;
// A flood of foreign datagrams must not keep one read busy for long.
constexpr int kMaxSkippedPerRead = 64;

uint16_t g_portOverride = 0;
std::vector<uint32_t> g_configuredBroadcasts;

const char* SlotNameOrDefault(const char* name) {
    return name ? name : kDefaultSlotName;
}

// Slot names compare without regard to ASCII case, like the platform's mailslot names.
bool SameSlotName(const std::string& a, const char* b, size_t bLength) {
    if (a.size() != bLength) return false;
    for (size_t i = 0; i < bLength; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

sockaddr_in Ipv4Address(uint32_t hostOrderAddress, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(hostOrderAddress);
    return sa;
}

std::vector<uint32_t> ParseBroadcastList(const std::string& commaSeparated,
                                         std::vector<std::string>* rejected) {
    std::vector<uint32_t> addresses;
    const QStringList parts = QString::fromStdString(commaSeparated).split(QLatin1Char(','));
    for (const QString& part : parts) {
        const QString text = part.trimmed();
        if (text.isEmpty()) continue;
        QHostAddress address;
        if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol) {
            if (rejected) rejected->push_back(text.toStdString());
            continue;
        }
        const uint32_t value = address.toIPv4Address();
        if (std::find(addresses.begin(), addresses.end(), value) == addresses.end())
            addresses.push_back(value);
    }
    return addresses;
}

std::vector<uint32_t> BroadcastAddresses() {
    if (!g_configuredBroadcasts.empty()) return g_configuredBroadcasts;
    // Test and demo runs keep every datagram on this machine without touching the settings.
    if (const char* env = std::getenv("CALLBEACON_BROADCAST"); env && *env) {
        std::vector<uint32_t> fromEnvironment = ParseBroadcastList(env, nullptr);
        if (!fromEnvironment.empty()) return fromEnvironment;
    }
    std::vector<uint32_t> result;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::CanBroadcast) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
            uint32_t address = entry.broadcast().toIPv4Address();
            // An address configured without an explicit broadcast (ip addr add a.b.c.d/24)
            // still has its subnet's broadcast route.
            const int prefix = entry.prefixLength();
            if (address == 0 && prefix > 0 && prefix < 31)
                address = entry.ip().toIPv4Address() | (0xFFFFFFFFu >> prefix);
            if (address == 0) continue;
            if (std::find(result.begin(), result.end(), address) == result.end())
                result.push_back(address);
        }
    }
    // A unicast datagram to 127.0.0.1 reaches only one of several sockets sharing the port;
    // the loopback network's broadcast reaches all of them.
    constexpr uint32_t kLoopbackBroadcast = 0x7FFFFFFF;
    if (std::find(result.begin(), result.end(), kLoopbackBroadcast) == result.end())
        result.push_back(kLoopbackBroadcast);
    return result;
}

} // namespace

uint16_t MailPort() {
    if (g_portOverride != 0) return g_portOverride;
    if (const char* env = std::getenv("CALLBEACON_MAILSLOT_PORT")) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(env, &end, 10);
        if (errno == 0 && end != env && *end == '\0' && value > 0 && value <= 65535)
            return static_cast<uint16_t>(value);
    }
    return DEFAULT_MAIL_PORT;
}

void SetMailPortOverride(uint16_t port) {
    g_portOverride = port;
}

std::vector<std::string> MailBroadcastTargets() {
    std::vector<std::string> result;
    for (uint32_t address : BroadcastAddresses())
        result.push_back(QHostAddress(address).toString().toStdString());
    return result;
}

std::vector<std::string> SetMailBroadcastAddresses(const std::string& commaSeparated) {
    std::vector<std::string> rejected;
    g_configuredBroadcasts = ParseBroadcastList(commaSeparated, &rejected);
    return rejected;
}

// --- TMailServer --------------------------------------------------------------------------

namespace {

// The part of opening a slot that sender and receiver share: the name (kept in `slotName`
// also when the slot cannot be opened), its length limit, a non-blocking datagram socket and
// the side's own set-up. The socket, or -1.
template <class SetUp>
int OpenSlotSocket(const char* name, std::string& slotName, SetUp&& setUp) {
    slotName = SlotNameOrDefault(name);
    if (slotName.size() > MAX_SLOT_NAME_LENGTH) return -1;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (!setUp(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TMailServer::TMailServer(const char* name) {
    std::random_device random;
    dwSenderId = random();
    OpenSlot(name);
}

TMailServer::~TMailServer() {
    CloseSlot();
}

bool TMailServer::OpenSlot(const char* name) {
    CloseSlot();
    const int fd = OpenSlotSocket(name, sSlotName, [](int socket) {
        const int on = 1;
        return ::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
    });
    if (fd < 0) return false;
    hSlot = fd;
    iPort = MailPort();
    return true;
}

bool TMailServer::CloseSlot() {
    if (hSlot < 0) return false;
    ::close(hSlot);
    hSlot = -1;
    iRetryDelay = 200;
    sSlotName.clear();
    iPort = 0;
    return true;
}

// One attempt: the datagram to every target. It counts as written when at least one target
// took it; an interface that refuses must not cost the others a retry.
bool TMailServer::SendOnce(const char* datagram, size_t size) {
    if (hSlot < 0) return false;
    bool anySent = false;
    for (uint32_t address : BroadcastAddresses()) {
        const sockaddr_in target = Ipv4Address(address, iPort);
        const ssize_t sent = ::sendto(hSlot, datagram, size, MSG_DONTWAIT | MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&target), sizeof target);
        if (sent == static_cast<ssize_t>(size)) anySent = true;
    }
    return anySent;
}

void TMailServer::WriteBlock(const void* buffer, uint32_t iBytes) {
    // The assertion's text is the system's own, as it stands.
    // clang-format off
    assert(iBytes<=MAX_MESSAGE_SIZE);
    // clang-format on
    if (iBytes > MAX_MESSAGE_SIZE) return;

    // Slot name, zero, tag, message. The tag stays the same for both attempts, so receivers
    // that get a copy over several interfaces or from both attempts keep only one.
    std::string datagram = sSlotName;
    datagram += '\0';
    const uint32_t tag[2] = {htonl(dwSenderId), htonl(++dwSendCount)};
    datagram.append(reinterpret_cast<const char*>(tag), sizeof tag);
    if (iBytes > 0) datagram.append(static_cast<const char*>(buffer), iBytes);

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (SendOnce(datagram.data(), datagram.size())) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(iRetryDelay));
    }
}

// --- TMailClient --------------------------------------------------------------------------

TMailClient::TMailClient(const char* name) {
    OpenSlot(name);
}

TMailClient::~TMailClient() {
    CloseSlot();
}

bool TMailClient::OpenSlot(const char* name) {
    CloseSlot();
    const int fd = OpenSlotSocket(name, sSlotName, [](int socket) {
        // Every receiver on this machine binds the same port; each gets every broadcast.
        const int on = 1;
        const sockaddr_in local = Ipv4Address(INADDR_ANY, MailPort());
        return ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
               ::setsockopt(socket, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) == 0 &&
               ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    });
    if (fd < 0) return false;
    hSlot = fd;
    iRecentCount = 0;
    iRecentNext = 0;
    return true;
}

bool TMailClient::CloseSlot() {
    if (hSlot < 0) return false;
    ::close(hSlot);
    hSlot = -1;
    sSlotName.clear();
    return true;
}

bool TMailClient::SeenBefore(uint64_t tag) {
    for (size_t i = 0; i < iRecentCount; ++i)
        if (aRecentTags[i] == tag) return true;
    aRecentTags[iRecentNext] = tag;
    iRecentNext = (iRecentNext + 1) % aRecentTags.size();
    if (iRecentCount < aRecentTags.size()) ++iRecentCount;
    return false;
}

bool TMailClient::ReadMessage(char* buffer, uint32_t size, uint32_t* pdwRead) {
    if (hSlot < 0) return false;
    char datagram[kMaxDatagramSize];
    for (int skipped = 0; skipped < kMaxSkippedPerRead; ++skipped) {
        // MSG_TRUNC makes the result the datagram's real length, so oversized ones are seen.
        const ssize_t got = ::recv(hSlot, datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false; // EAGAIN: nothing waiting
        }
        const size_t length = static_cast<size_t>(got);
        if (length > sizeof datagram) continue;
        const void* nul = std::memchr(datagram, '\0', std::min(length, MAX_SLOT_NAME_LENGTH + 1));
        if (!nul) continue;
        const size_t nameLength = static_cast<const char*>(nul) - datagram;
        const size_t headerLength = nameLength + 1 + kTagSize;
        if (length <= headerLength || !SameSlotName(sSlotName, datagram, nameLength)) continue;

        uint32_t tagParts[2];
        std::memcpy(tagParts, datagram + nameLength + 1, kTagSize);
        const uint64_t tag = (uint64_t{ntohl(tagParts[0])} << 32) | ntohl(tagParts[1]);
        if (SeenBefore(tag)) continue;

        const size_t messageLength = length - headerLength;
        if (messageLength > size || messageLength > MAX_SLOT_MESSAGE_SIZE) continue;
        std::memcpy(buffer, datagram + headerLength, messageLength);
        if (pdwRead) *pdwRead = static_cast<uint32_t>(messageLength);
        return true;
    }
    return false;
}
