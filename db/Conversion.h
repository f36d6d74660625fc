// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Bringing older phone books and call logs to the current layouts at start-up.

// Older releases' names of the two tables.
inline constexpr const char* kLegacyCallLogFile = "calls.dbf";
inline constexpr const char* kLegacyPhoneBookFile = "RingScan.dbf";
// Where the old table stays until its converted copy is in place.
inline constexpr const char* kConversionBackupFile = "~temp~.bak";
// The converted table is built here first, so the real name never holds a partial copy.
inline constexpr const char* kConversionScratchFile = "~temp02.dbf";

// calls.dbf becomes Anrufe.dbf and RingScan.dbf becomes Adressen.dbf where the new name is
// missing; failures are ignored.
void TakeOverLegacyTableNames();

// True when the call log lacks field 3 or the phone book lacks field 7 (a missing or unopenable
// table has no fields).
bool TablesNeedConversion();

// Receives the progress of ConvertTables; table 0 is the phone book, 1 the call log.
class ConversionProgress {
public:
    virtual ~ConversionProgress() = default;
    virtual void SetMax(int table, uint32_t max) = 0;
    virtual void SetValue(int table, uint32_t value) = 0;
};

// Rebuilds Adressen.dbf, then Anrufe.dbf, in the current layouts, record by record with their
// deleted marks. A table that is missing along with its legacy file is created empty. Returns
// 0 when both are done, 1 when a table could not be converted (it is then left as it was and
// the call log is not touched after a failed phone book). progress may be null.
//
// A `~temp~.bak` left by an interrupted run is never deleted: when the table it holds is missing
// it is moved back under that table's name first, otherwise it is kept as `~temp~.bak.N`.
int ConvertTables(ConversionProgress* progress);
