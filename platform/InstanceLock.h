// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>

#include <memory>
#include <string>

namespace cb {

// One running program per user and settings file: a lock file in $XDG_RUNTIME_DIR, else in
// fallbackFolder (the user's settings folder), named after the settings file, so that
// autostart and a start from the menu never give two monitors, while portable copies in
// folders of their own (each with its own settings) still run side by side. Held until the
// object is destroyed; a program that died leaves a lock the next start recognises as stale.
class CInstanceLock {
public:
    enum class Result { Acquired, HeldByAnother, Unavailable };

    CInstanceLock(const std::string& fallbackFolder, const std::string& settingsFile);
    Result TryLock();
    std::string Path() const { return sPath; }

private:
    std::string sPath;
    std::unique_ptr<QLockFile> pLock;
};

} // namespace cb
