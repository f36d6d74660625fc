// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CallMonitorParser.h"

#include "core/PhoneNumber.h"
#include "platform/Trace.h"

#include <algorithm>

namespace {

// Calls ringing at once that are remembered; a router has a handful of lines at most, and
// calls whose DISCONNECT got lost must not pile up.
constexpr size_t kMaxOpenCalls = 64;

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t semi = line.find(';', start);
        if (semi == std::string_view::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, semi - start));
        start = semi + 1;
    }
    // The line ends with a ';': that last empty field is no field.
    if (fields.size() > 1 && fields.back().empty()) fields.pop_back();
    return fields;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ParseConnection(std::string_view text, uint32_t& out) {
    if (!AllDigits(text) || text.size() > 9) return false;
    uint32_t value = 0;
    for (char c : text)
        value = value * 10 + static_cast<uint32_t>(c - '0');
    out = value;
    return true;
}

enum class NumberField { Number, NotANumber, TooLong };

// Digits, and * and # as internal numbers use them; a leading + becomes 00, the form the
// call log and the phone book use for foreign numbers.
NumberField ParseNumber(std::string_view text, std::string& out) {
    std::string number;
    if (!text.empty() && text.front() == '+') {
        number = "00";
        text.remove_prefix(1);
        if (text.empty()) return NumberField::NotANumber;
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) return NumberField::NotANumber;
        number += c;
    }
    if (!IsPlausibleNumberLength(number)) return NumberField::TooLong;
    out = std::move(number);
    return NumberField::Number;
}

} // namespace

CallMonitorLine ParseCallMonitorLine(std::string_view line, CallMonitorEvent& out) {
    if (line.find_first_not_of(" \t") == std::string_view::npos) return CallMonitorLine::Ignored;
    if (line.size() > kMaxCallMonitorLine) return CallMonitorLine::Malformed;
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) return CallMonitorLine::Malformed;
    }
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 3 || fields[0].empty()) return CallMonitorLine::Malformed;
    const std::string_view type = fields[1];
    if (type == "CALL") return CallMonitorLine::Ignored;

    CallMonitorEvent event;
    if (!ParseConnection(fields[2], event.iConnection)) return CallMonitorLine::Malformed;
    if (type == "RING") {
        if (fields.size() < 5) return CallMonitorLine::Malformed;
        event.kind = CallMonitorEvent::Kind::Ring;
        const NumberField calling = ParseNumber(fields[3], event.sCalling);
        const NumberField called = ParseNumber(fields[4], event.sCalled);
        if (calling == NumberField::NotANumber || called == NumberField::NotANumber)
            return CallMonitorLine::Malformed;
        if (calling == NumberField::TooLong || called == NumberField::TooLong)
            return CallMonitorLine::OverlongNumber;
        // No number sent (withheld or unknown): the "0" a CAPI line gives for that.
        if (event.sCalling.empty()) event.sCalling = "0";
    } else if (type == "CONNECT") {
        if (fields.size() < 4) return CallMonitorLine::Malformed;
        event.kind = CallMonitorEvent::Kind::Connect;
        // The extension that took the call: a short id; anything else is left out.
        const std::string_view extension = fields[3];
        if (extension.size() <= 8 &&
            extension.find_first_not_of("0123456789") == std::string_view::npos)
            event.sExtension = std::string(extension);
    } else if (type == "DISCONNECT") {
        if (fields.size() < 4) return CallMonitorLine::Malformed;
        event.kind = CallMonitorEvent::Kind::Disconnect;
        // Seconds connected; a field that is no number leaves the duration unknown.
        const std::string_view seconds = fields[3];
        if (!seconds.empty() && seconds.size() <= 9 &&
            seconds.find_first_not_of("0123456789") == std::string_view::npos)
            event.iSeconds = std::stoi(std::string(seconds));
    } else {
        return CallMonitorLine::Malformed;
    }
    out = std::move(event);
    return CallMonitorLine::Event;
}

void CCallMonitorReader::Feed(const char* data, size_t size, std::vector<Call>& out) {
    std::string_view rest(data, size);
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        const std::string_view piece = rest.substr(0, newline);
        if (bOverlong) {
            // The rest of a line already known to be too long: wait for its end.
        } else if (sPartial.size() + piece.size() > kMaxCallMonitorLine + 1) {
            // Over the limit (one more byte allowed for a '\r'): drop what is kept, and the
            // rest of this line as it comes.
            sPartial.clear();
            bOverlong = true;
        } else {
            sPartial.append(piece);
        }
        if (newline == std::string_view::npos) break;
        rest.remove_prefix(newline + 1);
        if (bOverlong) {
            bOverlong = false;
            ++iSkipped;
            continue;
        }
        std::string_view line = sPartial;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        TakeLine(line, out);
        sPartial.clear();
    }
}

void CCallMonitorReader::NewConnection() {
    sPartial.clear();
    bOverlong = false;
}

uint32_t CCallMonitorReader::CallIdFor(uint32_t connection) const {
    for (auto it = aOpenCalls.rbegin(); it != aOpenCalls.rend(); ++it)
        if (it->first == connection) return it->second;
    return 0;
}

void CCallMonitorReader::TakeLine(std::string_view line, std::vector<Call>& out) {
    CallMonitorEvent event;
    const CallMonitorLine result = ParseCallMonitorLine(line, event);
    if (result == CallMonitorLine::Malformed) ++iSkipped;
    if (result == CallMonitorLine::OverlongNumber) {
        ++iSkipped;
        // A line this long is at most 1 KiB; the trace turns anything odd in it into blanks.
        cb::Trace("call monitor: refused a call with a number longer than a telephone number "
                  "can be: " +
                  std::string(line));
    }
    if (result != CallMonitorLine::Event) return;

    const uint32_t connection = event.iConnection;
    auto forget = [this, connection] {
        std::erase_if(aOpenCalls,
                      [connection](const auto& open) { return open.first == connection; });
    };
    uint32_t callId = 0;
    switch (event.kind) {
    case CallMonitorEvent::Kind::Ring:
        callId = dwNextCallId;
        dwNextCallId = dwNextCallId == UINT32_MAX ? 1 : dwNextCallId + 1;
        forget(); // the id is the router's again: any older call on it is over
        aOpenCalls.emplace_back(connection, callId);
        if (aOpenCalls.size() > kMaxOpenCalls) aOpenCalls.erase(aOpenCalls.begin());
        break;
    case CallMonitorEvent::Kind::Connect:
        // Only for a call that rang here: outgoing calls (CALL) are not followed.
        callId = CallIdFor(connection);
        if (callId == 0) return;
        break;
    case CallMonitorEvent::Kind::Disconnect:
        callId = CallIdFor(connection);
        if (callId == 0) return;
        forget();
        break;
    }
    out.push_back(Call{std::move(event), callId});
}
