// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineProtocol.h"

#include <cstdio>

namespace line {

namespace {

void Append16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void Append32(std::string& s, uint32_t v) {
    Append16(s, static_cast<uint16_t>(v & 0xFFFF));
    Append16(s, static_cast<uint16_t>(v >> 16));
}

// Length field, application id 0 (the library puts the registered id there), command.
std::string Header(uint8_t command, uint8_t sub, uint16_t msgNumber) {
    std::string s;
    Append16(s, 0); // patched by Finish
    Append16(s, 0);
    s += static_cast<char>(command);
    s += static_cast<char>(sub);
    Append16(s, msgNumber);
    return s;
}

std::string Finish(std::string s) {
    s[0] = static_cast<char>(s.size() & 0xFF);
    s[1] = static_cast<char>(s.size() >> 8);
    return s;
}

// The 18 bytes the library examines in a management reply: id at 2-3, result at 16-17.
std::string ManagementReplyHead(const uint8_t* request, size_t length, uint16_t applId,
                                uint16_t info) {
    std::string s;
    Append16(s, 0);
    Append16(s, applId);
    s += '\x20';
    s += '\x81';
    Append16(s, length >= 8 ? Get16(request + 6) : 1);
    Append16(s, 2);
    s.append(6, '\0');
    Append16(s, info);
    return s;
}

std::string ShortHeaderReply(std::string body) {
    body[0] = static_cast<char>(body.size() & 0xFF);
    body[1] = static_cast<char>(body.size() >> 8);
    return std::string("\x80", 1) + static_cast<char>(body.size()) + body;
}

std::string Hex(uint32_t v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x", width, static_cast<unsigned>(v));
    return buf;
}

} // namespace

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(Get16(p)) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

Management ClassifyManagement(const uint8_t* payload, size_t length) {
    if (length < 8 || payload[4] != 0x20 || payload[5] != 0x80) return Management::None;
    if (length < 13) return Management::Other;
    switch (Get16(payload + 11)) {
    case 0:
        return Management::Register;
    case 1:
        return Management::Release;
    case 2:
        return Management::GetProfile;
    default:
        return Management::Other;
    }
}

std::string RegisterReply(const uint8_t* request, size_t length, uint16_t applId, uint16_t info) {
    return ShortHeaderReply(ManagementReplyHead(request, length, applId, info));
}

std::string ProfileReply(const uint8_t* request, size_t length) {
    // The library copies the 64 profile bytes from offset 18 of the reply.
    std::string s = ManagementReplyHead(request, length, 0, 0);
    Append16(s, 1);          // controllers
    Append16(s, 2);          // B channels
    Append32(s, 0x00000001); // global options: internal controller
    Append32(s, 0x00000003); // B1: 64 kbit/s HDLC, transparent
    Append32(s, 0x00000003); // B2: X.75, transparent
    Append32(s, 0x00000001); // B3: transparent
    s.append(64 - 20, '\0');
    return ShortHeaderReply(s);
}

std::string Frame(const std::string& message) {
    std::string s("\x80", 1);
    Append16(s, static_cast<uint16_t>(message.size()));
    return s + message;
}

std::string ConnectInd(uint16_t msgNumber, uint32_t plci, std::string_view called,
                       std::string_view calling) {
    std::string s = Header(0x02, 0x82, msgNumber);
    Append32(s, plci);
    Append16(s, 1); // CIP value: speech
    if (called.empty()) {
        s += '\0';
    } else {
        s += static_cast<char>(called.size() + 1);
        s += '\x81'; // type unknown, ISDN numbering plan
        s += called;
    }
    if (calling.empty()) {
        s += '\0';
    } else {
        // An exchange sends a national number without its trunk prefix and an international
        // one (written "+41...") without any prefix; anything that already carries the 0
        // goes out as given, type unknown.
        char type = calling[0] == '0' ? '\x01' : '\x21';
        if (calling[0] == '+') {
            type = '\x11';
            calling.remove_prefix(1);
        }
        s += static_cast<char>(calling.size() + 2);
        s += type;
        s += '\x83'; // presentation allowed, network provided
        s += calling;
    }
    // Subaddresses, BC, LLC, HLC, additional info, second calling party number: empty.
    s.append(7, '\0');
    return Finish(s);
}

std::string DisconnectInd(uint16_t msgNumber, uint32_t plci, uint16_t reason) {
    std::string s = Header(0x04, 0x82, msgNumber);
    Append32(s, plci);
    Append16(s, reason);
    return Finish(s);
}

std::string ListenConf(const uint8_t* req, size_t length) {
    std::string s = Header(0x05, 0x81, Get16(req + 6));
    Append32(s, length >= 12 ? Get32(req + 8) : 0);
    Append16(s, 0);
    return Finish(s);
}

std::string AlertConf(const uint8_t* req, size_t length) {
    std::string s = Header(0x01, 0x81, Get16(req + 6));
    Append32(s, length >= 12 ? Get32(req + 8) : 0);
    Append16(s, 0);
    return Finish(s);
}

std::string Describe(const uint8_t* msg, size_t length, std::string& reply) {
    reply.clear();
    const uint16_t cmd = Get16(msg + 4);
    switch (cmd) {
    case 0x8005: // LISTEN_REQ
        if (length < 20) break;
        reply = ListenConf(msg, length);
        return "recv LISTEN_REQ controller=" + std::to_string(Get32(msg + 8)) +
               " infomask=" + Hex(Get32(msg + 12), 1) + " cip=" + Hex(Get32(msg + 16), 1);
    case 0x8001: // ALERT_REQ
        if (length < 12) break;
        reply = AlertConf(msg, length);
        return "recv ALERT_REQ plci=" + Hex(Get32(msg + 8), 4);
    case 0x8304: // DISCONNECT_RESP
        if (length < 12) break;
        return "recv DISCONNECT_RESP plci=" + Hex(Get32(msg + 8), 4);
    case 0x8302: // CONNECT_RESP
        if (length < 14) break;
        return "recv CONNECT_RESP plci=" + Hex(Get32(msg + 8), 4) +
               " reject=" + Hex(Get16(msg + 12), 1);
    default:
        break;
    }
    return "recv UNKNOWN cmd=" + Hex(cmd, 4) + " length=" + std::to_string(length);
}

} // namespace line
