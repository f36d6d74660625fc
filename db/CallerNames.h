// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <memory>
#include <string>

// A source of callers' names besides the phone book, asked when Adressen.dbf does not know
// the number (the local copy of an address book on a server). Lookups never wait on a network.
class ICallerNames {
public:
    virtual ~ICallerNames() = default;
    // Fills the name, address and number columns of `caller` for the calling number and
    // returns true; false leaves `caller` as it was. sGerufener and the place of the area code
    // are not touched; iRecNo becomes kNoRecord (the entry is not in the phone book).
    virtual bool NameCaller(tAnruf& caller, const std::string& calling) const = 0;
    // Where the names come from, for the trace ("CardDAV").
    virtual const char* SourceName() const = 0;
};

// The process's second source, shared by the call path and the history list; empty when there
// is none. Set and read on the main thread; a new snapshot replaces the old one as a whole.
void SetSecondCallerNames(std::shared_ptr<const ICallerNames> names);
std::shared_ptr<const ICallerNames> SecondCallerNames();
