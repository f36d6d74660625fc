// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

class CBase;

// The call log, in the current directory.
inline constexpr const char* kCallLogFile = "Anrufe.dbf";

// Appends one call (whether calls are logged at all is the caller's setting). The new record
// number, or -1 when nothing was written (table missing: message box; append failed: the
// lost-call notice).
int32_t LogCall(const std::string& calling, const std::string& called, int32_t time);

// Sets ANG of record recNo to "J" (a deleted record becomes active again). A record number that
// no longer exists is ignored.
void MarkAnswered(int32_t recNo);

// Marks the call logged at `time` from `calling` as answered: record recNo when it still holds
// that call (same ZEIT and ANRUFER), else the newest record that does; nothing when the call is
// gone (the table was packed or converted since). True when a record was marked.
bool MarkAnsweredCall(int32_t recNo, int32_t time, const std::string& calling);
bool MarkAnsweredCall(int32_t recNo, const std::string& zeit, const std::string& calling);

// Sets descriptors 0 to 3 of `table` to the call-log layout (ZEIT, ANRUFER, GERUFENER, ANG;
// header 161, record 52 bytes).
void AddCallLogFields(CBase& table);
