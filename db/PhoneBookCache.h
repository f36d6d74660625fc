// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// A snapshot of the active phone-book entries for one pass over many calls (the history
// list). LookupCaller on the snapshot gives exactly what LookupCaller of the phone book gives
// without area details, but reads the table once instead of twice per call.
class CPhoneBookCache {
public:
    // Reads Adressen.dbf (or `fileName`) from the current directory. False, and no message,
    // when it cannot be opened; the caller decides how to report that.
    bool Load(const std::string& fileName = kPhoneBookFile);
    bool IsLoaded() const { return bLoaded; }

    // As ::LookupCaller(anruf, calling, called, false). Without a loaded snapshot it returns
    // false and leaves the record untouched, as the lookup does when the table is missing.
    bool LookupCaller(tAnruf& anruf, const std::string& calling, const std::string& called);

    size_t EntryCount() const { return aEntries.size(); }

private:
    struct Entry {
        int32_t iRecNo;
        tAnruf Columns; // the ten columns, trailing blanks removed
    };

    // Index into aEntries of the first entry, in record order, whose TELEFON is `number`
    // (NumberFits); -1 when none fits.
    int32_t FindNumber(const std::string& number) const;

    bool bLoaded = false;
    bool bHasTelefon = false;
    std::vector<Entry> aEntries;                        // record order
    std::unordered_map<std::string, int32_t> aByNumber; // NumberDigits(TELEFON) -> entry
};
