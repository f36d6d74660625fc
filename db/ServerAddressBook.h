// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The address book on a server as the settings dialog sees it: a sync on request and how the
// last one went. The network part behind it lives above the dialogs; this is the seam.
class IServerAddressBook {
public:
    virtual ~IServerAddressBook() = default;
    // Starts a sync with the settings in memory unless one is running; returns at once.
    virtual void SyncNow() = 0;
    virtual bool IsSyncing() const = 0;
    // "412 Kontakte, vor 37 s", or what went wrong, in German (UTF-8); empty before the first.
    virtual std::string StatusText() const = 0;
};

// Set by the main window for its lifetime; null in tests and tools without one.
void SetServerAddressBook(IServerAddressBook* book);
IServerAddressBook* ServerAddressBook();
