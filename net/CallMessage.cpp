// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CallMessage.h"

#include "core/PhoneNumber.h"
#include "platform/Trace.h"

#include <chrono>
#include <cstring>
#include <string_view>

std::string FormatCallMessage(int32_t seq, int32_t time, const char* calling, const char* called) {
    std::string text = std::to_string(seq);
    text += ',';
    text += std::to_string(time);
    text += ',';
    text += calling ? calling : "";
    text += ',';
    text += called ? called : "";
    return text;
}

namespace {

constexpr size_t kMaxSeqField = 19;
constexpr size_t kMaxNumberField = sizeof(CallMessage::szCalling) - 1;

// Decimal value as the C library's atoi reads it (leading white space, a sign, digits up to
// the first non-digit), but refusing a field without digits or beyond 32 bits.
bool ParseSeq(std::string_view field, int32_t& value) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    if (i == field.size() || field[i] < '0' || field[i] > '9') return false;
    int64_t magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (field[i] - '0');
        if (magnitude > int64_t{INT32_MAX} + 1) return false;
    }
    int64_t v = negative ? -magnitude : magnitude;
    if (v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

// A telephone number as the exchange delivers it: digits, '*' and '#'. Anything else would
// reach the pop-up and the trace as it stands.
bool IsNumberField(std::string_view field) {
    for (char c : field)
        if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) return false;
    return true;
}

// Anyone on the network may send such announcements by the thousand: a few trace lines a
// minute tell the story without filling the disk.
void TraceOverlong(std::string_view number) {
    constexpr int kLinesPerMinute = 5;
    static auto minuteStart = std::chrono::steady_clock::now();
    static int linesThisMinute = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - minuteStart >= std::chrono::minutes(1)) {
        minuteStart = now;
        linesThisMinute = 0;
    }
    if (++linesThisMinute > kLinesPerMinute) return;
    cb::Trace("announcement refused: number longer than a telephone number can be: " +
              std::string(number.substr(0, 40)));
}

void CopyNumber(std::string_view field, char (&dest)[40]) {
    std::memcpy(dest, field.data(), field.size());
    dest[field.size()] = '\0';
}

} // namespace

bool ParseCallMessage(const char* buf, size_t len, CallMessage& out) {
    if (!buf) return false;
    const void* nul = std::memchr(buf, '\0', len);
    std::string_view text(buf, nul ? static_cast<const char*>(nul) - buf : len);

    std::string_view fields[4];
    size_t count = 0;
    size_t pos = 0;
    while (count < 4) {
        pos = text.find_first_not_of(',', pos);
        if (pos == std::string_view::npos) break;
        size_t end = text.find(',', pos);
        if (end == std::string_view::npos) end = text.size();
        fields[count++] = text.substr(pos, end - pos);
        pos = end;
    }

    if (count == 0 || fields[0].size() > kMaxSeqField) return false;
    if (fields[2].size() > kMaxNumberField || fields[3].size() > kMaxNumberField ||
        !IsPlausibleNumberLength(fields[2]) || !IsPlausibleNumberLength(fields[3])) {
        TraceOverlong(fields[2].size() >= fields[3].size() ? fields[2] : fields[3]);
        return false;
    }
    if (!IsNumberField(fields[2]) || !IsNumberField(fields[3])) return false;
    if (!ParseSeq(fields[0], out.iSeq)) return false;
    std::strcpy(out.szCalling, "0");
    std::strcpy(out.szCalled, "0");
    if (count > 2) CopyNumber(fields[2], out.szCalling);
    if (count > 3) CopyNumber(fields[3], out.szCalled);
    return true;
}
