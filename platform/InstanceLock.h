// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>

#include <memory>
#include <string>
#include <vector>

namespace cb {

// One running program per settings file: autostart and a start from the menu never give two
// monitors, while portable copies in folders of their own (each with its own settings) still
// run side by side. The lock is named after the settings file's canonical path (so /x//cfg
// and a link to /x/cfg are one file) and is taken in every place of a fixed list that does
// not depend on the environment: the settings file's folder, /run/user/<uid>, and a private
// folder /tmp/callbeacon-<uid>. Whichever of them two starts can use, they use alike, so the
// second one always meets the first. Held until the object is destroyed; a program that died
// leaves locks the next start recognises as stale.
class CInstanceLock {
public:
    enum class Result { Acquired, HeldByAnother, Unavailable };

    explicit CInstanceLock(const std::string& settingsFile);
    // HeldByAnother as soon as one place is held by a running program; Unavailable when no
    // place could take a lock at all.
    Result TryLock();
    // The lock files, in the order of the places (for tests and the message).
    std::vector<std::string> Paths() const;
    // German text for the user after Unavailable: which folders were tried.
    std::string FailureText() const;

private:
    struct Place {
        std::string sPath;
        std::unique_ptr<QLockFile> pLock;
    };
    std::vector<Place> aPlaces;
};

// The settings file's path with links, "." and ".." and doubled slashes resolved; the folder
// need not exist.
std::string CanonicalSettingsPath(const std::string& settingsFile);

} // namespace cb
