// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineCommands.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace line {

volatile std::sig_atomic_t g_stop = 0;

void Event(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::putchar('\n');
    std::fflush(stdout);
}

namespace {

bool ParseUnsigned(const std::string& s, int base, unsigned long max, unsigned long& out) {
    if (s.empty() || s.size() > 10) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoul(s.c_str(), &end, base);
    return errno == 0 && *end == '\0' && s[0] != '-' && s[0] != '+' && out <= max;
}

// A number structure holds at most 255 bytes, octets 3 and 3a included.
bool ParseNumber(const std::string& s, std::string& out) {
    out = s == "-" ? std::string() : s;
    return out.size() <= 253;
}

} // namespace

bool ParseCommand(const std::string& text, Command& cmd, bool decimalIds) {
    std::istringstream in(text);
    std::string verb, a, b, c, extra;
    in >> verb >> a >> b >> c >> extra;
    const int idBase = decimalIds ? 10 : 16;
    const unsigned long idMax = decimalIds ? 999999999UL : 0xFFFFFFFFUL;
    unsigned long v = 0, w = 0;
    if (verb == "ring" && !c.empty() && extra.empty() && ParseUnsigned(a, idBase, idMax, v) &&
        ParseNumber(b, cmd.called) && ParseNumber(c, cmd.calling)) {
        cmd.kind = Command::Ring;
        cmd.plci = static_cast<uint32_t>(v);
        return true;
    }
    if (verb == "hangup" && !b.empty() && c.empty() && ParseUnsigned(a, idBase, idMax, v) &&
        ParseUnsigned(b, 16, 0xFFFF, w)) {
        cmd.kind = Command::Hangup;
        cmd.plci = static_cast<uint32_t>(v);
        cmd.reason = static_cast<uint16_t>(w);
        return true;
    }
    if (verb == "sleep" && !a.empty() && b.empty()) {
        char* end = nullptr;
        errno = 0;
        const long ms = std::strtol(a.c_str(), &end, 10);
        if (errno || *end || ms < 0 || ms > 86400000L) return false;
        cmd.kind = Command::Sleep;
        cmd.ms = ms;
        return true;
    }
    if (verb == "drop" && a.empty()) {
        cmd.kind = Command::DropAll;
        return true;
    }
    if (verb == "refuse-register" && !a.empty() && b.empty() && ParseUnsigned(a, 16, 0xFFFF, v) &&
        v != 0) {
        cmd.kind = Command::Refuse;
        cmd.code = static_cast<uint16_t>(v);
        return true;
    }
    return false;
}

void CommandReader::Read(std::deque<Command>& commands) {
    char buf[4096];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        open_ = false;
        if (!buf_.empty()) buf_ += '\n'; // a last line without newline still counts
    } else {
        buf_.append(buf, static_cast<size_t>(n));
    }
    size_t pos;
    while ((pos = buf_.find('\n')) != std::string::npos) {
        std::string text = buf_.substr(0, pos);
        buf_.erase(0, pos + 1);
        ++lineNo_;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        Command cmd{};
        if (ParseCommand(text, cmd, decimalIds_))
            commands.push_back(cmd);
        else
            std::fprintf(stderr, "callbeacon-line: line %ld ignored: %s\n", lineNo_, text.c_str());
    }
    // Nobody types a command this long; keep a runaway line from growing without end.
    if (buf_.size() > 65536) buf_.clear();
}

} // namespace line
