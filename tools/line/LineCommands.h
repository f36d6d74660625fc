// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated line's standard-input commands, shared by its two modes (remote CAPI and
// router call monitor), and its event lines on standard output.
#pragma once

#include <csignal>
#include <cstdint>
#include <deque>
#include <string>

namespace line {

struct Command {
    enum Kind { Ring, Hangup, Sleep, Refuse, DropAll } kind;
    uint32_t plci = 0; // the call's id: a PLCI (hex) or a call-monitor connection id (decimal)
    std::string called, calling;
    uint16_t reason = 0;
    long ms = 0;
    uint16_t code = 0;
};

// One command line; false when it is none. `decimalIds` reads the call ids as decimal.
bool ParseCommand(const std::string& text, Command& cmd, bool decimalIds = false);

// Reads standard input without blocking and queues the commands of every complete line;
// lines that are no command are reported on standard error and skipped.
class CommandReader {
public:
    explicit CommandReader(bool decimalIds) : decimalIds_(decimalIds) {}
    // Call when standard input is readable.
    void Read(std::deque<Command>& commands);
    bool Open() const { return open_; }

private:
    bool decimalIds_;
    bool open_ = true;
    std::string buf_;
    long lineNo_ = 0;
};

// One event line on standard output, flushed at once.
void Event(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Set by the stop signals.
extern volatile std::sig_atomic_t g_stop;

} // namespace line
