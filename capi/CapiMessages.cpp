// SPDX-License-Identifier: GPL-3.0-or-later
#include "CapiMessages.h"

#include "core/PhoneNumber.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr uint8_t kCmdAlert = 0x01;
constexpr uint8_t kCmdDisconnect = 0x04;
constexpr uint8_t kCmdListen = 0x05;
constexpr uint8_t kSubReq = 0x80;
constexpr uint8_t kSubResp = 0x83;

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutHeader(uint8_t* p, size_t length, uint32_t applId, uint8_t command, uint8_t sub) {
    Put16(p, static_cast<uint16_t>(length));
    Put16(p + 2, static_cast<uint16_t>(applId & 0xFFFF));
    p[4] = command;
    p[5] = sub;
    Put16(p + 6, 1);
}

// Bytes of the message that may be read: its own length, but never past what is there.
size_t Limit(const uint8_t* msg, size_t available) {
    if (!msg || available < 2) return 0;
    return std::min<size_t>(Get16(msg), available);
}

// Copies at most `room` characters, stopping early at a zero byte like the C text it becomes.
void CopyDigits(char* dst, const uint8_t* src, size_t count, size_t room) {
    size_t n = std::min(count, room);
    const void* zero = std::memchr(src, 0, n);
    if (zero) n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - src);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

constexpr size_t kCalledOffset = 14; // behind header, PLCI and CIP Value
constexpr uint8_t kTypeInternational = 1;

// A number longer than any real one: the call is not taken (a cut number would be logged and
// shown as somebody else's), and the trace says why.
bool Refuse(ConnectInd& out, const char* which, const std::string& number) {
    cb::Trace(std::string("refused CONNECT_IND: ") + which +
              " number longer than a telephone number can be: " + number);
    std::strcpy(out.szCalled, "0");
    std::strcpy(out.szCalling, "0");
    return false;
}

bool TakesNumbers(ConnectInd& out) {
    if (!IsPlausibleNumberLength(out.szCalling)) return Refuse(out, "calling", out.szCalling);
    return true;
}

} // namespace

std::array<uint8_t, kListenReqLength> BuildListenReq(uint32_t dwApplId) {
    std::array<uint8_t, kListenReqLength> m{};
    PutHeader(m.data(), m.size(), dwApplId, kCmdListen, kSubReq);
    Put32(&m[8], 1);           // first controller only
    Put32(&m[12], 0);          // no INFO_IND
    Put32(&m[16], 0x1FFF03FF); // every service: CIP 0-9 and 16-28
    Put32(&m[20], 0);
    m[24] = 0; // calling party number: empty
    m[25] = 0; // calling party subaddress: empty
    return m;
}

std::array<uint8_t, kAlertReqLength> BuildAlertReq(uint32_t dwApplId, uint32_t dwPlci) {
    std::array<uint8_t, kAlertReqLength> m{};
    PutHeader(m.data(), m.size(), dwApplId, kCmdAlert, kSubReq);
    Put32(&m[8], dwPlci);
    m[12] = 0; // additional info: empty
    return m;
}

std::array<uint8_t, kDisconnectRespLength> BuildDisconnectResp(uint32_t dwApplId, uint32_t dwPlci) {
    std::array<uint8_t, kDisconnectRespLength> m{};
    PutHeader(m.data(), m.size(), dwApplId, kCmdDisconnect, kSubResp);
    Put32(&m[8], dwPlci);
    return m;
}

uint16_t CommandWord(const uint8_t* msg) {
    return Get16(msg + 4);
}

bool DecodeConnectInd(const uint8_t* msg, size_t available, ConnectInd& out) {
    out.dwPlci = 0;
    std::strcpy(out.szCalled, "0");
    std::strcpy(out.szCalling, "0");

    const size_t limit = Limit(msg, available);
    if (limit < kCalledOffset + 1 || CommandWord(msg) != CAPI_CONNECT_IND) return false;
    out.dwPlci = Get32(msg + 8);

    // Called party number: length byte, octet 3, digits.
    const size_t calledLen = msg[kCalledOffset];
    const size_t calledThere = std::min(calledLen, limit - kCalledOffset - 1);
    if (calledThere > 1)
        CopyDigits(out.szCalled, msg + kCalledOffset + 2, calledThere - 1, 39);
    else
        out.szCalled[0] = '\0';
    if (!IsPlausibleNumberLength(out.szCalled)) return Refuse(out, "called", out.szCalled);

    // Calling party number follows directly: length byte, octets 3 and 3a, digits. A declared
    // called length reaching past the end leaves no calling number.
    const size_t callingOffset = kCalledOffset + 1 + calledLen;
    if (callingOffset >= limit) return TakesNumbers(out);
    const size_t callingLen = msg[callingOffset];
    const size_t callingThere = std::min(callingLen, limit - callingOffset - 1);
    if (callingThere <= 2) return TakesNumbers(out);
    const uint8_t* digits = msg + callingOffset + 3;
    const size_t count = callingThere - 2;
    // Octet 3 bits 7-5: type of number. An international number comes without its access
    // code: "00" makes it dialable and keeps it apart from German area codes.
    const bool international = ((msg[callingOffset + 1] >> 4) & 0x07) == kTypeInternational;
    if (digits[0] == '0')
        CopyDigits(out.szCalling, digits, count, 39);
    else if (international) {
        out.szCalling[1] = '0';
        CopyDigits(out.szCalling + 2, digits, count, 37); // behind "00"
    } else
        CopyDigits(out.szCalling + 1, digits, count, 38); // behind the "0" already there
    return TakesNumbers(out);
}

bool DecodeDisconnectInd(const uint8_t* msg, size_t available, uint32_t& plci, uint16_t& reason) {
    plci = 0;
    reason = 0;
    if (Limit(msg, available) < 14 || CommandWord(msg) != CAPI_DISCONNECT_IND) return false;
    plci = Get32(msg + 8);
    reason = Get16(msg + 12);
    return true;
}
